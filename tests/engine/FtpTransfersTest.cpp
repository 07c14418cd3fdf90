// FTP transfers of a job against a real FTP server on 127.0.0.1.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/CompressedBackup.h"
#include "engine/CopyJob.h"
#include "engine/FtpTransfers.h"
#include "engine/JobDestination.h"
#include "engine/RemoteListing.h"
#include "support/FtpTestServer.h"
#include "support/TempDir.h"
#include "zip/ZipTestSupport.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

FtpSite SiteOf(const FtpTestServer& server, const std::string& remotePath = "", bool passive = true) {
  return FtpSite{server.host(), std::to_string(server.port()), server.user(), server.password(),
                 remotePath,    passive ? "1" : "0",           true};
}

std::string Pattern(std::size_t size) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return data;
}

// Asks `stop` at the first status text starting with `prefix` (an empty prefix: any text).
class StopOnStatus : public RecordingObserver {
 public:
  StopOnStatus(std::atomic<bool>& stop, std::string prefix) : stop_(stop), prefix_(std::move(prefix)) {}
  void OnStatusText(const std::string& text) override {
    RecordingObserver::OnStatusText(text);
    if (text.rfind(prefix_, 0) == 0) stop_ = true;
  }

 private:
  std::atomic<bool>& stop_;
  const std::string prefix_;
};

class FtpTransfersTest : public ::testing::Test {
 protected:
  FtpJobConnection Connect(FtpTestServer& on, const std::string& remotePath = "") {
    FtpSite site = SiteOf(on, remotePath);
    FtpJobConnection connection = ConnectForJob(run.context, site, true);
    EXPECT_TRUE(connection) << on.Log();
    return connection;
  }

  TempDir dir;
  JobRun run;
};

TEST_F(FtpTransfersTest, LoginRefusedAndUnreachableHostLogTheirRowsAndEndTheJob) {
  FtpTestServer server;
  int closedPort = 0;
  {
    FtpTestServer gone;
    closedPort = gone.port();
  }
  const std::string refusedPort = std::to_string(server.port()), closed = std::to_string(closedPort);
  struct Case {
    std::string port, password;
    std::vector<std::string> rows;
    std::string reasonStart;  // of the reason row after the failed one
  } cases[] = {
      {refusedPort,
       "wrong",
       {"BACKUPSTART Backup Start.", "CONNECTING Connecting to host 127.0.0.1:" + refusedPort + ".",
        "CONNECTED Socket connected.", "LOGGINGIN USER: backup", "LOGINFAILED Login Failed.", "BACKUPEND Backup End."},
       "ERROR Reason: "},
      // Nobody listens: the user is told the host could not be reached, not that the login failed.
      {closed,
       server.password(),
       {"BACKUPSTART Backup Start.", "CONNECTING Connecting to host 127.0.0.1:" + closed + ".",
        "CONNECTFAILED Failed to connect to host.", "BACKUPEND Backup End."},
       "ERROR Reason: 127.0.0.1 port " + closed + ": "},
  };
  for (const Case& c : cases) {
    JobRun job;
    job.job.destIsLocal = false;
    job.job.ftpDest = FtpSite{"127.0.0.1", c.port, server.user(), c.password, "/backup", "1", false};
    EXPECT_EQ(RunCopyJob(job.context), COPYJOB_NO_FTP_DESTINATION);
    std::vector<std::string> reasons;
    EXPECT_EQ(job.RowsWithoutReasons(&reasons), c.rows);
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_EQ(reasons[0].rfind(c.reasonStart, 0), 0u) << reasons[0];
  }
  EXPECT_FALSE(fs::exists(server.root() / "backup"));
}

TEST_F(FtpTransfersTest, AnEmptyUserNameLogsInAnonymously) {
  FtpTestServer server;
  FtpSite site{server.host(), std::to_string(server.port()), "", "", "drop", "0", false};
  FtpJobConnection connection = ConnectForJob(run.context, site, true);
  ASSERT_TRUE(connection);
  EXPECT_EQ(site.remotePath, "/drop");
  EXPECT_EQ(run.Rows()[2], "LOGGINGIN USER: ");
  WriteFile(dir / "a.txt", "anon");
  EXPECT_TRUE(CreateRemoteFolderChain(*connection, site.remotePath));
  EXPECT_TRUE(UploadFile(run.context, (dir / "a.txt").string(), "/drop/a.txt", *connection));
  EXPECT_EQ(ReadFile(server.anonRoot() / "drop/a.txt"), "anon");
}

TEST(ResolveRemotePathTest, ARelativeDestinationLiesBelowTheLoginFolder) {
  EXPECT_EQ(ResolveRemotePath("/home/u", "backup"), "/home/u/backup");
  EXPECT_EQ(ResolveRemotePath("/", "backup/2024-03-05"), "/backup/2024-03-05");
  EXPECT_EQ(ResolveRemotePath("/home/u", ""), "/home/u");
  EXPECT_EQ(ResolveRemotePath("", "backup"), "backup");
}

// A whole copy job to an FTP destination, in both data connection modes: folder tree, file item,
// relative destination, names with blanks and non-ASCII letters.
class FtpDestinationJobTest : public FtpTransfersTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FtpDestinationJobTest, CopiesTheLocalSourcesBelowTheRelativeDestination) {
  FtpTestServer server;
  WriteFile(dir / "Mes docs/été 1.txt", "summer");
  WriteFile(dir / "Mes docs/sub dir/b.txt", Pattern(200000));
  WriteFile(dir / "Mes docs/skip.tmp", "no");
  fs::create_directories(dir / "Mes docs/empty");
  WriteFile(dir / "single file.bin", "S");
  run.job.localSources = {{(dir / "Mes docs").string(), "+[*.txt]-[skip*]", ItemKind::LocalFolder, true},
                          {(dir / "single file.bin").string(), "", ItemKind::LocalFile, false}};
  run.job.destIsLocal = false;
  run.job.ftpDest = SiteOf(server, "backup/2024-03-05", GetParam());
  WriteFile(server.root() / "backup/2024-03-05/single file.bin", "older copy");

  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED) << server.Log();
  const fs::path dest = server.root() / "backup/2024-03-05";
  EXPECT_EQ(ReadFile(dest / "Mes docs/été 1.txt"), "summer");
  EXPECT_EQ(ReadFile(dest / "Mes docs/sub dir/b.txt"), Pattern(200000));
  EXPECT_FALSE(fs::exists(dest / "Mes docs/skip.tmp"));
  EXPECT_TRUE(fs::is_directory(dest / "Mes docs/empty"));
  EXPECT_EQ(ReadFile(dest / "single file.bin"), "S");
  EXPECT_EQ(NamesIn(dest), (std::vector<std::string>{"Mes docs", "single file.bin"}));

  const auto rows = run.Rows();
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return r.rfind("ERROR", 0) == 0; }), 0);
  EXPECT_EQ(rows.back(), "BACKUPEND Backup End.");
  // 200,000 bytes go in four chunks of up to 64 KiB.
  std::vector<std::string> bTexts;
  for (const auto& t : run.observer.Texts()) {
    if (t.find("b.txt") != std::string::npos) bTexts.push_back(t);
  }
  const std::string b = (dir / "Mes docs/sub dir/b.txt").string();
  EXPECT_EQ(bTexts, (std::vector<std::string>{"Backing up " + b + " | 64 KB", "Backing up " + b + " | 128 KB",
                                              "Backing up " + b + " | 192 KB", "Backing up " + b + " | 195 KB"}));
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, FtpDestinationJobTest, ::testing::Bool());

// The probe for an archive is stored and ended like the archive will be: a server that takes the
// file but refuses it at its end (426 here; a full disk or a quota alike) has no room for it.
TEST_F(FtpTransfersTest, AProbeTheServerRefusesAtItsEndLeavesNoRoomForTheArchive) {
  FtpTestServerOptions faulty;
  faulty.dropAfterBytes = 0;
  FtpTestServer refusing(faulty);
  FtpJobConnection connection = Connect(refusing);
  ASSERT_TRUE(connection);
  EXPECT_FALSE(CanCreateRemoteFile(*connection, "/arch.zip")) << refusing.Log();

  FtpTestServer accepting;
  FtpJobConnection good = Connect(accepting);
  ASSERT_TRUE(good);
  EXPECT_TRUE(CanCreateRemoteFile(*good, "/arch.zip")) << accepting.Log();
}

TEST_F(FtpTransfersTest, AFailedOrStoppedUploadKeepsTheOlderRemoteCopy) {
  FtpTestServerOptions faulty;
  faulty.dropAfterBytes = 100000;
  FtpTestServer server(faulty);
  WriteFile(server.root() / "out/data.bin", "older copy");
  WriteFile(dir / "data.bin", Pattern(300000));
  FtpJobConnection connection = Connect(server);
  ASSERT_TRUE(connection);

  EXPECT_FALSE(UploadFile(run.context, (dir / "data.bin").string(), "/out/data.bin", *connection));
  EXPECT_EQ(ReadFile(server.root() / "out/data.bin"), "older copy");
  EXPECT_EQ(NamesIn(server.root() / "out"), std::vector<std::string>{"data.bin"});

  run.observer.onProgress = [this](long long) { run.stop = true; };
  EXPECT_TRUE(UploadFile(run.context, (dir / "data.bin").string(), "/out/data.bin", *connection))
      << "a stop is not a failure";
  EXPECT_EQ(ReadFile(server.root() / "out/data.bin"), "older copy");
  EXPECT_EQ(NamesIn(server.root() / "out"), std::vector<std::string>{"data.bin"});

  // A small file passes the fault switch and replaces the older copy.
  run.stop = false;
  run.observer.onProgress = nullptr;
  WriteFile(dir / "small.bin", "new");
  EXPECT_TRUE(UploadFile(run.context, (dir / "small.bin").string(), "/out/data.bin", *connection));
  EXPECT_EQ(ReadFile(server.root() / "out/data.bin"), "new");
  EXPECT_FALSE(UploadFile(run.context, (dir / "missing").string(), "/out/missing", *connection));
}

TEST_F(FtpTransfersTest, DownloadsReplaceTheLocalCopyOnlyWhenComplete) {
  FtpTestServer server;
  WriteFile(server.root() / "pub/big file.bin", Pattern(150000));
  FtpJobConnection connection = Connect(server);
  ASSERT_TRUE(connection);
  const std::string target = (dir / "new/deep").string();

  EXPECT_TRUE(DownloadFile(run.context, "/pub/big file.bin", target, *connection));
  EXPECT_EQ(ReadFile(dir / "new/deep/big file.bin"), Pattern(150000));
  const std::string shown = "Backing up /pub/big file.bin | ";
  EXPECT_EQ(run.observer.Texts(), (std::vector<std::string>{shown + "64 KB", shown + "128 KB", shown + "146 KB"}));

  WriteFile(dir / "new/deep/gone.bin", "older copy");
  EXPECT_FALSE(DownloadFile(run.context, "/pub/gone.bin", target, *connection));
  EXPECT_EQ(ReadFile(dir / "new/deep/gone.bin"), "older copy");

  WriteFile(dir / "new/deep/big file.bin", "older copy");
  run.stop = true;
  EXPECT_TRUE(DownloadFile(run.context, "/pub/big file.bin", target, *connection));
  EXPECT_EQ(ReadFile(dir / "new/deep/big file.bin"), "older copy");
  EXPECT_EQ(NamesIn(dir / "new/deep"), (std::vector<std::string>{"big file.bin", "gone.bin"}));
}

TEST_F(FtpTransfersTest, ADownloadCutByTheServerFailsAndKeepsTheOlderCopy) {
  FtpTestServerOptions faulty;
  faulty.dropAfterBytes = 70000;
  FtpTestServer server(faulty);
  WriteFile(server.root() / "big.bin", Pattern(200000));
  WriteFile(dir / "big.bin", "older copy");
  FtpJobConnection connection = Connect(server);
  ASSERT_TRUE(connection);
  EXPECT_FALSE(DownloadFile(run.context, "/big.bin", dir.path().string(), *connection));
  EXPECT_EQ(ReadFile(dir / "big.bin"), "older copy");
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"big.bin"});
}

TEST_F(FtpTransfersTest, AStopEndsATransferFromAStalledServerAtOnce) {
  FtpTestServerOptions stalling;
  stalling.stallAfterBytes = 70000;
  FtpTestServer server(stalling);
  WriteFile(server.root() / "big.bin", Pattern(400000));
  WriteFile(server.root() / "out/data.bin", "older copy");
  WriteFile(dir / "big.bin", "older copy");
  WriteFile(dir / "data.bin", std::string(32 << 20, 'u'));  // more than the socket buffers take
  FtpJobConnection connection = Connect(server);
  ASSERT_TRUE(connection);
  // The server stalls; Stop comes a moment later, well before the 60 s stall time-out.
  const auto stopSoon = [this] {
    run.stop = false;
    return std::thread([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      run.stop = true;
    });
  };

  auto start = std::chrono::steady_clock::now();
  std::thread stopper = stopSoon();
  EXPECT_TRUE(DownloadFile(run.context, "/big.bin", dir.path().string(), *connection)) << "a stop is not a failure";
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(ReadFile(dir / "big.bin"), "older copy");
  EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"big.bin", "data.bin"}));

  start = std::chrono::steady_clock::now();
  stopper = stopSoon();
  EXPECT_TRUE(UploadFile(run.context, (dir / "data.bin").string(), "/out/data.bin", *connection))
      << "a stop is not a failure";
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(ReadFile(server.root() / "out/data.bin"), "older copy");
  EXPECT_EQ(NamesIn(server.root() / "out"), std::vector<std::string>{"data.bin"}) << "the part is deleted";
}

TEST_F(FtpTransfersTest, CopiesBetweenTwoServers) {
  FtpTestServer from;
  FtpTestServer to;
  WriteFile(from.root() / "src/ä b.bin", Pattern(100000));
  WriteFile(to.root() / "dst/ä b.bin", "older copy");
  FtpJobConnection source = Connect(from);
  FtpJobConnection destination = Connect(to);
  ASSERT_TRUE(source && destination);
  EXPECT_TRUE(CopyRemoteFile(run.context, "/src/ä b.bin", "/dst", *source, *destination));
  EXPECT_EQ(ReadFile(to.root() / "dst/ä b.bin"), Pattern(100000));
  EXPECT_FALSE(CopyRemoteFile(run.context, "/src/none", "/dst", *source, *destination));
  EXPECT_EQ(NamesIn(to.root() / "dst"), std::vector<std::string>{"ä b.bin"});
}

TEST_F(FtpTransfersTest, CreatesRemoteFolderChains) {
  FtpTestServer server;
  FtpJobConnection connection = Connect(server);
  ASSERT_TRUE(connection);
  EXPECT_TRUE(CreateRemoteFolderChain(*connection, "/a/b c/d"));
  EXPECT_TRUE(fs::is_directory(server.root() / "a/b c/d"));
  EXPECT_FALSE(CreateRemoteFolderChain(*connection, "/"));
  EXPECT_FALSE(CreateRemoteFolderChain(*connection, ""));
  EXPECT_TRUE(CreateRemoteFolderChain(*connection, "/a/b c/d/"));  // all there already
}

// A remote tree: docs/{a.txt, b.log, sub/{c.txt, deeper/e.txt}, sub.txt/{f.txt, g.log}}.
class RemoteTreeTest : public FtpTransfersTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    for (const char* name : {"a.txt", "b.log", "sub/c.txt", "sub/deeper/e.txt", "sub.txt/f.txt", "sub.txt/g.log"}) {
      WriteFile(server.root() / "pub/docs" / name, name);
    }
    connection = Connect(server);
    ASSERT_TRUE(connection);
  }
  std::vector<std::string> Collect(const std::string& filter, bool recursive) {
    const std::string include = filter.substr(0, filter.find('|'));
    const std::string exclude = filter.find('|') == std::string::npos ? "" : filter.substr(filter.find('|') + 1);
    // Sorted: the server's listing order is its own.
    auto paths = CollectRemotePaths(run.context, *connection, {"/pub/docs", include, exclude, recursive, true});
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  FtpTestServer server{FtpTestServerOptions{GetParam(), -1, -1}};
  FtpJobConnection connection;
};

TEST_P(RemoteTreeTest, MasksPickFilesAndTheSubFoldersTheyName) {
  // Recursive: the mask also picks the sub-folders descended into.
  EXPECT_EQ(Collect("*.txt", true), (std::vector<std::string>{"/pub/docs/a.txt", "/pub/docs/sub.txt/f.txt"}));
  // Not recursive: the matching sub-folders are taken whole, at every depth.
  EXPECT_EQ(Collect("*.txt", false),
            (std::vector<std::string>{"/pub/docs/a.txt", "/pub/docs/sub.txt/f.txt", "/pub/docs/sub.txt/g.log"}));
  EXPECT_EQ(Collect("*|*.log", false),
            (std::vector<std::string>{"/pub/docs/a.txt", "/pub/docs/sub.txt/f.txt", "/pub/docs/sub.txt/g.log",
                                      "/pub/docs/sub/c.txt", "/pub/docs/sub/deeper/e.txt"}))
      << "without recursion exclusions apply to the item's own folder only";
  // Recursive exclusions descend only into sub-folders their own mask names.
  EXPECT_EQ(Collect("*|*.log", true),
            (std::vector<std::string>{"/pub/docs/a.txt", "/pub/docs/sub.txt/f.txt", "/pub/docs/sub.txt/g.log",
                                      "/pub/docs/sub/c.txt", "/pub/docs/sub/deeper/e.txt"}));
  const auto twice = Collect("*.txt;a*", false);
  EXPECT_EQ(std::count(twice.begin(), twice.end(), "/pub/docs/a.txt"), 2) << "two masks list a file twice";
  EXPECT_TRUE(Collect("*.none", true).empty());

  TransferList list;
  CollectRemoteFolder(run.context, *connection, {"/pub/docs", "*", "", true, true}, "/B/docs", list);
  ASSERT_EQ(list.size(), 6u);
  auto targetOf = [&list](const std::string& source) {
    const auto e = std::find_if(list.begin(), list.end(), [&](const auto& entry) { return entry.source == source; });
    return e == list.end() ? std::string("(not listed)") : e->target;
  };
  EXPECT_EQ(targetOf("/pub/docs/a.txt"), "/B/docs");
  EXPECT_EQ(targetOf("/pub/docs/sub/deeper/e.txt"), "/B/docs/sub/deeper");
}

INSTANTIATE_TEST_SUITE_P(MlsdAndList, RemoteTreeTest, ::testing::Bool());

TEST_F(FtpTransfersTest, ALinkBackUpTheTreeDoesNotWalkForever) {
  FtpTestServer server;
  WriteFile(server.root() / "pub/a.txt", "A");
  fs::create_directory_symlink(server.root() / "pub", server.root() / "pub/loop");
  FtpJobConnection connection = Connect(server);
  ASSERT_TRUE(connection);
  const auto paths = CollectRemotePaths(run.context, *connection, {"/pub", "*", "", true, true});
  // The link lists as the folder it points to: it is that folder again and is not entered.
  EXPECT_EQ(paths, std::vector<std::string>{"/pub/a.txt"});
  EXPECT_EQ(run.CountRows("ERROR"), 0u);
}

TEST_F(FtpTransfersTest, RemoteSourcesGoToALocalOrAnotherFtpDestination) {
  FtpTestServer from;
  FtpTestServer to;
  WriteFile(from.root() / "pub/docs/a b.txt", "A");
  WriteFile(from.root() / "pub/docs/sub/c.txt", "C");
  WriteFile(from.root() / "pub/one.bin", "1");
  FtpSource source{SiteOf(from),
                   {{"/pub/docs", "+[*]", ItemKind::FtpFolder, true},
                    {"/pub/one.bin", "", ItemKind::FtpFile, false},
                    {"/pub/missing.bin", "", ItemKind::FtpFile, false}}};
  run.job.remoteSources = {source};
  run.job.localDestFolder = (dir / "B").string();
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  EXPECT_EQ(ReadFile(dir / "B/docs/a b.txt"), "A");
  EXPECT_EQ(ReadFile(dir / "B/docs/sub/c.txt"), "C");
  EXPECT_EQ(ReadFile(dir / "B/one.bin"), "1");
  const std::string port = std::to_string(from.port());
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{
                            "BACKUPSTART Backup Start.", "CONNECTING Connecting to host 127.0.0.1:" + port + ".",
                            "CONNECTED Socket connected.", "LOGGINGIN USER: backup", "LOGINOK User login OK.",
                            "BACKUPFILE Backup file /pub/docs/a b.txt.", "BACKUPFILE Backup file /pub/docs/sub/c.txt.",
                            "BACKUPFILE Backup file /pub/one.bin.", "BACKUPFILE Backup file /pub/missing.bin.",
                            "ERROR Backup /pub/missing.bin Failed.",
                            std::string("ERROR Reason: /pub/missing.bin: The file does not exist (550 "
                                        "/pub/missing.bin is not retrievable.)"),
                            "BACKUPEND Backup End."}));

  JobRun remote;
  remote.job.remoteSources = {source};
  remote.job.destIsLocal = false;
  remote.job.ftpDest = SiteOf(to, "/B");
  EXPECT_EQ(RunCopyJob(remote.context), COPYJOB_ENDED);
  EXPECT_EQ(ReadFile(to.root() / "B/docs/a b.txt"), "A");
  EXPECT_EQ(ReadFile(to.root() / "B/docs/sub/c.txt"), "C");
  EXPECT_EQ(ReadFile(to.root() / "B/one.bin"), "1");
}

TEST_F(FtpTransfersTest, AStopInsideARemoteFolderEndsTheSourceAndLogsStoppedOnce) {
  FtpTestServer server;
  for (const char* name : {"a.bin", "b.bin", "c.bin"}) WriteFile(server.root() / "pub" / name, Pattern(70000));
  run.job.remoteSources = {FtpSource{SiteOf(server), {{"/pub", "+[*.*]", ItemKind::FtpFolder, false}}},
                           FtpSource{SiteOf(server), {{"/pub/a.bin", "", ItemKind::FtpFile, false}}}};
  run.job.localDestFolder = (dir / "B").string();
  // The first chunk of the first file asks to stop: that file stays out, and nothing follows.
  StopOnStatus observer(run.stop, "");
  JobContext context{run.job, run.log, observer, run.stop};
  EXPECT_EQ(RunCopyJob(context), COPYJOB_ENDED);
  const auto rows = run.Rows();
  EXPECT_EQ(std::vector<std::string>(rows.end() - 2, rows.end()),
            (std::vector<std::string>{"BACKUPFILE Backup file /pub/a.bin.", "BACKUPSTOPPED Backup has been stopped."}));
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "LOGINOK User login OK."), 1) << "the second source never starts";
  EXPECT_EQ(NamesIn(dir / "B/pub"), std::vector<std::string>{});
}

class RemoteZipJobTest : public FtpTransfersTest {
 protected:
  void SetUp() override {
    WriteFile(server.root() / "pub/docs/a.txt", "A");
    WriteFile(server.root() / "pub/docs/sub/b b.txt", "B");
    WriteFile(server.root() / "pub/one.bin", Pattern(150000));
    WriteFile(dir / "local.txt", "L");
    run.job.localSources = {{(dir / "local.txt").string(), "", ItemKind::LocalFile, false}};
    run.job.remoteSources = {FtpSource{SiteOf(server),
                                       {{"/pub/docs", "+[*]", ItemKind::FtpFolder, true},
                                        {"/pub/one.bin", "", ItemKind::FtpFile, false},
                                        {"/pub/none.bin", "", ItemKind::FtpFile, false}}}};
    run.job.destIsLocal = false;
    // As a launch composes it: a relative remote path with a date folder.
    run.job.ftpDest = SiteOf(server, "backup/2024-03-05");
    run.job.zipPath = "127.0.0.1/backup/2024-03-05/arch.zip";
    run.job.zipLevel = 9;
  }

  FtpTestServer server;
};

TEST_F(RemoteZipJobTest, PacksLocalAndRemoteFilesAndSendsTheArchive) {
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED) << server.Log();
  const fs::path archive = server.root() / "backup/2024-03-05/arch.zip";
  ASSERT_TRUE(fs::exists(archive));
  EXPECT_EQ(NamesIn(archive.parent_path()), std::vector<std::string>{"arch.zip"});
  EXPECT_EQ(RunTool("unzip -tq '" + archive.string() + "'").status, 0);
  EXPECT_EQ(RunTool("unzip -Z1 '" + archive.string() + "'").output,
            "local.txt\ndocs/a.txt\ndocs/sub/b b.txt\none.bin\n");
  EXPECT_EQ(RunTool("unzip -p '" + archive.string() + "' one.bin").output, Pattern(150000));

  const auto rows = run.Rows();
  const std::string port = std::to_string(server.port());
  const std::vector<std::string> connection{"CONNECTING Connecting to host 127.0.0.1:" + port + ".",
                                            "CONNECTED Socket connected.", "LOGGINGIN USER: backup",
                                            "LOGINOK User login OK."};
  std::vector<std::string> expected{"BACKUPSTART Backup Start."};
  expected.insert(expected.end(), connection.begin(), connection.end());
  expected.push_back("BACKUPFILE Backup file " + (dir / "local.txt").string() + ".");
  expected.insert(expected.end(), connection.begin(), connection.end());
  expected.insert(expected.end(),
                  {"BACKUPFILE Backup file /pub/docs/a.txt.", "BACKUPFILE Backup file /pub/docs/sub/b b.txt.",
                   "BACKUPFILE Backup file /pub/one.bin.", "BACKUPFILE Backup file /pub/none.bin.",
                   "ERROR Backup /pub/none.bin Failed.",
                   "COMPRESSFILE Compressing all files to /backup/2024-03-05/arch.zip.", "BACKUPEND Backup End."});
  EXPECT_EQ(rows, expected);

  const auto texts = run.observer.Texts();
  for (const char* text : {"Adding /pub/one.bin to zip, 64 KB", "Adding /pub/one.bin to zip, 128 KB",
                           "Adding /pub/one.bin to zip, 146 KB"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << text;
  }
  // The upload's KB count ends at the archive's size.
  const std::string last =
      "Compressing /backup/2024-03-05/arch.zip | " + std::to_string(fs::file_size(archive) / 1024) + " KB";
  EXPECT_EQ(texts.back(), last);
}

TEST_F(RemoteZipJobTest, AnArchiveThatCannotBeCreatedEndsTheJobAndAStopSendsNothing) {
  run.job.zipPath = std::string("127.0.0.1/") + FtpTestServer::kLockedFolder + "/arch.zip";
  run.job.ftpDest.remotePath = std::string("/") + FtpTestServer::kLockedFolder;
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_CANNOT_CREATE_REMOTE);
  EXPECT_EQ(run.Rows().back(), "ERROR Cannot create destination compression file.");

  JobRun stopped;
  stopped.job = run.job;
  stopped.job.ftpDest.remotePath = "/backup";
  stopped.job.zipPath = "127.0.0.1/backup/arch.zip";
  WriteFile(server.root() / "backup/arch.zip", "older archive");
  StopOnStatus observer(stopped.stop, "Adding /pub/one.bin");
  JobContext context{stopped.job, stopped.log, observer, stopped.stop};
  RunZipJob(context);
  EXPECT_EQ(stopped.Rows().back(), "BACKUPSTOPPED Backup has been stopped.");
  EXPECT_EQ(ReadFile(server.root() / "backup/arch.zip"), "older archive");
  EXPECT_EQ(NamesIn(server.root() / "backup"), std::vector<std::string>{"arch.zip"});
}

TEST_F(RemoteZipJobTest, AStopWhileTheArchiveIsSentKeepsTheOlderArchive) {
  run.job.zipLevel = 0;  // stored: the archive takes several chunks
  WriteFile(server.root() / "backup/2024-03-05/arch.zip", "older archive");
  StopOnStatus observer(run.stop, "Compressing /backup");
  JobContext context{run.job, run.log, observer, run.stop};
  EXPECT_EQ(RunZipJob(context), ZIPJOB_ENDED);
  // Neither "Backup End." nor "Backup has been stopped." after a stop during the upload.
  EXPECT_EQ(run.Rows().back(), "COMPRESSFILE Compressing all files to /backup/2024-03-05/arch.zip.");
  EXPECT_EQ(ReadFile(server.root() / "backup/2024-03-05/arch.zip"), "older archive");
  EXPECT_EQ(NamesIn(server.root() / "backup/2024-03-05"), std::vector<std::string>{"arch.zip"});
}

}  // namespace
}  // namespace tarnwick::test
