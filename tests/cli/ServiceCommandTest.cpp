// tarnwick-cli service: the unit it writes for the background service, checked by systemd's own
// verifier where systemd is there. Only --unit-only is used: a test never touches the user's systemd.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "engine/SchedulerLock.h"
#include "support/CliSandbox.h"
#include "support/ScopedEnv.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::ProcessResult;

class ServiceCommandTest : public ::testing::Test {
 protected:
  test::CliSandbox dir;
  // The unit goes to the sandbox, never to the user's own unit folder.
  test::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
  fs::path unit = dir / "config/systemd/user/tarnwick-monitor.service";
};

TEST_F(ServiceCommandTest, InstallWritesAUnitThatRunsThisProgramsMonitorAndRemoveDeletesIt) {
  const ProcessResult installed = dir.Run({"service", "install", "--unit-only"});
  ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
  EXPECT_NE(installed.out.find("loginctl enable-linger"), std::string::npos)
      << "without lingering: how to turn it on" << installed.out;
  const std::string text = test::ReadFile(unit);
  // By the link in its program folder, so the service works on that folder's catalogue.
  const std::string program = (dir.ProgramFolder() / "tarnwick-cli").string();
  EXPECT_NE(text.find("ExecStart=\"" + program + "\" monitor\n"), std::string::npos) << text;
  EXPECT_NE(text.find("WorkingDirectory=" + dir.ProgramFolder().string() + "\n"), std::string::npos) << text;
  EXPECT_EQ(text.find('@'), std::string::npos) << "every marker filled in";

  const ProcessResult status = dir.Run({"service", "status"});
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_NE(status.out.find("(installed)"), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("Last run:  none"), std::string::npos) << status.out;

  EXPECT_EQ(dir.Run({"service", "remove", "--unit-only"}).status, 0);
  EXPECT_FALSE(fs::exists(unit));
  EXPECT_EQ(dir.Run({"service", "frobnicate"}).status, 2);
}

TEST_F(ServiceCommandTest, StatusShowsTheLockHoldersTextEscaped) {
  // Whoever holds the lock writes what it likes into the file; the terminal must get no ESC of it.
  CSchedulerLock holder(dir.ProgramFolder() / CSchedulerLock::kFileName, "evil\x1b]0;owned\x07");
  ASSERT_TRUE(holder.TryAcquire());
  holder.SetRunning("night\x1b[2J");
  const ProcessResult status = dir.Run({"service", "status"});
  EXPECT_EQ(status.status, 0) << status.err;
  EXPECT_EQ(status.out.find('\x1b'), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("Schedules: run by evil\\x1B]0;owned\\x07\n"), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("Running:   night\\x1B[2J (tarnwick-cli stop stops it)\n"), std::string::npos)
      << status.out;
}

TEST_F(ServiceCommandTest, SystemdAcceptsTheUnit) {
  if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "systemd-analyze is not installed: the unit cannot be verified here";
  }
  ASSERT_EQ(dir.Run({"service", "install", "--unit-only"}).status, 0);
  // The system manager's verifier: it needs no running user instance, and checks the same syntax
  // and that ExecStart names a program that exists.
  const std::string command =
      "systemd-analyze verify '" + unit.string() + "' >'" + (dir / "verify.out").string() + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir / "verify.out");
}

}  // namespace
}  // namespace tarnwick
