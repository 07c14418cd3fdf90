#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <filesystem>
#include <gtest/gtest.h>

#include "UiHarness.h"
#include "support/TempDir.h"
#include "ui/AboutDlg.h"
#include "ui/CommandTable.h"
#include "ui/CustomizeDlg.h"
#include "ui/HelpWindow.h"
#include "ui/OptionsDlg.h"
#include "ui/ProgressPane.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::ReadFile;
using tarnwick::test::WriteFile;

struct ClampCase {
  long long position;
  long long range;
  ProgressValue expected;
};

void PrintTo(const ClampCase& c, std::ostream* os) { *os << c.position << " of " << c.range; }

class ProgressClamping : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ProgressClamping, PositionIsClampedIntoTheRange) {
  const ClampCase& c = GetParam();
  const ProgressValue v = ClampProgress(c.position, c.range);
  EXPECT_EQ(v.value, c.expected.value);
  EXPECT_EQ(v.maximum, c.expected.maximum);
  EXPECT_EQ(v.percent, c.expected.percent);
}

INSTANTIATE_TEST_SUITE_P(Table, ProgressClamping,
                         ::testing::Values(ClampCase{50, 200, {50, 200, 25}},     //
                                           ClampCase{300, 200, {200, 200, 100}},  // above the range: full
                                           ClampCase{-5, 200, {0, 200, 0}},       // negative: 0
                                           ClampCase{7, 0, {0, 0, 0}},            // no range: empty
                                           ClampCase{7, -3, {0, 0, 0}},           //
                                           ClampCase{3LL << 32, 4LL << 32, {805306368, 1073741824, 75}}));

TEST(ProgressPane, ShowsPercentageAndResetsToEmpty) {
  CProgressPane pane;
  EXPECT_EQ(pane.width(), 200);
  pane.SetProgress(250, 100);
  EXPECT_EQ(pane.value(), pane.maximum());
  EXPECT_EQ(pane.text(), "100%");
  pane.SetProgress(1, 3);
  EXPECT_EQ(pane.text(), "33%");
  pane.ResetProgress();
  EXPECT_EQ(pane.value(), 0);
  EXPECT_FALSE(pane.isTextVisible());
  EXPECT_GT(pane.maximum(), 0);  // never the busy indicator
}

TEST(OptionsDlg, OkWritesExactlyTheFiveLines) {
  Sandbox sandbox;
  RecordingPrompts prompts;
  {
    COptionsDlg dialog(prompts);
    EXPECT_TRUE(dialog.ShowSplashBox()->isChecked());  // no file: the defaults
    EXPECT_FALSE(dialog.RunMissedBox()->isChecked());
    dialog.ShowSplashBox()->setChecked(false);
    dialog.RunMissedBox()->setChecked(true);
    dialog.accept();
  }
  EXPECT_EQ(ReadFile(sandbox / "config.xml"),
            "<CONFIG>\r\n<SHOWSPLASH>0</SHOWSPLASH>\r\n<RUNMISSED>1</RUNMISSED>\r\n</CONFIG>\r\n");
  COptionsDlg again(prompts);
  EXPECT_FALSE(again.ShowSplashBox()->isChecked());
  EXPECT_TRUE(again.RunMissedBox()->isChecked());
  again.ShowSplashBox()->setChecked(true);
  again.reject();  // Cancel writes nothing
  EXPECT_EQ(ReadFile(sandbox / "config.xml"),
            "<CONFIG>\r\n<SHOWSPLASH>0</SHOWSPLASH>\r\n<RUNMISSED>1</RUNMISSED>\r\n</CONFIG>\r\n");
  EXPECT_TRUE(prompts.messages.empty());
}

TEST(OptionsDlg, WriteFailureNamesTheFileAndTheReason) {
  Sandbox sandbox;
  fs::create_directories(sandbox / "config.xml");  // a folder in the way
  RecordingPrompts prompts;
  COptionsDlg dialog(prompts);
  // Nor can it be read: said before the dialog shows the defaults that OK would store.
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0].rfind("config.xml: ", 0), 0u) << prompts.messages[0];
  dialog.accept();
  ASSERT_EQ(prompts.messages.size(), 2u);
  EXPECT_NE(prompts.messages[1].find("\"config.xml\""), std::string::npos) << prompts.messages[1];
  EXPECT_NE(prompts.messages[1].find("directory"), std::string::npos) << prompts.messages[1];
  EXPECT_EQ(dialog.result(), QDialog::Accepted);  // closes either way
}

TEST(AboutDlg, CaptionVersionAndLinks) {
  int webOpened = 0;
  CAboutDlg dialog([&] { ++webOpened; });
  EXPECT_EQ(dialog.windowTitle(), "About Tarnwick");
  bool versionShown = false;
  for (QLabel* label : dialog.findChildren<QLabel*>())
    versionShown |= label->text() == "Tarnwick Version 1.1 build 0510";
  EXPECT_TRUE(versionShown);
  dialog.WebButton()->click();
  EXPECT_EQ(webOpened, 1);
  EXPECT_EQ(SupportMailUrl().scheme(), "mailto");
  EXPECT_EQ(SupportMailUrl().path(), SupportMailAddress());
}

TEST(CustomizeDlg, HidesButtonsChangesKeysAndKeepsThemForTheNextRun) {
  Sandbox sandbox;
  {
    CMainFrame frame;
    CCustomizeDlg dialog(frame);
    QListWidget* buttons = dialog.ButtonList();
    ASSERT_EQ(buttons->count(), 10);
    buttons->item(3)->setCheckState(Qt::Unchecked);  // Stop
    dialog.KeyEditor(ID_LOG_CLEAR)->setKeySequence(QKeySequence(QStringLiteral("Ctrl+L")));
    dialog.accept();
    EXPECT_FALSE(frame.Toolbar()->actions().contains(frame.Action(ID_BACKUP_STOP)));
    EXPECT_EQ(frame.Action(ID_LOG_CLEAR)->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    frame.SaveWindowState();
  }
  CMainFrame next;
  next.RestoreWindowState();
  EXPECT_FALSE(next.Toolbar()->actions().contains(next.Action(ID_BACKUP_STOP)));
  EXPECT_EQ(next.Action(ID_LOG_CLEAR)->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
  EXPECT_EQ(next.Action(ID_BACKUP_QUICK)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
  next.ResetCustomization();
  EXPECT_TRUE(next.Toolbar()->actions().contains(next.Action(ID_BACKUP_STOP)));
  EXPECT_TRUE(next.Action(ID_LOG_CLEAR)->shortcut().isEmpty());
}

// Reset All shows the defaults; the frame takes them on OK only, and Cancel leaves it as it was.
TEST(CustomizeDlg, ResetAllWaitsForOkAndCancelUndoesIt) {
  Sandbox sandbox;
  CMainFrame frame;
  frame.SetHiddenButtons({ID_BACKUP_STOP});
  frame.SetShortcut(ID_LOG_CLEAR, QKeySequence(QStringLiteral("Ctrl+L")));
  for (const QDialogButtonBox::StandardButton closer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
    CCustomizeDlg dialog(frame);
    dialog.show();
    QTest::mouseClick(dialog.ResetButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.KeyEditor(ID_LOG_CLEAR)->keySequence().isEmpty());
    EXPECT_EQ(dialog.KeyEditor(ID_BACKUP_QUICK)->keySequence(), QKeySequence(QStringLiteral("Ctrl+Q")));
    EXPECT_EQ(dialog.ButtonList()->item(2)->checkState(), Qt::Checked);  // Stop
    EXPECT_EQ(frame.HiddenButtons(), QList<unsigned>{ID_BACKUP_STOP}) << "nothing changes before OK";
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(closer), Qt::LeftButton);
    ASSERT_FALSE(dialog.isVisible());
    const bool reset = closer == QDialogButtonBox::Ok;
    EXPECT_EQ(frame.Toolbar()->actions().contains(frame.Action(ID_BACKUP_STOP)), reset);
    EXPECT_EQ(frame.Action(ID_LOG_CLEAR)->shortcut().isEmpty(), reset);
  }
}

TEST(HelpWindow, OpensTheTopicAndGoesBackAndForth) {
  Sandbox sandbox;
  fs::create_directories(sandbox / "bin/help/Started");
  WriteFile(sandbox / "bin/help/index.htm", "<html><head><title>Start</title></head><body>start</body></html>");
  WriteFile(sandbox / "bin/help/Started/basicset.htm",
            "<html><head><title>Basics</title></head><body>basic settings</body></html>");
  CHelpWindow help;
  EXPECT_FALSE(help.ShowTopic(QStringLiteral("no/such.htm")));
  ASSERT_TRUE(help.ShowTopic(QLatin1String(kHelpBasicSettings)));
  EXPECT_TRUE(help.isVisible());
  EXPECT_TRUE(help.Browser()->source().path().endsWith("Started/basicset.htm"));
  EXPECT_TRUE(help.Browser()->toPlainText().contains("basic settings"));
  help.ContentsAction()->trigger();
  EXPECT_TRUE(help.Browser()->source().path().endsWith("/index.htm"));
  ASSERT_TRUE(help.BackAction()->isEnabled());
  help.BackAction()->trigger();
  EXPECT_TRUE(help.Browser()->source().path().endsWith("Started/basicset.htm"));
  EXPECT_TRUE(help.ForwardAction()->isEnabled());
}

TEST(HelpWindow, F1OpensTheStartPageAndAMissingManualIsSaid) {
  Sandbox sandbox;
  Window w(sandbox);
  w.frame.Action(ID_HELP_MANUAL)->trigger();
  ASSERT_EQ(w.prompts.messages.size(), 1u);
  EXPECT_NE(w.prompts.messages[0].find("index.htm"), std::string::npos);
  fs::create_directories(sandbox / "bin/help");
  WriteFile(sandbox / "bin/help/index.htm", "<html><body>start</body></html>");
  EXPECT_EQ(w.frame.Action(ID_HELP_MANUAL)->shortcut(), QKeySequence(Qt::Key_F1));
  w.frame.Action(ID_HELP_MANUAL)->trigger();
  ASSERT_NE(w.view->HelpWindow(), nullptr);
  EXPECT_TRUE(w.view->HelpWindow()->Browser()->source().path().endsWith("help/index.htm"));
}

}  // namespace
}  // namespace tarnwick::ui::test
