// The keys of the profile lists, each pressed on the list as a user would, and the quick list's
// Edit command.
#include <QAction>
#include <QTreeView>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "UiHarness.h"
#include "support/TempDir.h"
#include "ui/CommandTable.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;

struct KeyCase {
  const char* what;
  CTarnwickView::Tab tab;
  Qt::Key key;
};

class ListKeys : public ::testing::TestWithParam<KeyCase> {
 protected:
  void SetUp() override {
    tarnwick::test::WriteFile(sandbox / "src/a.txt", "a");
    sandbox.SaveQuick("alpha", sandbox / "src/a.txt");
    sandbox.SaveScheduled("nightly");
  }
  Sandbox sandbox;
};

// Before, the lists took no keys: Enter, Delete and F2 did nothing.
TEST_P(ListKeys, KeyDoesWhatTheListsCommandDoes) {
  const KeyCase& c = GetParam();
  Window w(sandbox);
  const bool quick = c.tab == CTarnwickView::kQuickTab;
  const std::string name = quick ? "alpha" : "nightly";
  w.Select(c.tab, {0});
  w.dialogs.nameAnswers = {std::string("renamed")};
  w.prompts.answers = {UserPrompts::Answer::No, UserPrompts::Answer::Yes};
  QTreeView* list = w.view->List(c.tab);
  QTest::keyClick(list, c.key);
  switch (c.key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (quick) {
        ASSERT_TRUE(w.WaitForJobEnd());
        EXPECT_EQ(tarnwick::test::ReadFile(sandbox / "dst/alpha/a.txt"), "a") << "Enter runs a quick profile";
        EXPECT_TRUE(w.editor.requests.empty());
      } else {
        ASSERT_EQ(w.editor.requests.size(), 1u) << "Enter opens a scheduled profile";
        EXPECT_EQ(w.editor.requests[0].mode, EditorMode::Scheduled);
        EXPECT_EQ(w.editor.requests[0].profileName, name);
      }
      break;
    case Qt::Key_Delete:
      ASSERT_EQ(w.prompts.questions.size(), 1u);
      EXPECT_NE(w.prompts.questions[0].find(name + ".pfl"), std::string::npos) << w.prompts.questions[0];
      EXPECT_TRUE(fs::exists(sandbox / ("bin/Profile/" + name + ".pfl"))) << "No keeps it";
      QTest::keyClick(list, c.key);
      EXPECT_FALSE(fs::exists(sandbox / ("bin/Profile/" + name + ".pfl"))) << "Yes deletes it";
      break;
    default:  // F2
      EXPECT_EQ(w.dialogs.askedNames, std::vector<std::string>{name});
      EXPECT_TRUE(fs::exists(sandbox / "bin/Profile/renamed.pfl"));
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ListKeys,
                         ::testing::Values(KeyCase{"QuickEnter", CTarnwickView::kQuickTab, Qt::Key_Return},
                                           KeyCase{"QuickKeypadEnter", CTarnwickView::kQuickTab, Qt::Key_Enter},
                                           KeyCase{"QuickDelete", CTarnwickView::kQuickTab, Qt::Key_Delete},
                                           KeyCase{"QuickF2", CTarnwickView::kQuickTab, Qt::Key_F2},
                                           KeyCase{"ScheduledEnter", CTarnwickView::kScheduledTab, Qt::Key_Return},
                                           KeyCase{"ScheduledDelete", CTarnwickView::kScheduledTab, Qt::Key_Delete},
                                           KeyCase{"ScheduledF2", CTarnwickView::kScheduledTab, Qt::Key_F2}),
                         [](const ::testing::TestParamInfo<KeyCase>& param) { return std::string(param.param.what); });

// Quick profiles could only be run, never opened: Edit opens one in the editor as a quick profile.
TEST(ListKeysEdit, EditOpensAQuickProfileAsQuick) {
  Sandbox sandbox;
  sandbox.SaveQuick("alpha", sandbox / "bin");
  Window w(sandbox);
  EXPECT_FALSE(w.frame.Action(ID_QUICK_EDIT)->isEnabled()) << "nothing selected";
  w.Select(CTarnwickView::kQuickTab, {0});
  ASSERT_TRUE(w.frame.Action(ID_QUICK_EDIT)->isEnabled());
  w.frame.Action(ID_QUICK_EDIT)->trigger();
  ASSERT_EQ(w.editor.requests.size(), 1u);
  EXPECT_EQ(w.editor.requests[0].mode, EditorMode::Quick);
  EXPECT_EQ(w.editor.requests[0].profileName, "alpha");
}

}  // namespace
}  // namespace tarnwick::ui::test
