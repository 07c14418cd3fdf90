// Every dialog: no two visible controls answer the same Alt+letter.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTabBar>
#include <gtest/gtest.h>
#include <map>
#include <memory>

#include "EditorHarness.h"
#include "ui/AdvancedScheduleDlg.h"
#include "ui/BackupDestDlg.h"
#include "ui/BackupSourceDlg.h"
#include "ui/EditFilterDlg.h"
#include "ui/FileInfoDlg.h"
#include "ui/FtpAccountControls.h"
#include "ui/OptionsDlg.h"
#include "ui/ProfileDlg.h"
#include "ui/RemoteSourceDlg.h"
#include "ui/RenameDlg.h"
#include "ui/ScheduleSettingsDlg.h"
#include "ui/SelectMonthsDlg.h"

namespace tarnwick::ui::test {
namespace {

// The letter after a single "&", lower case; none when the text has no mnemonic.
QChar Mnemonic(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QLatin1Char('&')) continue;
    if (text[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return {};
}

// The texts that carry a mnemonic in the dialog as it shows: buttons, boxes, labels with a buddy,
// group titles and tabs, of the controls visible in it.
QStringList MnemonicTexts(const QWidget& dialog) {
  QStringList texts;
  for (QWidget* widget : dialog.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&dialog)) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) texts << button->text();
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && label->buddy() != nullptr)
      texts << label->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) texts << group->title();
    if (auto* tabs = qobject_cast<QTabBar*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i);
    }
  }
  return texts;
}

// What a dialog refers to while it is open.
struct DialogWorld {
  EditorWorld editor;
  Profile profile = CProfileDlg::NewProfile(std::time(nullptr));
  DestinationChoices choices;
  SourceListState sources;
};

struct DialogCase {
  const char* name;
  std::function<std::unique_ptr<QDialog>(DialogWorld&)> open;
};

void PrintTo(const DialogCase& c, std::ostream* os) { *os << c.name; }

class DialogMnemonics : public ::testing::TestWithParam<DialogCase> {};

TEST_P(DialogMnemonics, NoTwoVisibleControlsShareALetter) {
  Sandbox sandbox;
  DialogWorld world;
  const std::unique_ptr<QDialog> dialog = GetParam().open(world);
  dialog->show();
  std::map<QChar, QString> taken;
  const QStringList texts = MnemonicTexts(*dialog);
  ASSERT_FALSE(texts.isEmpty());
  for (const QString& text : texts) {
    const QChar letter = Mnemonic(text);
    if (letter.isNull()) continue;
    const auto [it, added] = taken.emplace(letter, text);
    EXPECT_TRUE(added) << "Alt+" << QString(letter).toStdString() << ": \"" << it->second.toStdString() << "\" and \""
                       << text.toStdString() << "\"";
  }
}

std::unique_ptr<QDialog> Destination(DialogWorld& w, bool sftp) {
  auto dialog = std::make_unique<CBackupDestDlg>(w.profile, w.choices, w.editor.services);
  dialog->FtpRadio()->setChecked(true);
  dialog->Account().protocol->setCurrentIndex(sftp ? 1 : 0);
  return dialog;
}

std::unique_ptr<QDialog> Remote(DialogWorld& w, bool sftp) {
  auto dialog = std::make_unique<CRemoteSourceDlg>(w.profile, w.editor.services);
  dialog->Account().protocol->setCurrentIndex(sftp ? 1 : 0);
  return dialog;
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogMnemonics,
    ::testing::Values(
        DialogCase{"backupDestinationFtp", [](auto& w) { return Destination(w, false); }},
        DialogCase{"backupDestinationSftp", [](auto& w) { return Destination(w, true); }},
        DialogCase{"addRemoteFtp", [](auto& w) { return Remote(w, false); }},
        DialogCase{"addRemoteSftp", [](auto& w) { return Remote(w, true); }},
        DialogCase{"quickProfile",
                   [](auto& w) { return std::make_unique<CProfileDlg>(w.editor.services, false, w.profile); }},
        DialogCase{"scheduledProfile",
                   [](auto& w) { return std::make_unique<CProfileDlg>(w.editor.services, true, w.profile); }},
        DialogCase{"backupSource",
                   [](auto& w) { return std::make_unique<CBackupSourceDlg>(w.profile, w.sources, w.editor.services); }},
        DialogCase{
            "scheduleSettings",
            [](auto& w) { return std::make_unique<CScheduleSettingsDlg>(w.profile.schedule, w.editor.prompts); }},
        DialogCase{
            "advancedSchedule",
            [](auto& w) { return std::make_unique<CAdvancedScheduleDlg>(w.profile.schedule, w.editor.prompts); }},
        DialogCase{"selectMonths", [](auto& w) { return std::make_unique<CSelectMonthsDlg>(0xfff, w.editor.prompts); }},
        DialogCase{"options", [](auto& w) { return std::make_unique<COptionsDlg>(w.editor.prompts); }},
        DialogCase{"editFilter", [](auto&) { return std::make_unique<CEditFilterDlg>("*.*", true); }},
        DialogCase{"fileInfo", [](auto&) { return std::make_unique<CFileInfoDlg>("/"); }},
        DialogCase{"rename", [](auto&) { return std::make_unique<CRenameDlg>(QStringLiteral("name")); }}),
    CaseName());

// The described letters reach their own controls: Alt+T is "&Test Login" alone again, which checks
// the host first, and Alt+K the OK, which checks it too.
TEST(DialogMnemonics, AltTAndAltKPressTheDescribedButtonsOfBackupDestination) {
  Sandbox sandbox;
  DialogWorld world;
  const std::unique_ptr<QDialog> dialog = Destination(world, false);
  dialog->show();
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  // A mnemonic clicks its button a moment later, as a click seen on screen.
  const auto& messages = world.editor.prompts.messages;
  QTest::keyClick(dialog.get(), Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(WaitFor([&] { return messages.size() == 1; }, 3000));
  QTest::keyClick(dialog.get(), Qt::Key_K, Qt::AltModifier);
  EXPECT_TRUE(WaitFor([&] { return messages.size() == 2; }, 3000));
  EXPECT_EQ(world.editor.prompts.messages, std::vector<std::string>(2, "Please enter hostname for this FTP account."));
}

}  // namespace
}  // namespace tarnwick::ui::test
