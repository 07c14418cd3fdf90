// Servers that do not play along: accounts without rename or delete rights, and what killed runs
// left on them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/CompressedBackup.h"
#include "engine/CopyJob.h"
#include "formats/PartFile.h"
#include "support/FtpTestServer.h"
#include "support/TempDir.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;


class UnfriendlyServerTest : public ::testing::Test {
 protected:
  void UseServer(const FtpTestServer& server, const std::string& remotePath) {
    run.job.destIsLocal = false;
    run.job.ftpDest = FtpSite{server.host(), std::to_string(server.port()), server.user(), server.password(),
                              remotePath, "1", true};
  }

  TempDir dir;
  JobRun run;
};

TEST_F(UnfriendlyServerTest, WithoutRenameRightsFilesAreStoredDirectlyAndTheLogSaysSo) {
  FtpTestServer server({.mayRename = false, .mayDelete = false});
  WriteFile(dir / "a.txt", "first");
  WriteFile(dir / "b.txt", "second");
  for (const char* name : {"a.txt", "b.txt"}) {
    run.job.localSources.push_back({(dir / name).string(), "", ItemKind::LocalFile, false});
  }
  UseServer(server, "/out");
  fs::create_directories(server.root() / "out");
  WriteFile(server.root() / "out/a.txt", "older");
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED) << server.Log();
  EXPECT_EQ(ReadFile(server.root() / "out/a.txt"), "first");
  EXPECT_EQ(ReadFile(server.root() / "out/b.txt"), "second");
  EXPECT_EQ(run.CountRows("BACKUPFILE The server refused to rename"), 1u) << "said once per session";
  EXPECT_EQ(run.CountRows("ERROR"), 0u) << "no file failed";
  // The one temporary file of the first attempt stays: this account may not delete it.
  EXPECT_LE(NamesIn(server.root() / "out").size(), 3u);
}

TEST_F(UnfriendlyServerTest, TheArchiveCheckLeavesAtMostOneFixedProbeBehind) {
  FtpTestServer server({.mayDelete = false});
  WriteFile(dir / "a.txt", "A");
  run.job.localSources.push_back({(dir / "a.txt").string(), "", ItemKind::LocalFile, false});
  UseServer(server, "/zips");
  run.job.zipPath = "127.0.0.1/zips/b.zip";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED) << server.Log();
  const auto names = NamesIn(server.root() / "zips");
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.find("probe") != std::string::npos; }),
            1);
  EXPECT_NE(std::find(names.begin(), names.end(), "b.zip"), names.end());
}

TEST_F(UnfriendlyServerTest, TemporariesOfAKilledRunOnTheServerGoAtTheNextRun) {
  FtpTestServer server;
  fs::create_directories(server.root() / "out");
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  // The name a process of this machine that has ended gave its upload, and one of another machine.
  std::string stale = fs::path(TemporaryNameBeside("x")).filename().string();
  stale.replace(10, std::to_string(::getpid()).size(), std::to_string(child));
  WriteFile(server.root() / "out" / stale, "half an upload");
  WriteFile(server.root() / "out/.tarnwick-1-00000000-0.part", "another machine's");
  WriteFile(dir / "a.txt", "A");
  run.job.localSources.push_back({(dir / "a.txt").string(), "", ItemKind::LocalFile, false});
  UseServer(server, "/out");
  ASSERT_TRUE(IsStaleTemporaryName(stale));
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED) << server.Log();
  EXPECT_EQ(NamesIn(server.root() / "out"), (std::vector<std::string>{".tarnwick-1-00000000-0.part", "a.txt"}));
}

}  // namespace
}  // namespace tarnwick::test
