// Servers that do not play along: hostile listings, refused folders, accounts without rename or
// delete rights, and what killed runs left on them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/CompressedBackup.h"
#include "engine/CopyJob.h"
#include "engine/RemoteListing.h"
#include "formats/PartFile.h"
#include "support/FtpTestServer.h"
#include "support/TempDir.h"
#include "zip/ZipTestSupport.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

class UnfriendlyServerTest : public ::testing::Test {
 protected:
  void UseServer(const FtpTestServer& server, const std::string& remotePath) {
    run.job.destIsLocal = false;
    run.job.ftpDest =
        FtpSite{server.host(), std::to_string(server.port()), server.user(), server.password(), remotePath, "1", true};
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
  EXPECT_EQ(std::count_if(names.begin(), names.end(),
                          [](const std::string& n) { return n.find("probe") != std::string::npos; }),
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

// Names a hostile server lists beside one good file: none may lead out of the destination, reach the
// terminal raw or end up in an archive.
const char* const kHostileNames[] = {"../../x", "../../escdir", "a/../../../tmp/deep", "esc\x1b]0;t\x07.txt"};

std::string HostileListing(bool mlsd) {
  std::string listing;
  const auto line = [&](bool folder, const std::string& name) {
    listing += mlsd ? std::string(folder ? "type=dir;" : "type=file;size=1;") + " " + name + "\r\n"
                    : std::string(folder ? "drwxr-xr-x" : "-rw-r--r--") + " 1 u g 1 Jan 01  2020 " + name + "\r\n";
  };
  line(true, ".");
  line(true, "..");
  line(false, "ok.txt");
  line(false, kHostileNames[0]);
  line(true, kHostileNames[1]);
  line(false, kHostileNames[2]);
  line(false, kHostileNames[3]);
  return listing;
}

TEST_F(UnfriendlyServerTest, HostileNamesInAListingAreFailedFilesAndNothingLeavesTheDestination) {
  for (const bool mlsd : {true, false}) {
    FtpTestServer server({.mlsd = mlsd, .crafted = {{"/pub", HostileListing(mlsd)}}});
    WriteFile(server.root() / "pub/ok.txt", "good");
    WriteFile(server.root() / "x", "outside the listed folder");
    for (const bool zip : {false, true}) {
      JobRun job;
      const fs::path dst = dir / (std::string(mlsd ? "mlsd" : "list") + (zip ? "-zip" : "-copy")) / "a/b/dst";
      job.job.localDestFolder = dst.string();
      job.job.zipPath = zip ? (dst / "r.zip").string() : std::string();
      job.job.remoteSources = {FtpSource{
          FtpSite{server.host(), std::to_string(server.port()), server.user(), server.password(), "", "1", true},
          {{"/pub", "+[*]", ItemKind::FtpFolder, true}}}};
      zip ? RunZipJob(job.context) : RunCopyJob(job.context);
      EXPECT_EQ(job.CountRows("ERROR Backup /pub/"), 4u) << server.Log();
      EXPECT_EQ(job.CountRows("ERROR Backup /pub/esc\\x1B]0;t\\x07.txt Failed."), 1u) << "escaped in the row";
      EXPECT_EQ(job.CountRows("BACKUPFILE Backup file /pub/ok.txt."), 1u);
      // Nothing was made beside or above the destination.
      EXPECT_EQ(NamesIn(dst.parent_path()), std::vector<std::string>{"dst"});
      EXPECT_EQ(NamesIn(dst.parent_path().parent_path()), std::vector<std::string>{"b"});
      if (zip) {
        EXPECT_EQ(RunTool("unzip -Z1 '" + (dst / "r.zip").string() + "'").output, "pub/ok.txt\n");
      } else {
        EXPECT_EQ(NamesIn(dst), std::vector<std::string>{"pub"});
        EXPECT_EQ(ReadFile(dst / "pub/ok.txt"), "good");
      }
    }
  }
}

TEST_F(UnfriendlyServerTest, AFolderListedInsideItselfEndsTheWalkAndARefusedFolderIsAnError) {
  FtpTestServer server({.loop = "/loop"});
  fs::create_directories(server.root() / "loop");
  run.job.localDestFolder = (dir / "dst").string();
  run.job.remoteSources = {
      FtpSource{FtpSite{server.host(), std::to_string(server.port()), server.user(), server.password(), "", "1", true},
                {{"/loop", "+[*]", ItemKind::FtpFolder, true},
                 {std::string("/") + FtpTestServer::kLockedFolder, "+[*]", ItemKind::FtpFolder, true}}}};
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  EXPECT_EQ(run.CountRows(std::string("ERROR Cannot list folder /") + FtpTestServer::kLockedFolder + ": "), 1u)
      << server.Log();
  EXPECT_EQ(run.CountRows("ERROR"), 1u) << "the loop is no failure, only not walked again";
  EXPECT_EQ(run.CountRows("BACKUPEND"), 1u);
}

TEST_F(UnfriendlyServerTest, AWalkStopsAtItsBoundsWithARowAndAtOnceOnStop) {
  FtpTestServer server;
  for (int i = 0; i < 8; ++i) WriteFile(server.root() / ("pub/d" + std::to_string(i)) / "f.txt", "x");
  FtpSite site{server.host(), std::to_string(server.port()), server.user(), server.password(), "", "1", true};
  FtpJobConnection connection = ConnectForJob(run.context, site, false);
  ASSERT_TRUE(connection);
  const RemoteFolderQuery query{"/pub", "*", "", true, true};
  EXPECT_EQ(CollectRemotePaths(run.context, *connection, query).size(), 8u);
  EXPECT_EQ(run.CountRows("ERROR"), 0u);

  RemoteWalkLimits limits;
  limits.folders = 4;
  EXPECT_EQ(CollectRemotePaths(run.context, *connection, query, limits).size(), 3u);
  EXPECT_EQ(run.CountRows("ERROR The walk of folder /pub was cut after 4 folders"), 1u);
  limits = {};
  limits.entries = 5;
  CollectRemotePaths(run.context, *connection, query, limits);
  EXPECT_EQ(run.CountRows("ERROR The walk of folder /pub was cut after 5 entries"), 1u);

  run.stop = true;
  EXPECT_TRUE(CollectRemotePaths(run.context, *connection, query).empty());
  EXPECT_EQ(run.CountRows("ERROR"), 2u) << "a stopped walk is no failure";
}

// A copy job of the server's /pub, recursively, into `dst`.
void CopyPub(JobRun& job, const FtpTestServer& server, const fs::path& dst) {
  job.job.localDestFolder = dst.string();
  job.job.remoteSources = {
      FtpSource{FtpSite{server.host(), std::to_string(server.port()), server.user(), server.password(), "", "1", true},
                {{"/pub", "+[*]", ItemKind::FtpFolder, true}}}};
  RunCopyJob(job.context);
}

TEST_F(UnfriendlyServerTest, ANameTooLongForAnyFileSystemFailsOnceAndSpoilsNoOtherFile) {
  const std::string longName(5000, 'n');
  for (const bool mlsd : {true, false}) {
    std::string listing;
    for (const std::string& name : {std::string("a.txt"), longName, std::string("b.txt"), std::string("c.txt")}) {
      listing += mlsd ? "type=file;size=4; " + name + "\r\n" : "-rw-r--r-- 1 u g 4 Jan 01  2020 " + name + "\r\n";
    }
    FtpTestServer server({.mlsd = mlsd, .crafted = {{"/pub", listing}}});
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFile(server.root() / "pub" / name, name);
    JobRun job;
    const fs::path dst = dir / (mlsd ? "mlsd" : "list");
    CopyPub(job, server, dst);
    EXPECT_EQ(job.CountRows("ERROR Backup /pub/" + longName + " Failed."), 1u) << server.Log();
    EXPECT_EQ(job.CountRows("ERROR"), 1u);
    EXPECT_EQ(NamesIn(dst / "pub"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(ReadFile(dst / "pub/c.txt"), "c.txt");
  }
}

TEST_F(UnfriendlyServerTest, ACommandTheServerAnswersTwiceSpoilsNoLaterFile) {
  // The server answers a command line over 2048 bytes with "500 Command too long" and then answers
  // the rest of the line as a command of its own: its replies run one behind from there.
  FtpTestServer server;
  fs::path deep = server.root() / "pub";
  for (char c = 'a'; c <= 'k'; ++c) deep /= std::string(200, c);
  WriteFile(deep / "deep.txt", "deep");
  for (const char* name : {"x.txt", "y.txt", "z.txt"}) WriteFile(server.root() / "pub" / name, name);
  CopyPub(run, server, dir / "dst");
  EXPECT_EQ(run.CountRows("ERROR Cannot list folder /pub/"), 1u) << server.Log();
  EXPECT_EQ(run.CountRows("ERROR"), 1u);
  EXPECT_EQ(NamesIn(dir / "dst/pub"), (std::vector<std::string>{"x.txt", "y.txt", "z.txt"}));
  EXPECT_EQ(ReadFile(dir / "dst/pub/z.txt"), "z.txt");
}

// A job whose server greets without end: it fails with a connection row, or, stopped while it
// waits, ends at once as stopped.
TEST_F(UnfriendlyServerTest, AGreetingWithoutEndFailsTheConnectionAndStopEndsTheWaitAtOnce) {
  using Pace = EndlessGreeter::Pace;
  {
    const EndlessGreeter flood(Pace::Flood);
    JobRun job;
    job.job.localDestFolder = (dir / "flood").string();
    job.job.remoteSources = {FtpSource{FtpSite{"127.0.0.1", std::to_string(flood.port()), "u", "p", "", "1", true},
                                       {{"/pub", "+[*]", ItemKind::FtpFolder, true}}}};
    RunCopyJob(job.context);
    EXPECT_EQ(job.CountRows("CONNECTFAILED"), 1u);
    EXPECT_EQ(job.CountRows("BACKUPSTOPPED"), 0u);
  }
  const EndlessGreeter drip(Pace::Drip);
  run.job.localDestFolder = (dir / "drip").string();
  run.job.remoteSources = {FtpSource{FtpSite{"127.0.0.1", std::to_string(drip.port()), "u", "p", "", "1", true},
                                     {{"/pub", "+[*]", ItemKind::FtpFolder, true}}}};
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // a byte or so of the greeting
    run.stop = true;
  });
  const auto start = std::chrono::steady_clock::now();
  RunCopyJob(run.context);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << "not the 30 s time-out";
  stopper.join();
  EXPECT_EQ(run.CountRows("CONNECTFAILED"), 0u);
  EXPECT_EQ(run.Rows().back(), "BACKUPSTOPPED Backup has been stopped.");
}

}  // namespace
}  // namespace tarnwick::test
