// tarnwick-cli service: the unit it writes for the background service, checked by systemd's own
// verifier where systemd is there. Only --unit-only is used: a test never touches the user's systemd.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

// What systemd makes of a unit value, worked out here without the program's quoting: "%%" is one
// "%" (any other specifier is not expected), and for ExecStart= a first word in double quotes
// loses them and its "\\" and "\"" escapes. nullopt for a value the program should never write.
std::optional<std::string> Specifiers(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && (i + 1 >= value.size() || value[++i] != '%')) return std::nullopt;
    out += value[i];
  }
  return out;
}

std::optional<std::string> QuotedFirstWord(const std::string& value, std::string* rest) {
  if (value.empty() || value[0] != '"') return std::nullopt;
  std::string word;
  for (std::size_t i = 1; i < value.size(); ++i) {
    if (value[i] == '"') {
      *rest = value.substr(i + 1);
      return word;
    }
    if (value[i] == '\\' && ++i < value.size() && value[i] != '"' && value[i] != '\\') return std::nullopt;
    if (i < value.size()) word += value[i];
  }
  return std::nullopt;
}

// The value of the line "key=..." of the unit's text, or nullopt when there is not exactly one.
std::optional<std::string> UnitSetting(const std::string& text, const std::string& key) {
  std::optional<std::string> found;
  for (const std::string& line : test::SplitLines(text)) {
    if (line.rfind(key + "=", 0) != 0) continue;
    if (found) return std::nullopt;
    found = line.substr(key.size() + 1);
  }
  return found;
}

struct UnitPathCase {
  const char* folder;   // the program folder's name
  const char* refusal;  // what the refusal names; nullptr: the unit is written
};

class UnitPathTest : public ServiceCommandTest, public ::testing::WithParamInterface<UnitPathCase> {};

TEST_P(UnitPathTest, AProgramFolderNameNeverAddsSettingsToTheUnit) {
  const fs::path folder = dir / GetParam().folder;
  fs::create_directories(folder);
  const fs::path program = folder / "tarnwick-cli";
  fs::create_symlink(TARNWICK_CLI_PATH, program);
  const pid_t pid =
      test::StartProcess({program.string(), "service", "install", "--unit-only"}, dir.path(), dir / "out", dir / "err");
  const int status = test::WaitProcess(pid);
  const std::string err = test::ReadFile(dir / "err");
  if (GetParam().refusal != nullptr) {
    EXPECT_EQ(status, 2) << err;
    EXPECT_NE(err.find(GetParam().refusal), std::string::npos) << err;
    EXPECT_EQ(err.find_first_of("\x1b\x7f\r"), std::string::npos) << "the path is shown escaped: " << err;
    EXPECT_FALSE(fs::exists(unit)) << test::ReadFile(unit);
    return;
  }
  ASSERT_EQ(status, 0) << err;
  const std::string text = test::ReadFile(unit);
  const std::optional<std::string> exec = UnitSetting(text, "ExecStart");
  ASSERT_TRUE(exec) << text;
  const std::optional<std::string> resolved = Specifiers(*exec);
  ASSERT_TRUE(resolved) << text;
  std::string rest;
  EXPECT_EQ(QuotedFirstWord(*resolved, &rest), program.string()) << text;
  EXPECT_EQ(rest, " monitor") << text;
  const std::optional<std::string> workdir = UnitSetting(text, "WorkingDirectory");
  ASSERT_TRUE(workdir) << text;
  EXPECT_EQ(Specifiers(*workdir), folder.string()) << text;
  EXPECT_EQ(UnitSetting(text, "Type"), "simple") << text;

  if (std::system("command -v systemd-analyze >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "systemd-analyze is not installed: the unit cannot be verified here";
  }
  // The verifier also checks that the program it read from ExecStart= is there to be started.
  const std::string verify =
      "systemd-analyze verify '" + unit.string() + "' >'" + (dir / "verify.out").string() + "' 2>&1";
  EXPECT_EQ(std::system(verify.c_str()), 0) << test::ReadFile(dir / "verify.out") << text;
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnitPathTest,
    ::testing::Values(UnitPathCase{"x\nType=oneshot\nExecStart=/bin/touch /tmp/PWNED\n#", "a line feed (0x0A)"},
                      UnitPathCase{"cr\rExecStart=/bin/false", "a carriage return (0x0D)"},
                      UnitPathCase{"tab\tx", "a tab (0x09)"}, UnitPathCase{"esc\x1b[2Jx", "an escape character (0x1B)"},
                      UnitPathCase{"bell\x07", "a control character (0x07)"},
                      UnitPathCase{"del\x7fx", "a delete character (0x7F)"},
                      UnitPathCase{"latin\xe9", "a byte that is not UTF-8 (0xE9)"},
                      UnitPathCase{"overlong\xc0\xaf", "a byte that is not UTF-8 (0xC0)"},
                      UnitPathCase{"trail ", "a blank at its end (0x20)"},
                      UnitPathCase{"dq\"x", "a double quote (0x22)"}, UnitPathCase{"sq'x", "a single quote (0x27)"},
                      UnitPathCase{"back\\slash", "a backslash (0x5C)"}, UnitPathCase{"end\\", "a backslash (0x5C)"},
                      UnitPathCase{"dol${HOME}", "a dollar sign (0x24)"}, UnitPathCase{"sp ace", nullptr},
                      UnitPathCase{"pct%i%%n", nullptr}, UnitPathCase{"\xc3\xbcn\xc3\xaf \xe2\x82\xac", nullptr},
                      UnitPathCase{"semi;colon", nullptr}, UnitPathCase{"@at", nullptr}, UnitPathCase{"-dash", nullptr},
                      UnitPathCase{"~tilde", nullptr}));

}  // namespace
}  // namespace tarnwick
