// Stored files put in the way of tarnwick-cli: a link to /dev/zero, a FIFO, a file over its size
// limit and a folder, at the name of each file the program reads. Every command that reads it ends
// promptly (a watchdog kills a hung one and fails the test) with a message naming the file and why,
// and the exit code says so.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/FormatTexts.h"
#include "formats/FileIo.h"
#include "log/RunLogFile.h"
#include "profiles/Profile.h"
#include "support/CliSandbox.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

constexpr std::chrono::seconds kWatchdog{30};

enum class Kind { LinkToDevZero, Fifo, Oversize, Folder };

struct Command {
  std::vector<std::string> args;
  int exitCode;
  bool runsUntilSigint = false;  // the monitor: it names the file and goes on until Ctrl-C
  // A listing of files that is not a regular file is not one of them (skipped, never opened): it
  // is only shown to end promptly.
  bool namesOnlyOversize = false;
  // Never opens the file (stop asks the holder's socket): it is only shown to end promptly, as it
  // does with nobody listening.
  bool readsItNot = false;
};

struct StoredFile {
  const char* name;
  std::function<fs::path(const CliSandbox&)> path;
  std::uint64_t limit;
  std::vector<Command> commands;
};

fs::path MonthLog(const CliSandbox& dir) { return dir / ("bin/Logs/" + CRunLogFile::FileNameFor(std::time(nullptr))); }

const std::vector<StoredFile>& StoredFiles() {
  static const std::vector<StoredFile> files{
      {"config.xml",
       [](const CliSandbox& d) { return d / "config.xml"; },
       kSettingsFileLimit,
       {{{"monitor"}, 0, true}}},
      {"profiles.ini",
       [](const CliSandbox& d) { return d / "bin/profiles.ini"; },
       kCatalogueFileLimit,
       {{{"list"}, 1}, {{"run", "quick"}, 0}, {{"monitor"}, 0, true}}},
      {"profile",
       [](const CliSandbox&) { return fs::path(ProfileFileOf("victim")); },
       kProfileFileLimit,
       {{{"list"}, 1, false, true}, {{"run", "victim"}, 2}}},
      {"ftpcerts.ini",
       [](const CliSandbox& d) { return d / "bin/ftpcerts.ini"; },
       kAccountFileLimit,
       {{{"run", "secure"}, 1}}},
      {"scheduler.lock",
       [](const CliSandbox& d) { return d / "bin/scheduler.lock"; },
       kLockFileLimit,
       {{{"monitor"}, 2}, {{"stop"}, 1, false, false, true}, {{"service", "status"}, 1}}},
      {"run history",
       MonthLog,
       kLogFileLimit,
       {{{"log"}, 1, false, true}, {{"log", "--last"}, 1, false, true}, {{"service", "status"}, 1, false, true}}},
  };
  return files;
}

void Plant(const fs::path& path, Kind kind, std::uint64_t limit) {
  fs::create_directories(path.parent_path());
  switch (kind) {
    case Kind::LinkToDevZero: fs::create_symlink("/dev/zero", path); break;
    case Kind::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); break;
    case Kind::Folder: fs::create_directory(path); break;
    case Kind::Oversize:
      // Sparse: one byte over the limit costs no disk.
      WriteFile(path, "");
      fs::resize_file(path, limit + 1);
      break;
  }
}

std::string Reason(Kind kind, std::uint64_t limit) {
  if (kind != Kind::Oversize) return "Not a regular file";
  return "Larger than " + SizeLimitText(limit) + ", the limit for this file";
}

class StoredFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "src/a.txt", "alpha");
    SaveProfile("quick", [this](Profile& p) { p.localDestFolder = (dir / "dst").string(); });
    // Secured FTP to a loopback port: the certificate store is read before anything is sent.
    SaveProfile("secure", [](Profile& p) {
      p.destIsLocal = false;
      p.ftpDest = FtpSite{"127.0.0.1", "1", "user", "pass", "/backup", "1", false};
      p.ftpDest.tls = true;
    });
  }

  void SaveProfile(const std::string& name, const std::function<void(Profile&)>& adjust) {
    Profile p;
    ResetSchedule(p.schedule, std::time(nullptr));
    p.name = name;
    p.localSources = {{(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false}};
    adjust(p);
    ProfilePathFor(p);
    ASSERT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
  }

  CliSandbox dir;
};

class StoredFileAttackTest : public StoredFilesTest,
                             public ::testing::WithParamInterface<std::tuple<std::size_t, Kind>> {};

TEST_P(StoredFileAttackTest, EveryReaderEndsPromptlyNamingTheFileAndWhy) {
  const auto [index, kind] = GetParam();
  const StoredFile& file = StoredFiles()[index];
  const fs::path path = file.path(dir);
  Plant(path, kind, file.limit);
  const std::string reason = Reason(kind, file.limit);
  for (const Command& command : file.commands) {
    SCOPED_TRACE(command.args.front() + (command.args.size() > 1 ? " " + command.args[1] : ""));
    // The last command's words must not pass for this one's.
    fs::remove(dir / "err");
    fs::remove(dir / "out");
    const pid_t pid = dir.Start(command.args);
    if (command.runsUntilSigint) {
      EXPECT_TRUE(dir.WaitForText("err", reason)) << ReadFile(dir / "err");
      ::kill(pid, SIGINT);
    }
    const ProcessResult r = dir.Finish(pid, kWatchdog);
    if (command.readsItNot || (command.namesOnlyOversize && kind != Kind::Oversize)) {
      EXPECT_EQ(r.status, command.readsItNot ? command.exitCode : r.status) << "-1: hung and killed\n"
                                                                            << r.out << r.err;
      EXPECT_NE(r.status, -1) << "hung and killed\n" << r.out << r.err;
      continue;
    }
    EXPECT_EQ(r.status, command.exitCode) << "-1: hung and killed\n" << r.out << r.err;
    const std::string said = r.out + r.err;
    EXPECT_NE(said.find(path.filename().string()), std::string::npos) << said;
    EXPECT_NE(said.find(reason), std::string::npos) << said;
  }
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<std::size_t, Kind>>& info) {
  static const char* const kKinds[] = {"LinkToDevZero", "Fifo", "Oversize", "Folder"};
  std::string name = StoredFiles()[std::get<0>(info.param)].name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + "_" + kKinds[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(FilesAndKinds, StoredFileAttackTest,
                         ::testing::Combine(::testing::Range<std::size_t>(0, StoredFiles().size()),
                                            ::testing::Values(Kind::LinkToDevZero, Kind::Fifo, Kind::Oversize,
                                                              Kind::Folder)),
                         CaseName);

TEST_F(StoredFilesTest, CommandsThatOnlyReadCreateNoFile) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"list"}, {"run", "secure"}, {"stop"}, {"service", "status"}, {"log"}}) {
    const ProcessResult r = dir.Finish(dir.Start(args), kWatchdog);
    EXPECT_NE(r.status, -1) << args.front() << " hung";
  }
  for (const char* name : {"bin/ftpcerts.ini", "bin/ftpac.ini", "bin/scheduler.lock", "config.xml", "bin/Logs"}) {
    EXPECT_FALSE(fs::exists(dir / name)) << name;
  }
}

}  // namespace
}  // namespace tarnwick::test
