#include "ftp/FtpSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "support/FtpTestServer.h"

namespace tarnwick {
namespace {

using test::FtpTestServer;
using test::FtpTestServerOptions;
using test::ReadFile;
using test::WriteFile;

FtpConnectParams Account(const FtpTestServer& server, bool passive = true) {
  return {server.host(), server.port(), server.user(), server.password(), passive};
}

std::string RandomBytes(size_t size, unsigned seed = 7) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// Uploads in chunks of at most kChunkSize, as the engine does.
bool Upload(CFtpSession& session, const std::string& path, const std::string& bytes) {
  auto file = session.OpenFile(path, FtpFileMode::Write);
  if (!file) return false;
  bool ok = true;
  for (size_t at = 0; ok && at < bytes.size(); at += CFtpSession::kChunkSize) {
    ok = file->Write(bytes.data() + at, std::min(CFtpSession::kChunkSize, bytes.size() - at));
  }
  return file->Close() && ok;
}

struct Download {
  bool ok = false;
  std::string bytes;
  std::vector<std::ptrdiff_t> chunks;
};

Download Fetch(CFtpSession& session, const std::string& path) {
  Download result;
  auto file = session.OpenFile(path, FtpFileMode::Read);
  if (!file) return result;
  std::string buffer(CFtpSession::kChunkSize, '\0');
  std::ptrdiff_t n;
  while ((n = file->Read(buffer.data(), buffer.size())) > 0) {
    result.chunks.push_back(n);
    result.bytes.append(buffer.data(), static_cast<size_t>(n));
  }
  result.ok = n == 0 && file->Close();
  return result;
}

std::vector<std::string> Names(const std::vector<FtpFileInfo>& entries) {
  std::vector<std::string> names;
  for (const FtpFileInfo& entry : entries) names.push_back(entry.name + (entry.isDirectory ? "/" : ""));
  std::sort(names.begin(), names.end());
  return names;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(FtpSessionTest, PortAndPassiveTextsAreReadAsAccountsStoreThem) {
  EXPECT_EQ(PortFromText("0021"), 21);
  EXPECT_EQ(PortFromText("2121abc"), 2121);
  EXPECT_EQ(PortFromText(""), 0);
  EXPECT_EQ(PortFromText("x21"), 0);
  EXPECT_EQ(PortFromText("65535"), 65535);
  EXPECT_EQ(PortFromText("65536"), -1);
  EXPECT_TRUE(PassiveFromText("1"));
  EXPECT_FALSE(PassiveFromText("1 "));
  EXPECT_FALSE(PassiveFromText("true"));
}

TEST(FtpSessionTest, ConnectTellsRefusedLoginFromUnreachableHost) {
  FtpTestServer server;
  CFtpSession session;
  FtpConnectParams wrong = Account(server);
  wrong.password = "wrong";
  EXPECT_EQ(session.Connect(wrong), FtpConnectResult::LoginRefused);
  EXPECT_FALSE(session.IsConnected());
  std::vector<FtpFileInfo> entries;
  EXPECT_FALSE(session.List("/", entries));

  FtpConnectParams closed = Account(server);
  closed.port = test::ClosedLoopbackPort();
  EXPECT_EQ(session.Connect(closed), FtpConnectResult::ConnectFailed);
  EXPECT_FALSE(session.IsConnected());

  FtpConnectParams badHost = Account(server);
  badHost.host = "127.0.0.1/evil";
  EXPECT_EQ(session.Connect(badHost), FtpConnectResult::ConnectFailed);
  badHost.host = server.host();
  badHost.port = -1;
  EXPECT_EQ(session.Connect(badHost), FtpConnectResult::ConnectFailed);
  FtpConnectParams injected = Account(server);
  injected.user = "backup\r\nDELE x";
  EXPECT_EQ(session.Connect(injected), FtpConnectResult::LoginRefused);

  EXPECT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected) << session.LastError();
  EXPECT_TRUE(session.IsConnected());
}

TEST(FtpSessionTest, ConnectGivesUpOnAServerThatNeverAnswers) {
  test::SilentListener silent;
  CFtpSession session(FtpTimeouts{std::chrono::milliseconds(400), std::chrono::seconds(60)});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(session.Connect({"127.0.0.1", silent.port(), "u", "p", true}), FtpConnectResult::ConnectFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(FtpSessionTest, AnonymousLoginUsesTheAnonymousHome) {
  FtpTestServer server;
  CFtpSession session;
  ASSERT_EQ(session.Connect({server.host(), server.port(), "", "", true}), FtpConnectResult::Connected)
      << session.LastError();
  ASSERT_TRUE(Upload(session, "/drop.bin", "anonymous data")) << session.LastError();
  EXPECT_EQ(ReadFile(server.anonRoot() / "drop.bin"), "anonymous data");
}

// Transfers and listings in both data-connection modes and both listing commands.
class FtpModesTest : public ::testing::TestWithParam<std::tuple<bool, bool>> {
 protected:
  bool passive() const { return std::get<0>(GetParam()); }
  bool mlsd() const { return std::get<1>(GetParam()); }
  FtpTestServerOptions Options() const {
    FtpTestServerOptions options;
    options.mlsd = mlsd();
    return options;
  }
};

TEST_P(FtpModesTest, UploadAndDownloadMoveEveryByteInChunks) {
  FtpTestServer server(Options());
  CFtpSession session;
  ASSERT_EQ(session.Connect(Account(server, passive())), FtpConnectResult::Connected) << session.LastError();
  const std::string data = RandomBytes(3 * CFtpSession::kChunkSize + 1234);
  ASSERT_TRUE(Upload(session, "/up.bin", data)) << session.LastError() << server.Log();
  EXPECT_EQ(ReadFile(server.root() / "up.bin"), data);

  const Download down = Fetch(session, "/up.bin");
  ASSERT_TRUE(down.ok) << session.LastError();
  EXPECT_EQ(down.bytes, data);
  EXPECT_EQ(down.chunks, (std::vector<std::ptrdiff_t>{65536, 65536, 65536, 1234}));
  const std::string log = server.Log();
  const bool sawPassive = log.find("] EPSV") != std::string::npos || log.find("] PASV") != std::string::npos;
  const bool sawActive = log.find("] EPRT") != std::string::npos || log.find("] PORT") != std::string::npos;
  EXPECT_EQ(sawPassive, passive()) << log;
  EXPECT_EQ(sawActive, !passive()) << log;

  // Empty files both ways.
  ASSERT_TRUE(Upload(session, "/empty", ""));
  EXPECT_EQ(ReadFile(server.root() / "empty"), "");
  const Download empty = Fetch(session, "/empty");
  EXPECT_TRUE(empty.ok);
  EXPECT_TRUE(empty.chunks.empty());
}

TEST_P(FtpModesTest, ListingsFilterByMaskOnTheClient) {
  FtpTestServer server(Options());
  WriteFile(server.root() / "docs" / "a.txt", "12345");
  WriteFile(server.root() / "docs" / "B.TXT", "x");
  WriteFile(server.root() / "docs" / "notes", "no extension");
  WriteFile(server.root() / "docs" / "sub" / "deep.txt", "d");
  CFtpSession session;
  ASSERT_EQ(session.Connect(Account(server, passive())), FtpConnectResult::Connected);
  EXPECT_EQ(session.UsesMlsd(), mlsd());

  std::vector<FtpFileInfo> entries;
  ASSERT_TRUE(session.List("/docs/*.txt", entries)) << session.LastError();
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"B.TXT", "a.txt"}));
  ASSERT_TRUE(session.List("/docs/*.*", entries));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"B.TXT", "a.txt", "notes", "sub/"}));
  ASSERT_TRUE(session.List("/docs/?.txt", entries));
  EXPECT_EQ(entries.size(), 2u);

  // A folder lists its contents, a file itself, a missing name nothing.
  ASSERT_TRUE(session.List("/docs", entries));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"B.TXT", "a.txt", "notes", "sub/"}));
  ASSERT_TRUE(session.List("/docs/a.txt", entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_FALSE(entries[0].unparsed);
  ASSERT_TRUE(entries[0].hasTime);
  const auto written = std::filesystem::last_write_time(server.root() / "docs" / "a.txt");
  const auto writtenSeconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::file_clock::to_sys(written).time_since_epoch()).count();
  // LIST shows minutes in the server's zone (UTC here): allow for the zone and the cut seconds.
  EXPECT_LE(std::abs(entries[0].modified - writtenSeconds), mlsd() ? 1 : 14 * 3600 + 60);
  EXPECT_TRUE(session.List("/docs/missing.txt", entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_TRUE(session.List("/docs/*.none", entries));
  EXPECT_TRUE(entries.empty());

  // Relative to the current folder, and the empty pattern is the current folder.
  ASSERT_TRUE(session.SetCurrentDirectory("docs/sub"));
  ASSERT_TRUE(session.List("", entries));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"deep.txt"}));
  ASSERT_TRUE(session.List("../*.txt", entries));
  EXPECT_EQ(entries.size(), 2u);
}

TEST_P(FtpModesTest, NamesWithBlanksHashPercentAndNonAsciiSurvive) {
  FtpTestServer server(Options());
  CFtpSession session;
  ASSERT_EQ(session.Connect(Account(server, passive())), FtpConnectResult::Connected);
  const std::string folder = "/Mein Ordner #1 100% ü";
  const std::string name = "Bericht  März #2 50%;type=a.txt";
  ASSERT_TRUE(session.CreateDirectory(folder)) << session.LastError();
  ASSERT_TRUE(Upload(session, folder + "/" + name, "inhalt")) << session.LastError();
  EXPECT_EQ(ReadFile(server.root() / folder.substr(1) / name), "inhalt");

  std::vector<FtpFileInfo> entries;
  ASSERT_TRUE(session.List(folder + "/*", entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
  EXPECT_FALSE(entries[0].unparsed);

  ASSERT_TRUE(session.SetCurrentDirectory(folder));
  std::string cwd;
  ASSERT_TRUE(session.GetCurrentDirectory(cwd));
  EXPECT_EQ(cwd, folder);
  EXPECT_EQ(Fetch(session, name).bytes, "inhalt");

  // The server lists UTF8 in FEAT: UTF-8 is switched on once, after the login and before the first
  // non-ASCII name.
  const std::string log = server.Log();
  const size_t login = log.find("logged in");
  const size_t opts = log.find("] OPTS UTF8 ON");
  ASSERT_NE(opts, std::string::npos) << log;
  EXPECT_EQ(Count(log, "] OPTS UTF8"), 1u) << log;
  EXPECT_LT(login, opts) << log;
  EXPECT_LT(opts, log.find("] MKD ")) << log;
}

INSTANTIATE_TEST_SUITE_P(PassiveActiveMlsdList, FtpModesTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& test) {
                           return std::string(std::get<0>(test.param) ? "Passive" : "Active") +
                                  (std::get<1>(test.param) ? "Mlsd" : "List");
                         });

TEST(FtpSessionTest, AnMlsdThatFeatOffersButTheServerRefusesFallsBackToList) {
  // 502 "not implemented" holds for the whole server; 550 may hold for one folder only.
  for (int code : {502, 550}) {
    FtpTestServerOptions options;
    options.refuseMlsd = code;
    FtpTestServer server(options);
    WriteFile(server.root() / "docs" / "a.txt", "12345");
    WriteFile(server.root() / "docs" / "sub" / "deep.txt", "d");
    CFtpSession session;
    ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected) << session.LastError();
    EXPECT_TRUE(session.UsesMlsd()) << code;

    std::vector<FtpFileInfo> entries;
    ASSERT_TRUE(session.List("/docs/*", entries)) << code << session.LastError() << server.Log();
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"a.txt", "sub/"})) << code;
    for (const FtpFileInfo& entry : entries) EXPECT_FALSE(entry.unparsed) << entry.name;
    ASSERT_TRUE(session.List("/docs/sub", entries)) << code << session.LastError();
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"deep.txt"})) << code;
    // A file still lists itself, and a missing folder still fails.
    ASSERT_TRUE(session.List("/docs/a.txt", entries)) << code;
    ASSERT_EQ(entries.size(), 1u) << code;
    EXPECT_EQ(entries[0].size, 5u);
    EXPECT_FALSE(session.List("/missing/*", entries)) << code;

    const std::string log = server.Log();
    EXPECT_EQ(session.UsesMlsd(), code != 502) << code;
    EXPECT_EQ(Count(log, "] MLSD "), code == 502 ? 1u : 4u) << log;
  }
}

TEST(FtpSessionTest, FolderAndFileOperationsReportTheServersAnswer) {
  FtpTestServer server;
  WriteFile(server.root() / "old.txt", "content");
  CFtpSession session;
  ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected);

  EXPECT_TRUE(session.CreateDirectory("/new"));
  EXPECT_TRUE(std::filesystem::is_directory(server.root() / "new"));
  EXPECT_FALSE(session.CreateDirectory("/new"));
  EXPECT_FALSE(session.CreateDirectory("/missing/child"));

  EXPECT_TRUE(session.Rename("/old.txt", "/new/renamed.txt"));
  EXPECT_EQ(ReadFile(server.root() / "new" / "renamed.txt"), "content");
  EXPECT_FALSE(session.Rename("/old.txt", "/again.txt"));

  EXPECT_TRUE(session.DeleteFile("/new/renamed.txt"));
  EXPECT_FALSE(std::filesystem::exists(server.root() / "new" / "renamed.txt"));
  EXPECT_FALSE(session.DeleteFile("/new/renamed.txt"));
  EXPECT_FALSE(session.OpenFile("/new/renamed.txt", FtpFileMode::Read));
  EXPECT_FALSE(session.OpenFile(std::string("/") + FtpTestServer::kLockedFolder + "/x", FtpFileMode::Write));
  EXPECT_FALSE(session.OpenFile("/new", FtpFileMode::Read));

  // A refused command does not break the session.
  std::vector<FtpFileInfo> entries;
  EXPECT_TRUE(session.List("/", entries));
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"locked/", "new/"}));
}

TEST(FtpSessionTest, CurrentFolderFollowsAcceptedChangesOnly) {
  FtpTestServer server;
  std::filesystem::create_directories(server.root() / "a" / "b");
  CFtpSession session;
  ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected);
  std::string cwd;
  ASSERT_TRUE(session.GetCurrentDirectory(cwd));
  EXPECT_EQ(cwd, "/");

  ASSERT_TRUE(session.SetCurrentDirectory("a"));
  ASSERT_TRUE(session.SetCurrentDirectory("b/../b/./"));
  ASSERT_TRUE(session.GetCurrentDirectory(cwd));
  EXPECT_EQ(cwd, "/a/b");
  EXPECT_EQ(session.AbsolutePath("../x"), "/a/x");
  EXPECT_EQ(session.AbsolutePath("/"), "/");
  EXPECT_EQ(session.AbsolutePath("../../../.."), "/");

  EXPECT_FALSE(session.SetCurrentDirectory("/nowhere"));
  EXPECT_FALSE(session.SetCurrentDirectory(std::string("/") + FtpTestServer::kLockedFolder));
  std::vector<FtpFileInfo> entries;
  EXPECT_FALSE(session.List(std::string("/") + FtpTestServer::kLockedFolder + "/*", entries));
  ASSERT_TRUE(session.GetCurrentDirectory(cwd));
  EXPECT_EQ(cwd, "/a/b");

  ASSERT_TRUE(session.SetCurrentDirectory(".."));
  ASSERT_TRUE(session.GetCurrentDirectory(cwd));
  EXPECT_EQ(cwd, "/a");
  EXPECT_FALSE(session.SetCurrentDirectory("/a\r\nDELE x"));
}

TEST(FtpSessionTest, AnOpenFileHoldsTheSessionUntilClosed) {
  FtpTestServer server;
  WriteFile(server.root() / "big.bin", RandomBytes(5 * CFtpSession::kChunkSize));
  CFtpSession session;
  ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected);
  auto file = session.OpenFile("/big.bin", FtpFileMode::Read);
  ASSERT_TRUE(file);
  std::vector<FtpFileInfo> entries;
  EXPECT_FALSE(session.List("/", entries));
  EXPECT_FALSE(session.OpenFile("/big.bin", FtpFileMode::Read));
  EXPECT_FALSE(file->Write("x", 1));

  // Stopping after one chunk: not a complete transfer, and the session carries on.
  std::string buffer(CFtpSession::kChunkSize, '\0');
  EXPECT_EQ(file->Read(buffer.data(), buffer.size()), 65536);
  EXPECT_FALSE(file->Close());
  EXPECT_EQ(file->Read(buffer.data(), buffer.size()), -1);
  EXPECT_TRUE(session.List("/", entries)) << session.LastError();
  EXPECT_EQ(Fetch(session, "/big.bin").bytes.size(), 5 * CFtpSession::kChunkSize);

  // A file outlived by its session's connection is dead, not confused with the next one.
  auto stale = session.OpenFile("/big.bin", FtpFileMode::Read);
  ASSERT_TRUE(stale);
  ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected);
  auto fresh = session.OpenFile("/big.bin", FtpFileMode::Read);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(stale->Read(buffer.data(), buffer.size()), -1);
  EXPECT_FALSE(stale->Close());
  EXPECT_EQ(fresh->Read(buffer.data(), buffer.size()), 65536);
}

TEST(FtpSessionTest, ADroppedDataConnectionFailsTheTransfer) {
  FtpTestServerOptions options;
  options.dropAfterBytes = 100000;
  FtpTestServer server(options);
  WriteFile(server.root() / "big.bin", RandomBytes(400000));
  for (bool passive : {true, false}) {
    CFtpSession session;
    ASSERT_EQ(session.Connect(Account(server, passive)), FtpConnectResult::Connected);
    const Download down = Fetch(session, "/big.bin");
    EXPECT_FALSE(down.ok);
    EXPECT_LE(down.bytes.size(), 100000u);
    EXPECT_FALSE(Upload(session, "/up.bin", RandomBytes(400000))) << passive;
    // Small transfers below the cut still work on the same session.
    EXPECT_TRUE(Upload(session, "/small.bin", "small")) << session.LastError();
  }
}

TEST(FtpSessionTest, AStalledTransferFailsAfterTheTimeout) {
  FtpTestServerOptions options;
  options.stallAfterBytes = 70000;
  FtpTestServer server(options);
  WriteFile(server.root() / "big.bin", RandomBytes(400000));
  CFtpSession session(FtpTimeouts{std::chrono::seconds(30), std::chrono::seconds(1)});
  ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected);
  const auto start = std::chrono::steady_clock::now();
  const Download down = Fetch(session, "/big.bin");
  EXPECT_FALSE(down.ok);
  EXPECT_EQ(down.chunks.size(), 1u);
  // Uploads stall too (the server stops reading); the socket buffers take some before it shows.
  EXPECT_FALSE(Upload(session, "/up.bin", std::string(32 << 20, 'u')));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(FtpSessionTest, AnInterruptEndsAStalledTransferAndLeavesTheSessionUsable) {
  FtpTestServerOptions options;
  options.stallAfterBytes = 70000;
  FtpTestServer server(options);
  WriteFile(server.root() / "big.bin", RandomBytes(400000));
  using std::chrono::seconds;
  // Without the interrupt each stalled transfer below would wait the whole 30 s.
  CFtpSession session(FtpTimeouts{seconds(30), seconds(30)});
  std::atomic<bool> interrupt{false};
  session.SetTransferInterruptFlag(&interrupt);
  ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected);
  const auto interruptSoon = [&interrupt] {
    interrupt = false;
    return std::thread([&interrupt] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      interrupt = true;
    });
  };

  auto start = std::chrono::steady_clock::now();
  std::thread interrupter = interruptSoon();
  const Download down = Fetch(session, "/big.bin");
  interrupter.join();
  EXPECT_FALSE(down.ok);
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));

  // Commands and listings are not interrupted: whoever stopped can still tidy up.
  std::vector<FtpFileInfo> entries;
  EXPECT_TRUE(session.List("/", entries)) << session.LastError();
  EXPECT_TRUE(session.Rename("/big.bin", "/kept.bin")) << session.LastError();

  start = std::chrono::steady_clock::now();
  interrupter = interruptSoon();
  EXPECT_FALSE(Upload(session, "/up.bin", std::string(32 << 20, 'u')));
  interrupter.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));
  EXPECT_TRUE(session.DeleteFile("/up.bin")) << session.LastError();

  // Cleared again, transfers run as before.
  interrupt = false;
  EXPECT_TRUE(Upload(session, "/small.bin", "small")) << session.LastError();
  EXPECT_EQ(ReadFile(server.root() / "small.bin"), "small");
}

TEST(FtpSessionTest, ClosingWaitsForAHangingServerOnlySoLong) {
  FtpTestServerOptions options;
  options.ignoreQuit = true;
  FtpTestServer server(options);
  using std::chrono::seconds;
  {
    // The reply to QUIT is awaited for the stall time-out at most.
    CFtpSession session(FtpTimeouts{seconds(30), seconds(1)});
    ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected);
    const auto start = std::chrono::steady_clock::now();
    session.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));
    EXPECT_FALSE(session.IsConnected());
  }
  {
    // Cancelled, it does not wait at all: well below the 30 s it would otherwise take.
    std::atomic<bool> cancel{false};
    CFtpSession session(FtpTimeouts{seconds(30), seconds(30)});
    session.SetCancelFlag(&cancel);
    ASSERT_EQ(session.Connect(Account(server)), FtpConnectResult::Connected);
    cancel = true;
    const auto start = std::chrono::steady_clock::now();
    session.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));
  }
}

}  // namespace
}  // namespace tarnwick
