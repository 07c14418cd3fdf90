// Whole runs of tarnwick-cli against a real FTP server: the built program started from a program
// folder of its own with a saved profile, its rows read from stdout, its exit status and the files
// it left checked.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/ProgramFolder.h"
#include "profiles/Profile.h"
#include "support/CliSandbox.h"
#include "support/FtpTestServer.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

// Runs `program args...` with stdout and stderr going to files; returns the exit status.
int Spawn(const std::vector<std::string>& command, const fs::path& out, const fs::path& err) {
  return WaitProcess(StartProcess(command, {}, out, err));
}

class FtpRunTest : public ::testing::Test {
 protected:
  FtpSite Site(const std::string& remotePath, const std::string& password = FtpTestServer::kPassword) const {
    return FtpSite{server.host(), std::to_string(server.port()), server.user(), password, remotePath, "1", true};
  }

  // Saves a quick profile named `name` shaped by `adjust`.
  void SaveProfile(const std::string& name, const std::function<void(Profile&)>& adjust) {
    Profile p;
    ResetSchedule(p.schedule, std::time(nullptr));
    p.name = name;
    adjust(p);
    ProfilePathFor(p);
    ASSERT_TRUE(WriteProfile(p, std::time(nullptr)).ok());
  }

  // Runs the profile; the job's rows (from "Backup Start." on, after the launcher's separator and
  // task-name rows) become "KEYWORD description" in `rows`, but for the last, its report, which
  // goes to `report` without its keyword.
  int Run(const std::string& name) {
    const ProcessResult result = dir.Run({"run", name});
    const int status = result.status;
    rows.clear();
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);) {
      const auto first = line.find('\t');
      const auto second = line.find('\t', first + 1);
      if (first == std::string::npos || second == std::string::npos) continue;
      rows.push_back(line.substr(first + 1, second - first - 1) + " " + line.substr(second + 1));
    }
    const auto start = std::find(rows.begin(), rows.end(), "BACKUPSTART Backup Start.");
    EXPECT_EQ(start - rows.begin(), 2) << "the separator and task-name rows come first";
    rows.erase(rows.begin(), start);
    report.clear();
    if (!rows.empty() && rows.back().rfind("REPORT ", 0) == 0) {
      report = rows.back().substr(7);
      rows.pop_back();
    }
    return status;
  }

  std::string Port() const { return std::to_string(server.port()); }
  std::vector<std::string> Connection(const std::string& last = "LOGINOK User login OK.") const {
    return {"CONNECTING Connecting to host 127.0.0.1:" + Port() + ".", "CONNECTED Socket connected.",
            "LOGGINGIN USER: backup", last};
  }

  CliSandbox dir;
  FtpTestServer server;
  std::vector<std::string> rows;
  std::string report;
};

TEST_F(FtpRunTest, ACopyJobUploadsTheLocalFilesAndExitsZero) {
  WriteFile(dir / "src/Docs/été.txt", "summer");
  WriteFile(dir / "src/Docs/a b/c.txt", "c");
  SaveProfile("upload", [&](Profile& p) {
    p.localSources = {{(dir / "src/Docs").string(), "+[*.*]", ItemKind::LocalFolder, true}};
    p.destIsLocal = false;
    p.ftpDest = Site("backup");
  });
  EXPECT_EQ(Run("upload"), 0) << ReadFile(dir / "out") << ReadFile(dir / "err");
  std::vector<std::string> expected{"BACKUPSTART Backup Start."};
  const auto connection = Connection();
  expected.insert(expected.end(), connection.begin(), connection.end());
  expected.push_back("BACKUPFILE Backup file " + (dir / "src/Docs/a b/c.txt").string() + ".");
  expected.push_back("BACKUPFILE Backup file " + (dir / "src/Docs/été.txt").string() + ".");
  expected.push_back("BACKUPEND Backup End.");
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(report.rfind("outcome=completed written=2 skipped=0 failed=0 bytes=7 ", 0), 0u) << report;
  EXPECT_EQ(ReadFile(server.root() / "backup/Docs/été.txt"), "summer");
  EXPECT_EQ(ReadFile(server.root() / "backup/Docs/a b/c.txt"), "c");
}

TEST_F(FtpRunTest, ARefusedLoginEndsTheRunWithAFailureStatus) {
  WriteFile(dir / "src/a.txt", "a");
  SaveProfile("refused", [&](Profile& p) {
    p.localSources = {{(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false}};
    p.destIsLocal = false;
    p.ftpDest = Site("/backup", "wrong");
  });
  EXPECT_EQ(Run("refused"), 1);
  // The reason's words are the server's: EveryFailureIsFollowedByItsReason checks them.
  EXPECT_EQ(std::erase_if(rows, [](const std::string& row) { return row.rfind("ERROR Reason: ", 0) == 0; }), 1u);
  std::vector<std::string> expected{"BACKUPSTART Backup Start."};
  const auto connection = Connection("LOGINFAILED Login Failed.");
  expected.insert(expected.end(), connection.begin(), connection.end());
  expected.push_back("BACKUPEND Backup End.");
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(report.rfind("outcome=failed written=0 ", 0), 0u) << "no destination, no backup: " << report;
  EXPECT_FALSE(fs::exists(server.root() / "backup"));
}

TEST_F(FtpRunTest, ARemoteSourceIsDownloadedAndAMissingFileFailsTheRun) {
  WriteFile(server.root() / "pub/docs/x y.txt", "X");
  WriteFile(server.root() / "pub/docs/deep/z.txt", "Z");
  SaveProfile("download", [&](Profile& p) {
    p.remoteSources = {FtpSource{
        Site(""),
        {{"/pub/docs", "+[*]", ItemKind::FtpFolder, false}, {"/pub/gone.txt", "", ItemKind::FtpFile, false}}}};
    p.localDestFolder = (dir / "dst").string();
  });
  EXPECT_EQ(Run("download"), 1);
  EXPECT_EQ(ReadFile(dir / "dst/docs/x y.txt"), "X");
  EXPECT_EQ(ReadFile(dir / "dst/docs/deep/z.txt"), "Z");
  EXPECT_NE(std::find(rows.begin(), rows.end(), "ERROR Backup /pub/gone.txt Failed."), rows.end());
  EXPECT_EQ(rows.back(), "BACKUPEND Backup End.");
  EXPECT_EQ(report.rfind("outcome=completed-with-failures written=2 skipped=0 failed=1 bytes=2 ", 0), 0u) << report;
  EXPECT_FALSE(fs::exists(dir / "dst/gone.txt")) << "a file that cannot be read leaves nothing behind";
}

// The source's Passive Mode was not stored: a saved profile downloaded in active mode, which
// stalls behind a firewall. The run opens its data connections as the profile file says.
TEST_F(FtpRunTest, ADownloadUsesTheModeStoredInTheProfile) {
  WriteFile(server.root() / "pub/a.txt", "A");
  for (const bool passive : {true, false}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    const std::string name = passive ? "passive" : "active";
    SaveProfile(name, [&](Profile& p) {
      p.remoteSources = {FtpSource{Site(""), {{"/pub/a.txt", "", ItemKind::FtpFile, false}}}};
      p.remoteSources[0].site.passive = passive ? "1" : "0";
      p.localDestFolder = (dir / name).string();
    });
    const std::size_t logged = server.Log().size();
    EXPECT_EQ(Run(name), 0) << ReadFile(dir / "out");
    EXPECT_EQ(ReadFile(dir / name / "a.txt"), "A");
    const std::string log = server.Log().substr(logged);
    const bool sawPassive = log.find("] EPSV") != std::string::npos || log.find("] PASV") != std::string::npos;
    const bool sawActive = log.find("] EPRT") != std::string::npos || log.find("] PORT") != std::string::npos;
    EXPECT_EQ(sawPassive, passive) << log;
    EXPECT_EQ(sawActive, !passive) << log;
  }
}

// Failures said only "Backup ... Failed." or "Login Failed.": the row after each now says why, in
// the system's or the server's words, with host and port for a server that cannot be reached.
TEST_F(FtpRunTest, EveryFailureIsFollowedByItsReason) {
  struct Case {
    const char* what;
    std::function<void(Profile&)> shape;
    std::string failedRow;
    std::string reasonStart;
    std::string reasonHolds;
  };
  WriteFile(dir / "src/a.txt", "a");
  // A folder where the copy must go: the copy cannot take its place.
  WriteFile(dir / "taken/a.txt/keep", "k");
  const int closed = ClosedLoopbackPort();
  const Case cases[] = {
      {"destination taken",
       [&](Profile& p) {
         p.localSources = {{(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false}};
         p.localDestFolder = (dir / "taken").string();
       },
       "ERROR Backup " + (dir / "src/a.txt").string() + " Failed.", (dir / "taken/a.txt").string() + ": ", "directory"},
      {"wrong password",
       [&](Profile& p) {
         p.localSources = {{(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false}};
         p.destIsLocal = false;
         p.ftpDest = Site("/backup", "wrong");
       },
       "LOGINFAILED Login Failed.", "", "530"},
      {"connection refused",
       [&](Profile& p) {
         p.localSources = {{(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false}};
         p.destIsLocal = false;
         p.ftpDest = Site("/backup");
         p.ftpDest.port = std::to_string(closed);
       },
       "CONNECTFAILED Failed to connect to host.", "127.0.0.1 port " + std::to_string(closed) + ": ", ""},
      {"missing remote file",
       [&](Profile& p) {
         p.remoteSources = {FtpSource{Site(""), {{"/pub/gone.txt", "", ItemKind::FtpFile, false}}}};
         p.localDestFolder = (dir / "dst").string();
       },
       "ERROR Backup /pub/gone.txt Failed.", "", "550"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SaveProfile("failing", c.shape);
    EXPECT_EQ(Run("failing"), 1);
    const auto failed = std::find(rows.begin(), rows.end(), c.failedRow);
    ASSERT_NE(failed, rows.end()) << ReadFile(dir / "out");
    ASSERT_NE(failed + 1, rows.end());
    const std::string& reason = *(failed + 1);
    EXPECT_EQ(reason.rfind("ERROR Reason: " + c.reasonStart, 0), 0u) << reason;
    EXPECT_NE(reason.find(c.reasonHolds), std::string::npos) << reason;
    EXPECT_EQ(std::find(rows.begin(), rows.end(), "CONNECTED Socket connected.") != rows.end(),
              c.failedRow.rfind("LOGINFAILED", 0) == 0 || c.failedRow.find("/pub/") != std::string::npos)
        << "connected only to a server that answered";
  }
}

TEST_F(FtpRunTest, AZipJobSendsAValidArchiveToTheServer) {
  WriteFile(dir / "src/local.txt", std::string(100000, 'l'));
  WriteFile(server.root() / "pub/remote file.txt", "R");
  SaveProfile("zipped", [&](Profile& p) {
    p.localSources = {{(dir / "src/local.txt").string(), "", ItemKind::LocalFile, false}};
    p.remoteSources = {FtpSource{Site(""), {{"/pub/remote file.txt", "", ItemKind::FtpFile, false}}}};
    p.destIsLocal = false;
    p.ftpDest = Site("/backup");
    p.compress = true;
    p.zipFileName = "all.zip";
    p.zipLevel = 5;
  });
  EXPECT_EQ(Run("zipped"), 0) << ReadFile(dir / "out") << ReadFile(dir / "err");
  const fs::path archive = server.root() / "backup/all.zip";
  ASSERT_TRUE(fs::exists(archive));
  EXPECT_EQ(Spawn({"/usr/bin/unzip", "-tq", archive.string()}, dir / "unzip.out", dir / "unzip.err"), 0);
  Spawn({"/usr/bin/unzip", "-Z1", archive.string()}, dir / "names", dir / "unzip.err");
  EXPECT_EQ(ReadFile(dir / "names"), "local.txt\nremote file.txt\n");
  EXPECT_NE(std::find(rows.begin(), rows.end(), "COMPRESSFILE Compressing all files to /backup/all.zip."), rows.end());
}

// Over a server without HASH the check alone compares sizes and says so; reading back, asked for
// once or kept in the profile, it finds a copy changed on the server with its size kept.
TEST_F(FtpRunTest, VerifyReadBackFindsACopyChangedOnTheServer) {
  WriteFile(dir / "src/a.txt", "alpha");
  for (const bool stored : {false, true}) {
    SaveProfile(stored ? "readback" : "upload", [&](Profile& p) {
      p.localSources = {{(dir / "src/a.txt").string(), "", ItemKind::LocalFile, false}};
      p.destIsLocal = false;
      p.ftpDest = Site("/backup");
      p.verifyByReadingBack = stored;
    });
  }
  ASSERT_EQ(Run("upload"), 0) << ReadFile(dir / "out") << ReadFile(dir / "err");
  WriteFile(server.root() / "backup/a.txt", "Alpha");

  ProcessResult r = dir.Run({"verify", "upload"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\tVERIFY\t/backup/a.txt verified (size only: the server offers no HASH).\n"), std::string::npos)
      << r.out;
  const std::string changed =
      "\tERROR\tVerify /backup/a.txt failed: its content differs from its source from byte 0 on.\n";
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"verify", "upload", "--read-back"}, {"verify", "readback"}}) {
    r = dir.Run(command);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find(changed), std::string::npos) << r.out;
  }
  EXPECT_EQ(dir.Run({"verify", "upload", "--read-back", "--read-back"}).status, 2);
}

}  // namespace
}  // namespace tarnwick::test
