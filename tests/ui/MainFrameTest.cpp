#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <gtest/gtest.h>

#include "ui/CaptionBar.h"
#include "ui/CommandTable.h"
#include "ui/MainFrame.h"
#include "ui/ProgressPane.h"

namespace tarnwick::ui {
namespace {

// A menu as text: "-" for a separator, "Text\tKeys" for an item with a shortcut, "Text>" for a submenu.
QStringList Describe(const QList<QAction*>& actions) {
  QStringList items;
  for (QAction* a : actions) {
    if (a->isSeparator()) {
      items << QStringLiteral("-");
    } else if (a->menu()) {
      items << a->text() + QStringLiteral(">");
    } else if (!a->shortcut().isEmpty()) {
      items << a->text() + QLatin1Char('\t') + a->shortcut().toString(QKeySequence::PortableText);
    } else {
      items << a->text();
    }
  }
  return items;
}

void ClearStoredSettings() { QSettings(QStringLiteral("Tarnwick"), QStringLiteral("Tarnwick")).clear(); }

TEST(MainFrame, MenuBarHasTheMenusItemsAndKeysInOrder) {
  CMainFrame frame;
  const QList<QAction*> menus = frame.menuBar()->actions();
  const std::vector<std::pair<QString, QStringList>> expected = {
      {"&File", {"E&xit"}},
      {"&View", {"&Toolbars>", "&Status Bar"}},
      {"&Backup",
       {"&Quick Backup...\tCtrl+Q", "Scheduled &Backup...\tCtrl+N", "-", "Run &Now\tCtrl+R", "&Stop Backup\tCtrl+S"}},
      {"&Log", {"&Open...", "&Save", "Clear"}},
      {"&Tools", {"Options...\tCtrl+O"}},
      {"&Help", {"User &Manual\tF1", "-", "Tarnwick on the &Web...", "-", "&About Tarnwick"}},
  };
  ASSERT_EQ(menus.size(), static_cast<qsizetype>(expected.size()));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(menus[i]->text(), expected[i].first);
    EXPECT_EQ(Describe(menus[i]->menu()->actions()), expected[i].second) << expected[i].first.toStdString();
  }
  QMenu* toolbars = menus[1]->menu()->actions()[0]->menu();
  EXPECT_EQ(Describe(toolbars->actions()), QStringList({"Standard Toolbar", "&Caption Bar", "-", "&Customize..."}));
  // The toolbar's context menu is the same menu.
  std::unique_ptr<QMenu> popup(frame.createPopupMenu());
  EXPECT_EQ(Describe(popup->actions()), Describe(toolbars->actions()));
}

TEST(MainFrame, ToolbarButtonsAndSeparatorsInOrder) {
  ClearStoredSettings();
  CMainFrame frame;
  EXPECT_EQ(frame.Toolbar()->windowTitle(), "Standard");
  EXPECT_EQ(Describe(frame.Toolbar()->actions()),
            QStringList({"&Quick Backup...\tCtrl+Q", "Scheduled &Backup...\tCtrl+N", "Run &Now\tCtrl+R",
                         "&Stop Backup\tCtrl+S", "-", "&Open...", "&Save", "Clear", "-", "Options...\tCtrl+O", "-",
                         "&About Tarnwick", "E&xit"}));
}

struct PromptCase {
  unsigned id;
  const char* statusTip;
  const char* toolTip;
};

void PrintTo(const PromptCase& c, std::ostream* os) { *os << "command " << c.id; }

class CommandPrompts : public ::testing::TestWithParam<PromptCase> {};

TEST_P(CommandPrompts, StatusTipAndToolTipComeFromTheStringTable) {
  CMainFrame frame;
  QAction* action = frame.Action(GetParam().id);
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->statusTip(), GetParam().statusTip);
  EXPECT_EQ(action->toolTip(), GetParam().toolTip);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandPrompts,
    ::testing::Values(PromptCase{ID_BACKUP_QUICK, "New Quick Backup Item", "Quick Backup"},
                      PromptCase{ID_BACKUP_SCHEDULED, "New Scheduled Backup", "Scheduled Backup"},
                      PromptCase{ID_BACKUP_STOP, "Stop Running Backup", "Stop Running Backup"},
                      PromptCase{ID_LOG_OPEN, "Open an existing log", "Open an existing log"},
                      PromptCase{ID_LOG_SAVE, "Save activity log to file", "Save activity log to file"},
                      PromptCase{ID_LOG_CLEAR, "Clear log window", "Clear log window"},
                      PromptCase{ID_TOOLS_OPTIONS, "Options", "Options"},
                      PromptCase{ID_APP_EXIT, "Quit Tarnwick", "Exit"},
                      PromptCase{ID_VIEW_STATUS_BAR, "Show or hide the status bar", "Toggle StatusBar"},
                      PromptCase{ID_VIEW_TOOLBAR, "Show or hide the toolbar", "Toggle ToolBar"},
                      PromptCase{ID_VIEW_CAPTION_BAR, "Show or hide the caption bar", "Toggle Caption Bar"},
                      PromptCase{ID_VIEW_CUSTOMIZE, "Customize toolbars ane menus.", "Customize"},
                      PromptCase{ID_QUICK_LAUNCH, "Lanch This Backup Task", "Lanch This Backup Task"},
                      PromptCase{ID_QUICK_DELETE, "Delete Selected Profiles Permanently",
                                 "Delete Selected Profiles Permanently"},
                      PromptCase{ID_SCHEDULED_SETTINGS, "Backup Settings...", "Backup Settings..."},
                      PromptCase{ID_SCHEDULED_RENAME, "Rename selected profile", "Rename selected profile"}));

TEST(MainFrame, TitleCaptionBarAndItsCheckedCommand) {
  ClearStoredSettings();
  CMainFrame frame;
  frame.show();
  EXPECT_EQ(frame.windowTitle(), "Tarnwick");
  EXPECT_EQ(frame.CaptionBar()->Text(), "Tarnwick Version 1.1");
  QAction* caption = frame.Action(ID_VIEW_CAPTION_BAR);
  EXPECT_TRUE(caption->isChecked());
  EXPECT_TRUE(frame.CaptionBar()->isVisible());
  caption->trigger();
  EXPECT_FALSE(caption->isChecked());
  EXPECT_FALSE(frame.CaptionBar()->isVisible());
  frame.Action(ID_VIEW_STATUS_BAR)->trigger();
  EXPECT_FALSE(frame.statusBar()->isVisible());
  frame.Action(ID_VIEW_TOOLBAR)->trigger();
  EXPECT_FALSE(frame.Toolbar()->isVisible());
}

}  // namespace
}  // namespace tarnwick::ui
