// Closing the window with enabled schedules that nothing else runs: the question's buttons, each
// driven as a user would, against a fake systemctl on PATH and a unit folder in the sandbox.
#include <QAbstractButton>
#include <QApplication>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "UiHarness.h"
#include "app/ProgramFolder.h"
#include "app/ProgramSettings.h"
#include "support/ScopedEnv.h"
#include "ui/ScheduleCloseQuestion.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::ReadFile;
using tarnwick::test::ScopedEnv;
using tarnwick::test::WriteFile;

// A systemctl that logs its arguments, counts the service as enabled once "enable" ran, and fails
// "enable" with systemd's words while `refuse` exists.
constexpr const char* kFakeSystemctl = R"(#!/bin/sh
dir=$(dirname "$0")
echo "$*" >>"$dir/systemctl.log"
case "$*" in
  *enable\ --now*) if [ -e "$dir/refuse" ]; then echo "Failed to connect to bus: No medium found" >&2; exit 1; fi
                   touch "$dir/enabled";;
  *is-active*|*is-enabled*) [ -e "$dir/enabled" ] || exit 3;;
esac
exit 0
)";

class CloseQuestionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(fake / "systemctl", kFakeSystemctl);
    fs::permissions(fake / "systemctl", fs::perms::owner_all);
    // The unit names the tarnwick-cli of the program folder; the fake never starts it.
    WriteFile(sandbox / "bin/tarnwick-cli", "");
    fs::permissions(sandbox / "bin/tarnwick-cli", fs::perms::owner_all);
  }

  // Clicks `button` of the question once it shows; `asked` says whether it did.
  void AnswerWith(const char* button) {
    auto* poll = new QTimer(&w.frame);
    QObject::connect(poll, &QTimer::timeout, poll, [this, poll, button] {
      QWidget* box = QApplication::activeModalWidget();
      if (box == nullptr || box->objectName() != QStringLiteral("ScheduleCloseQuestion")) return;
      asked = true;
      poll->deleteLater();
      auto* clicked = box->findChild<QAbstractButton*>(QString::fromLatin1(button));
      if (clicked != nullptr) {
        clicked->click();
      } else {
        missingButton = true;
        box->close();
      }
    });
    poll->start(10);
  }

  std::string SystemctlLog() const {
    return fs::exists(fake / "systemctl.log") ? ReadFile(fake / "systemctl.log") : "";
  }

  Sandbox sandbox;
  fs::path fake = sandbox / "fakebin";
  ScopedEnv path{"PATH", (fake.string() + ":" + (::getenv("PATH") ? ::getenv("PATH") : "/usr/bin:/bin")).c_str()};
  ScopedEnv config{"XDG_CONFIG_HOME", (sandbox / "config").string()};
  fs::path unit = sandbox / "config/systemd/user/tarnwick-monitor.service";
  Window w{sandbox};
  QSignalSpy closed{&w.frame, &CMainFrame::closed};
  bool asked = false;
  bool missingButton = false;
};

// Before: the window closed and every scheduled backup stopped without a word.
TEST_F(CloseQuestionTest, ClosingWithEnabledSchedulesAsksAndCancelKeepsTheWindow) {
  sandbox.SaveScheduled("nightly");
  w.view->ReloadCatalogue();
  AnswerWith("Cancel");
  EXPECT_FALSE(w.frame.close());
  EXPECT_TRUE(asked);
  EXPECT_TRUE(w.frame.isVisible());
  EXPECT_EQ(closed.count(), 0);

  AnswerWith("QuitAnyway");
  EXPECT_TRUE(w.frame.close());
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(fs::exists(unit)) << "quitting installs nothing";
}

TEST_F(CloseQuestionTest, DisabledSchedulesCloseWithoutAQuestion) {
  sandbox.SaveScheduled("paused", false);
  w.view->ReloadCatalogue();
  AnswerWith("Cancel");
  EXPECT_TRUE(w.frame.close());
  QTest::qWait(30);
  EXPECT_FALSE(asked);
}

TEST_F(CloseQuestionTest, InstallWritesTheUnitEnablesItAndThenTheServiceRunsThem) {
  sandbox.SaveScheduled("nightly");
  w.view->ReloadCatalogue();
  AnswerWith("InstallService");
  EXPECT_TRUE(w.frame.close());
  EXPECT_EQ(closed.count(), 1);
  const std::string text = ReadFile(unit);
  EXPECT_NE(text.find("ExecStart=\"" + (sandbox / "bin/tarnwick-cli").string() + "\" monitor\n"), std::string::npos)
      << text;
  EXPECT_NE(SystemctlLog().find("--user daemon-reload\n--user enable --now tarnwick-monitor.service\n"),
            std::string::npos)
      << SystemctlLog();

  // The next close finds the service enabled: nothing to ask.
  asked = false;
  w.frame.show();
  AnswerWith("Cancel");
  EXPECT_TRUE(w.frame.close());
  QTest::qWait(30);
  EXPECT_FALSE(asked);
}

TEST_F(CloseQuestionTest, AnInstallSystemdRefusesKeepsTheProgramAndSaysWhy) {
  sandbox.SaveScheduled("nightly");
  w.view->ReloadCatalogue();
  WriteFile(fake / "refuse", "");
  AnswerWith("InstallService");
  EXPECT_FALSE(w.frame.close());
  EXPECT_EQ(closed.count(), 0);
  ASSERT_EQ(w.prompts.messages.size(), 1u);
  EXPECT_NE(w.prompts.messages[0].find("Failed to connect to bus: No medium found"), std::string::npos)
      << w.prompts.messages[0];
  EXPECT_NE(w.prompts.messages[0].find("systemctl --user enable --now tarnwick-monitor.service"), std::string::npos);
}

TEST_F(CloseQuestionTest, KeepInTrayHidesTheWindowAndKeepsThatChoice) {
  sandbox.SaveScheduled("nightly");
  w.view->ReloadCatalogue();
  AnswerWith("KeepInTray");
  EXPECT_FALSE(LetSchedulesStop(w.doc.Catalogue(), w.frame, w.prompts, /*trayAvailable=*/true));
  EXPECT_TRUE(asked);
  EXPECT_FALSE(missingButton);
  EXPECT_FALSE(w.frame.isVisible());
  ProgramSettings settings;
  ASSERT_TRUE(settings.ReadSettings(SettingsFilePath().string()).ok());
  EXPECT_TRUE(settings.keepInTray());

  // Without a tray there is no such button.
  asked = false;
  AnswerWith("KeepInTray");
  EXPECT_FALSE(LetSchedulesStop(w.doc.Catalogue(), w.frame, w.prompts, /*trayAvailable=*/false));
  EXPECT_TRUE(missingButton);
}

}  // namespace
}  // namespace tarnwick::ui::test
