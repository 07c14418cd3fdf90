#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "support/CliSandbox.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "ui/SingleInstance.h"

namespace tarnwick::ui::test {
namespace {

namespace fs = std::filesystem;
using tarnwick::test::ReadFile;
using tarnwick::test::ScopedEnv;
using tarnwick::test::StartProcess;
using tarnwick::test::TempDir;
using tarnwick::test::WaitProcess;
using tarnwick::test::WriteFile;
using Clock = std::chrono::steady_clock;

// Copies of the real program, each started in the same sandbox: one program folder, one user
// runtime folder, no splash.
class TwoCopies : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "bin/Profile");
    fs::create_directories(dir_ / "runtime");
    fs::permissions(dir_ / "runtime", fs::perms::owner_all);
    fs::create_symlink(TARNWICK_GUI_PATH, dir_ / "bin/tarnwick");
    WriteFile(dir_ / "config.xml",
              "<CONFIG>\r\n<SHOWSPLASH>0</SHOWSPLASH>\r\n<RUNMISSED>0</RUNMISSED>\r\n</CONFIG>\r\n");
  }

  pid_t Start(const std::string& name) {
    return StartProcess({(dir_ / "bin/tarnwick").string()}, dir_.path(), dir_ / (name + ".out"),
                        dir_ / (name + ".err"));
  }
  std::string Err(const std::string& name) { return ReadFile(dir_ / (name + ".err")); }
  fs::path Socket() const { return dir_ / "runtime" / kInstanceMutexName; }

  // Waits until the copy listens (its socket file is there).
  bool WaitForListening(pid_t pid) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
      if (fs::exists(Socket())) return true;
      if (::kill(pid, 0) != 0) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  TempDir dir_;
  ScopedEnv platform_{"QT_QPA_PLATFORM", "offscreen"};
  ScopedEnv runtime_{"XDG_RUNTIME_DIR", (dir_ / "runtime").string()};
  ScopedEnv config_{"XDG_CONFIG_HOME", (dir_ / "config").string()};
  ScopedEnv logging_{"QT_LOGGING_RULES", "tarnwick.instance.info=true"};
};

TEST_F(TwoCopies, SecondCopyRaisesTheFirstAndEnds) {
  const pid_t first = Start("first");
  ASSERT_TRUE(WaitForListening(first)) << Err("first");
  const auto started = Clock::now();
  const pid_t second = Start("second");
  EXPECT_EQ(WaitProcess(second), 0) << Err("second");
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(20));
  EXPECT_NE(Err("second").find("asked it to raise its window"), std::string::npos) << Err("second");
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Err("first").find("window raised") == std::string::npos && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_NE(Err("first").find("window raised"), std::string::npos) << Err("first");
  EXPECT_EQ(::kill(first, 0), 0);  // the first copy is unaffected
  ::kill(first, SIGKILL);
  WaitProcess(first);
}

TEST_F(TwoCopies, FirstCopyThatDoesNotAnswerIsLeftAlone) {
  const pid_t first = Start("first");
  ASSERT_TRUE(WaitForListening(first)) << Err("first");
  ::kill(first, SIGSTOP);
  const pid_t second = Start("second");
  EXPECT_EQ(WaitProcess(second), 0) << Err("second");
  EXPECT_NE(Err("second").find("did not answer"), std::string::npos) << Err("second");
  ::kill(first, SIGCONT);
  ::kill(first, SIGKILL);
  WaitProcess(first);
  EXPECT_EQ(Err("first").find("window raised"), std::string::npos);
}

TEST_F(TwoCopies, StaleLockOfACrashedCopyDoesNotBlockAStart) {
  const pid_t crashed = Start("crashed");
  ASSERT_TRUE(WaitForListening(crashed)) << Err("crashed");
  ::kill(crashed, SIGKILL);
  WaitProcess(crashed);
  ASSERT_TRUE(fs::exists(Socket()));  // the lock and the socket file stay behind
  const pid_t next = Start("next");
  // The new copy runs: a later start finds it and is answered.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(::kill(next, 0), 0) << Err("next");
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  bool answered = false;
  while (!answered && Clock::now() < deadline && ::kill(next, 0) == 0) {
    const pid_t probe = Start("probe");
    EXPECT_EQ(WaitProcess(probe), 0);
    answered = Err("probe").find("asked it to raise its window") != std::string::npos;
  }
  EXPECT_TRUE(answered) << Err("probe") << Err("next");
  ::kill(next, SIGKILL);
  WaitProcess(next);
}

}  // namespace
}  // namespace tarnwick::ui::test
