#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "engine/BackupVerify.h"
#include "engine/CompressedBackup.h"
#include "engine/CopyJob.h"
#include "support/FtpTestServer.h"
#include "support/TempDir.h"

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;

class BackupVerifyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "src/a.txt", "alpha");
    WriteFile(dir / "src/b.txt", std::string(3 << 20, 'b'));
    run.job.localSources.push_back({(dir / "src").string(), "+[*.*]", ItemKind::LocalFolder, false});
    run.job.localDestFolder = (dir / "dst").string();
    run.job.verify = true;
  }
  // Sends the backup to the folder /store on `server`.
  void StoreOn(const FtpTestServer& server) {
    run.job.destIsLocal = false;
    run.job.ftpDest =
        FtpSite{server.host(), std::to_string(server.port()), server.user(), server.password(), "/store", "1", false};
  }
  std::string Dst(const std::string& name) const { return (dir / "dst/src" / name).string(); }
  std::vector<std::string> RowsFrom(const std::string& start) const {
    auto rows = run.Rows();
    rows.erase(rows.begin(),
               std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.rfind(start, 0) == 0; }));
    return rows;
  }

  TempDir dir;
  JobRun run;
};

TEST_F(BackupVerifyTest, ACopyRunChecksItsCopiesBeforeItEnds) {
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  EXPECT_EQ(RowsFrom("VERIFY"),
            (std::vector<std::string>{"VERIFY Verify copies in " + run.job.localDestFolder + ".",
                                      "VERIFY " + Dst("a.txt") + " verified (content, both files read).",
                                      "VERIFY " + Dst("b.txt") + " verified (content, both files read).",
                                      "VERIFY Verify done: 2 checked, 0 failed.", "BACKUPEND Backup End."}));
}

struct CopyFault {
  const char* what;
  std::function<void(const fs::path& src, const fs::path& copy)> spoil;
  std::string reason;  // the end of the ERROR row
};

class CopyFaultTest : public BackupVerifyTest, public ::testing::WithParamInterface<CopyFault> {};

// Each way a copy can differ from its source gets an ERROR row for that copy, with its reason.
TEST_P(CopyFaultTest, IsAnErrorRow) {
  run.job.verify = false;
  ASSERT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  GetParam().spoil(dir / "src/a.txt", Dst("a.txt"));
  run.log.Clear();

  auto destination = LocalFolderDestination(run.job.localDestFolder);
  const TransferList copies{{(dir / "src/a.txt").string(), Dst("a.txt")}, {(dir / "src/b.txt").string(), Dst("b.txt")}};
  EXPECT_EQ(VerifyCopies(run.context, *destination, copies), 1);
  EXPECT_EQ(run.Rows(),
            (std::vector<std::string>{"VERIFY Verify copies in " + run.job.localDestFolder + ".",
                                      "ERROR Verify " + Dst("a.txt") + " failed: " + GetParam().reason + ".",
                                      "VERIFY " + Dst("b.txt") + " verified (content, both files read).",
                                      "VERIFY Verify done: 2 checked, 1 failed."}));
}

void KeepTimeOf(const fs::path& from, const fs::path& to) { fs::last_write_time(to, fs::last_write_time(from)); }

INSTANTIATE_TEST_SUITE_P(
    Faults, CopyFaultTest,
    ::testing::Values(CopyFault{"Shorter", [](const fs::path&, const fs::path& c) { fs::resize_file(c, 3); },
                                "it holds 3 bytes, its source 5"},
                      CopyFault{"Older",
                                [](const fs::path&, const fs::path& c) {
                                  fs::last_write_time(c, fs::last_write_time(c) - std::chrono::hours(1));
                                },
                                "its modification time differs from its source's"},
                      CopyFault{"SameSizeAndTimeOtherBytes",
                                [](const fs::path& s, const fs::path& c) {
                                  WriteFile(c, "alphA");
                                  KeepTimeOf(s, c);
                                },
                                "its content differs from its source from byte 4 on"},
                      CopyFault{"CopyGone", [](const fs::path&, const fs::path& c) { fs::remove(c); },
                                "it cannot be read (No such file or directory)"},
                      CopyFault{"SourceGone", [](const fs::path& s, const fs::path&) { fs::remove(s); },
                                "its source cannot be read (No such file or directory)"}),
    [](const auto& row) { return std::string(row.param.what); });

TEST_F(BackupVerifyTest, AZipRunReadsItsArchiveBackAndACheckAloneFindsADamagedEntry) {
  run.job.zipPath = (dir / "dst/backup.zip").string();
  run.job.zipLevel = 0;
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  EXPECT_EQ(RowsFrom("VERIFY"),
            (std::vector<std::string>{"VERIFY Verify archive " + run.job.zipPath + ".",
                                      "VERIFY " + run.job.zipPath + " verified (CRC of every entry read back).",
                                      "VERIFY Verify done: 2 checked, 0 failed.", "BACKUPEND Backup End."}));

  // The stored entry "src/a.txt" holds "alpha" right after its local header (30 bytes + name).
  std::string bytes = ReadFile(run.job.zipPath);
  bytes[30 + 9] = 'A';
  WriteFile(run.job.zipPath, bytes);
  run.log.Clear();
  EXPECT_EQ(RunVerifyJob(run.context, JobKind::Zip), VERIFYJOB_MISMATCHED);
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"VERIFY Verify archive " + run.job.zipPath + ".",
                                                  "ERROR Verify src/a.txt in " + run.job.zipPath +
                                                      " failed: its CRC-32 differs from the recorded one.",
                                                  "VERIFY Verify done: 2 checked, 1 failed."}));

  fs::resize_file(run.job.zipPath, 100);
  run.log.Clear();
  EXPECT_EQ(RunVerifyJob(run.context, JobKind::Zip), VERIFYJOB_MISMATCHED);
  EXPECT_EQ(run.CountRows("ERROR Verify " + run.job.zipPath +
                          " failed: it cannot be read as an archive (it has no end of central directory record)."),
            1u);
}

TEST_F(BackupVerifyTest, ACheckAloneComparesContentAndMakesNothing) {
  ASSERT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  run.log.Clear();
  EXPECT_EQ(RunVerifyJob(run.context, JobKind::Copy), VERIFYJOB_MATCHED);
  EXPECT_EQ(run.CountRows("VERIFY Verify done: 2 checked, 0 failed."), 1u);

  fs::remove_all(dir / "dst");
  run.log.Clear();
  EXPECT_EQ(RunVerifyJob(run.context, JobKind::Copy), VERIFYJOB_MISMATCHED);
  EXPECT_EQ(run.CountRows("ERROR"), 2u);
  EXPECT_FALSE(fs::exists(dir / "dst")) << "a check makes no folder";
}

TEST_F(BackupVerifyTest, AnArchiveOnAServerIsCheckedBySizeAndReadBackAfterADownload) {
  FtpTestServer server;
  StoreOn(server);
  run.job.zipPath = server.host() + "/store/backup.zip";
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  EXPECT_EQ(run.CountRows("VERIFY Verify done: 2 checked, 0 failed."), 1u) << server.Log();
  EXPECT_EQ(run.CountRows("VERIFY /store/backup.zip verified (CRC of every entry read back before sending; stored "
                          "copy: size only: the server offers no HASH)."),
            1u);
  EXPECT_EQ(run.CountRows("ERROR"), 0u);

  run.log.Clear();
  EXPECT_EQ(RunVerifyJob(run.context, JobKind::Zip), VERIFYJOB_MATCHED);
  EXPECT_EQ(run.CountRows("VERIFY Verify done: 2 checked, 0 failed."), 1u);
  EXPECT_EQ(run.CountRows("VERIFY /store/backup.zip verified (CRC of every entry after download)."), 1u);

  fs::resize_file(server.root() / "store/backup.zip", 50);
  run.log.Clear();
  EXPECT_EQ(RunVerifyJob(run.context, JobKind::Zip), VERIFYJOB_MISMATCHED);
  EXPECT_EQ(run.CountRows("ERROR Verify /store/backup.zip failed: it cannot be read as an archive"), 1u);
}

TEST_F(BackupVerifyTest, CopiesOnAServerAreCheckedBySize) {
  FtpTestServer server;
  StoreOn(server);
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  EXPECT_EQ(run.CountRows("VERIFY Verify done: 2 checked, 0 failed."), 1u) << server.Log();

  fs::resize_file(server.root() / "store/src/b.txt", 10);
  run.log.Clear();
  EXPECT_EQ(RunVerifyJob(run.context, JobKind::Copy), VERIFYJOB_MISMATCHED);
  EXPECT_EQ(run.CountRows("ERROR Verify /store/src/b.txt failed: it holds 10 bytes, its source 3145728."), 1u);
}

// A file copied from one server to another is checked by both servers' SIZE.
TEST_F(BackupVerifyTest, AServerToServerCopyIsCheckedByBothSizes) {
  FtpTestServer source;
  WriteFile(source.root() / "pub/a.txt", "alpha");
  run.job.localSources.clear();
  run.job.remoteSources = {
      FtpSource{{source.host(), std::to_string(source.port()), source.user(), source.password(), "", "1", true},
                {{"/pub", "+[*]", ItemKind::FtpFolder, false}}}};
  for (const bool lies : {false, true}) {
    FtpTestServerOptions options;
    options.sizeLies = lies;
    FtpTestServer destination(options);
    StoreOn(destination);
    run.log.Clear();
    EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
    EXPECT_EQ(ReadFile(destination.root() / "store/pub/a.txt"), "alpha");
    EXPECT_EQ(run.CountRows(std::string("VERIFY Verify done: 1 checked, ") + (lies ? "1" : "0") + " failed."), 1u)
        << destination.Log();
    EXPECT_EQ(run.CountRows("ERROR Verify /store/pub/a.txt failed: it holds 6 bytes, its source 5."), lies ? 1u : 0u);
    EXPECT_EQ(run.CountRows("VERIFY /store/pub/a.txt verified (size only: both servers' SIZE)."), lies ? 0u : 1u);
  }
  // Read back, both servers' bytes are compared.
  FtpTestServer destination;
  StoreOn(destination);
  run.job.readBack = true;
  run.log.Clear();
  EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  EXPECT_EQ(run.CountRows("VERIFY /store/pub/a.txt verified (content read back)."), 1u) << destination.Log();
}

enum class HashedRun { CopyUp, ZipUp, Download };

struct HashCase {
  const char* name;
  HashedRun run;
  const char* offered;  // the server's HASH algorithms; empty: no HASH
  bool lies;            // the server's digests are wrong
  const char* title;    // the algorithm in the ERROR rows
  std::size_t errors;
};

void PrintTo(const HashCase& c, std::ostream* out) { *out << c.name; }

class HashVerifyTest : public BackupVerifyTest, public ::testing::WithParamInterface<HashCase> {};

// On a server that offers HASH, copies and archives written there and files fetched from there are
// also compared by content; a wrong digest is an ERROR row that fails the run. Without HASH the
// sizes alone pass.
TEST_P(HashVerifyTest, ComparesContentWhereTheServerOffersHash) {
  const HashCase& c = GetParam();
  FtpTestServerOptions options;
  options.hash = c.offered;
  options.hashLies = c.lies;
  FtpTestServer server(options);
  const FtpSite site{server.host(), std::to_string(server.port()), server.user(), server.password(), "/store", "1",
                     true};
  if (c.run == HashedRun::Download) {
    WriteFile(server.root() / "pub/a.txt", "alpha");
    WriteFile(server.root() / "pub/b.txt", std::string(3 << 20, 'b'));
    run.job.localSources.clear();
    run.job.remoteSources = {FtpSource{site, {{"/pub", "+[*]", ItemKind::FtpFolder, false}}}};
  } else {
    run.job.destIsLocal = false;
    run.job.ftpDest = site;
  }
  if (c.run == HashedRun::ZipUp) {
    run.job.zipPath = server.host() + "/store/backup.zip";
    EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  } else {
    EXPECT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  }

  // Two copies, or the archive's two entries (its mismatch is one more failure).
  EXPECT_EQ(run.CountRows("VERIFY Verify done: 2 checked, " + std::to_string(c.errors) + " failed."), 1u)
      << server.Log();
  EXPECT_EQ(run.CountRows("ERROR"), c.errors);
  EXPECT_EQ(run.CountRows("ERROR Verify "), c.errors);
  for (const std::string& row : run.Rows()) {
    if (row.rfind("ERROR", 0) == 0) {
      EXPECT_NE(row.find(std::string(" failed: its content differs from its source (") + c.title + " "),
                std::string::npos)
          << row;
    }
  }
  EXPECT_EQ(MakeRunReport(run.context.tally, "p", 0, false, 0, 0).Succeeded(), c.errors == 0)
      << "the exit status of a run";
  EXPECT_EQ(server.Log().find("HASH /") != std::string::npos, *c.offered != 0);
}

INSTANTIATE_TEST_SUITE_P(Servers, HashVerifyTest,
                         ::testing::Values(HashCase{"CopyRight", HashedRun::CopyUp, "SHA-256*;CRC32", false, "", 0},
                                           HashCase{"CopyLying", HashedRun::CopyUp, "SHA-256", true, "SHA-256", 2},
                                           HashCase{"CopyWithoutHash", HashedRun::CopyUp, "", false, "", 0},
                                           HashCase{"ZipRight", HashedRun::ZipUp, "MD5;CRC32", false, "", 0},
                                           HashCase{"ZipLying", HashedRun::ZipUp, "CRC32", true, "CRC-32", 1},
                                           HashCase{"ZipWithoutHash", HashedRun::ZipUp, "", false, "", 0},
                                           HashCase{"DownloadRight", HashedRun::Download, "CRC32", false, "", 0},
                                           HashCase{"DownloadLying", HashedRun::Download, "SHA-1*;MD5", true, "SHA-1",
                                                    2},
                                           HashCase{"DownloadWithoutHash", HashedRun::Download, "", false, "", 0}),
                         [](const auto& row) { return std::string(row.param.name); });

// A copy changed behind the backup's back, keeping what cheap checks look at (its size, and here
// its modification time), and what a check alone then says of it.
struct Attack {
  const char* name;
  bool onServer;                  // the copies lie on an FTP server
  const char* hash;               // the server's HASH algorithms; empty: no HASH
  bool hashCached;                // HASH answers the digest it first gave, not what the file holds now
  bool readBack;                  // "Verify by reading back"
  VerifyJobExit exit;             // of the check alone
  std::vector<std::string> rows;  // rows it must hold; {a} and {b} stand for the copies' paths
};

void PrintTo(const Attack& c, std::ostream* out) { *out << c.name; }

class AttackTest : public BackupVerifyTest, public ::testing::WithParamInterface<Attack> {};

std::string WithPaths(std::string row, const std::string& a, const std::string& b) {
  for (const auto& [mark, path] : {std::pair{"{a}", a}, std::pair{"{b}", b}}) {
    if (const auto at = row.find(mark); at != std::string::npos) row.replace(at, 3, path);
  }
  return row;
}

TEST_P(AttackTest, TheCheckAloneSaysWhatItComparedAndCatchesWhatItCan) {
  const Attack& c = GetParam();
  FtpTestServerOptions options;
  options.hash = c.hash;
  options.hashCached = c.hashCached;
  FtpTestServer server(options);
  std::string a = Dst("a.txt"), b = Dst("b.txt");
  fs::path spoiled = a;
  if (c.onServer) {
    StoreOn(server);
    a = "/store/src/a.txt", b = "/store/src/b.txt";
    spoiled = server.root() / "store/src/a.txt";
  }
  ASSERT_EQ(RunCopyJob(run.context), COPYJOB_ENDED);
  ASSERT_EQ(run.CountRows("ERROR"), 0u) << server.Log();

  const auto time = fs::last_write_time(spoiled);
  WriteFile(spoiled, "Alpha");
  fs::last_write_time(spoiled, time);
  run.log.Clear();
  run.job.readBack = c.readBack;
  EXPECT_EQ(RunVerifyJob(run.context, JobKind::Copy), c.exit) << server.Log();
  for (const std::string& row : c.rows) EXPECT_EQ(run.CountRows(WithPaths(row, a, b)), 1u) << row;
  EXPECT_EQ(run.CountRows("ERROR"), c.exit == VERIFYJOB_MATCHED ? 0u : 1u);
}

const std::string kChanged = "ERROR Verify {a} failed: its content differs from its source from byte 0 on.";

INSTANTIATE_TEST_SUITE_P(
    Copies, AttackTest,
    ::testing::Values(Attack{"LocalCopyWithSizeAndTimeKept",
                             false,
                             "",
                             false,
                             false,
                             VERIFYJOB_MISMATCHED,
                             {kChanged, "VERIFY {b} verified (content, both files read)."}},
                      Attack{"ServerWithoutHashSaysSizeOnly",
                             true,
                             "",
                             false,
                             false,
                             VERIFYJOB_MATCHED,
                             {"VERIFY {a} verified (size only: the server offers no HASH)."}},
                      Attack{"ServerWithoutHashReadBack",
                             true,
                             "",
                             false,
                             true,
                             VERIFYJOB_MISMATCHED,
                             {kChanged, "VERIFY {b} verified (content read back)."}},
                      Attack{"CheckAloneAsksHash",
                             true,
                             "SHA-256",
                             false,
                             false,
                             VERIFYJOB_MISMATCHED,
                             {"ERROR Verify {a} failed: its content differs from its source (SHA-256 ",
                              "VERIFY {b} verified (content, server HASH SHA-256)."}},
                      Attack{"StaleHashPassesWithoutReadBack",
                             true,
                             "SHA-256",
                             true,
                             false,
                             VERIFYJOB_MATCHED,
                             {"VERIFY {a} verified (content, server HASH SHA-256)."}},
                      Attack{"StaleHashCaughtByReadBack", true, "CRC32", true, true, VERIFYJOB_MISMATCHED, {kChanged}}),
    [](const auto& row) { return std::string(row.param.name); });

// Read back, an archive sent to a server is downloaded and compared: its HASH, lying here, is not asked.
TEST_F(BackupVerifyTest, AnArchiveReadBackFromAServerIgnoresItsHash) {
  FtpTestServerOptions options;
  options.hash = "CRC32";
  options.hashLies = true;
  FtpTestServer server(options);
  StoreOn(server);
  run.job.readBack = true;
  run.job.zipPath = server.host() + "/store/backup.zip";
  EXPECT_EQ(RunZipJob(run.context), ZIPJOB_ENDED);
  EXPECT_EQ(run.CountRows("VERIFY /store/backup.zip verified (CRC of every entry read back before sending; stored "
                          "copy: content read back)."),
            1u)
      << server.Log();
  EXPECT_EQ(run.CountRows("ERROR"), 0u);
  EXPECT_EQ(server.Log().find("HASH /"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::test
