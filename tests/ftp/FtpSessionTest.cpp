#include "ftp/FtpSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "app/ControlCharacters.h"
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

// Uploads in chunks of at most kChunkSize, as the engine does; the first failure.
Status Upload(CFtpSession& session, const std::string& path, const std::string& bytes) {
  std::unique_ptr<CFtpFile> file;
  if (Status opened = session.OpenFile(path, FtpFileMode::Write, file); !opened.ok()) return opened;
  Status written;
  for (size_t at = 0; written.ok() && at < bytes.size(); at += CFtpSession::kChunkSize) {
    written = file->Write(bytes.data() + at, std::min(CFtpSession::kChunkSize, bytes.size() - at));
  }
  const Status closed = file->Close();
  return written.ok() ? closed : written;
}

struct Download {
  Status status;  // the first failure
  std::string bytes;
  std::vector<size_t> chunks;
  bool ok() const { return status.ok(); }
};

Download Fetch(CFtpSession& session, const std::string& path) {
  Download result;
  std::unique_ptr<CFtpFile> file;
  result.status = session.OpenFile(path, FtpFileMode::Read, file);
  if (!result.ok()) return result;
  std::string buffer(CFtpSession::kChunkSize, '\0');
  size_t n = 0;
  while ((result.status = file->Read(buffer.data(), buffer.size(), n)).ok() && n > 0) {
    result.chunks.push_back(n);
    result.bytes.append(buffer.data(), n);
  }
  if (result.ok()) result.status = file->Close();
  return result;
}

// Opens a remote file: null on failure.
std::unique_ptr<CFtpFile> Open(CFtpSession& session, const std::string& path, FtpFileMode mode) {
  std::unique_ptr<CFtpFile> file;
  const Status opened = session.OpenFile(path, mode, file);
  EXPECT_EQ(opened.ok(), file != nullptr);
  return file;
}

// Reads one chunk of an open file: its size, or -1 on a failure.
long ReadChunk(CFtpFile& file, std::string& buffer) {
  size_t n = 0;
  return file.Read(buffer.data(), buffer.size(), n).ok() ? static_cast<long>(n) : -1;
}

std::vector<std::string> Names(const std::vector<FtpFileInfo>& entries) {
  std::vector<std::string> names;
  names.reserve(entries.size());
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
  const Status refused = session.Connect(wrong);
  EXPECT_EQ(refused.code(), StatusCode::Refused);
  EXPECT_EQ(refused.path(), server.host());
  EXPECT_NE(refused.message().find("530"), std::string::npos) << "the server's own reason: " << refused.ToString();
  EXPECT_FALSE(session.IsConnected());
  std::vector<FtpFileInfo> entries;
  EXPECT_EQ(session.List("/", entries).code(), StatusCode::NetworkError) << "not connected";

  FtpConnectParams closed = Account(server);
  closed.port = test::ClosedLoopbackPort();
  const Status unreachable = session.Connect(closed);
  EXPECT_EQ(unreachable.code(), StatusCode::NetworkError);
  EXPECT_FALSE(unreachable.message().empty());
  EXPECT_FALSE(session.IsConnected());

  FtpConnectParams badHost = Account(server);
  badHost.host = "127.0.0.1/evil";
  EXPECT_EQ(session.Connect(badHost).code(), StatusCode::InvalidArgument);
  badHost.host = server.host();
  badHost.port = -1;
  EXPECT_EQ(session.Connect(badHost).code(), StatusCode::InvalidArgument);
  FtpConnectParams injected = Account(server);
  injected.user = "backup\r\nDELE x";
  EXPECT_EQ(session.Connect(injected).code(), StatusCode::Refused);

  const Status connected = session.Connect(Account(server));
  EXPECT_TRUE(connected.ok()) << connected.ToString();
  EXPECT_TRUE(session.IsConnected());
}

TEST(FtpSessionTest, ConnectGivesUpOnAServerThatNeverAnswers) {
  test::SilentListener silent;
  CFtpSession session(FtpTimeouts{std::chrono::milliseconds(400), std::chrono::seconds(60)});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(session.Connect({"127.0.0.1", silent.port(), "u", "p", true}).code(), StatusCode::NetworkError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// Stop reaches a job still waiting for a dead server's greeting, long before the connect time-out.
TEST(FtpSessionTest, TheInterruptFlagEndsTheWaitForAServerThatNeverAnswers) {
  test::SilentListener silent;
  for (const bool sftp : {false, true}) {
    CFtpSession session(FtpTimeouts{std::chrono::seconds(30), std::chrono::seconds(60)});
    std::atomic<bool> stop{false};
    session.SetTransferInterruptFlag(&stop);
    std::thread stopper([&stop] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      stop = true;
    });
    FtpConnectParams params{"127.0.0.1", silent.port(), "u", "p", true};
    params.sftp = sftp;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.Connect(params).code(), StatusCode::Stopped) << sftp;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << sftp;
    stopper.join();
  }
}

using Pace = test::EndlessGreeter::Pace;

// A greeting that never ends its line, or never ends at all, keeps no login waiting past the connect
// time-out, however fast its bytes come.
TEST(FtpSessionTest, AGreetingWithoutEndFailsWithinTheConnectTimeout) {
  for (const Pace pace : {Pace::Flood, Pace::Drip, Pace::Lines}) {
    test::EndlessGreeter greeter(pace);
    CFtpSession session(FtpTimeouts{std::chrono::seconds(2), std::chrono::seconds(60)});
    const auto start = std::chrono::steady_clock::now();
    const Status connected = session.Connect({"127.0.0.1", greeter.port(), "u", "p", true});
    EXPECT_EQ(connected.code(), StatusCode::NetworkError) << static_cast<int>(pace) << connected.ToString();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << static_cast<int>(pace);
    EXPECT_FALSE(session.IsConnected());
  }
}

// A reply that keeps coming line by line after the login fails the session within the stall time.
TEST(FtpSessionTest, AReplyWithoutEndFailsWithinTheStallTime) {
  test::EndlessGreeter greeter(Pace::Reply);
  CFtpSession session(FtpTimeouts{std::chrono::seconds(2), std::chrono::seconds(2)});
  const auto start = std::chrono::steady_clock::now();
  const Status connected = session.Connect({"127.0.0.1", greeter.port(), "u", "p", true});
  EXPECT_EQ(connected.code(), StatusCode::NetworkError) << connected.ToString();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// Stop ends the wait for a greeting that keeps coming as it ends the wait for one that never comes.
TEST(FtpSessionTest, TheInterruptFlagEndsAGreetingWithoutEnd) {
  for (const Pace pace : {Pace::Drip, Pace::Lines}) {
    test::EndlessGreeter greeter(pace);
    CFtpSession session(FtpTimeouts{std::chrono::seconds(30), std::chrono::seconds(60)});
    std::atomic<bool> stop{false};
    session.SetTransferInterruptFlag(&stop);
    std::thread stopper([&stop] {
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.Connect({"127.0.0.1", greeter.port(), "u", "p", true}).code(), StatusCode::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << static_cast<int>(pace);
    stopper.join();
  }
}

// A name no file system here takes is refused before its command goes out: a server may answer
// such a line in two parts and run out of step.
TEST(FtpSessionTest, ANameOverTheLongestIsRefusedBeforeAnyCommand) {
  FtpTestServer server;
  CFtpSession session;
  ASSERT_TRUE(session.Connect(Account(server)).ok());
  const std::string longest(kMaxNameBytes, 'l'), over(kMaxNameBytes + 1, 'o');
  EXPECT_EQ(session.DeleteFile("/" + over).code(), StatusCode::InvalidArgument);
  std::vector<FtpFileInfo> entries;
  EXPECT_EQ(session.List("/" + over + "/x", entries).code(), StatusCode::InvalidArgument);
  EXPECT_EQ(session.DeleteFile("/" + longest).code(), StatusCode::Refused) << "asked, and not there";
  // The server logs a command after its reply: wait for the one that was sent.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (server.Log().find("/" + longest + " ") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_NE(server.Log().find("/" + longest + " "), std::string::npos) << server.Log();
  EXPECT_EQ(server.Log().find(over), std::string::npos);
}

TEST(FtpSessionTest, AnonymousLoginUsesTheAnonymousHome) {
  FtpTestServer server;
  CFtpSession session;
  ASSERT_TRUE(session.Connect({server.host(), server.port(), "", "", true}).ok());
  const Status uploaded = Upload(session, "/drop.bin", "anonymous data");
  ASSERT_TRUE(uploaded.ok()) << uploaded.ToString();
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
  ASSERT_TRUE(session.Connect(Account(server, passive())).ok());
  const std::string data = RandomBytes(3 * CFtpSession::kChunkSize + 1234);
  const Status uploaded = Upload(session, "/up.bin", data);
  ASSERT_TRUE(uploaded.ok()) << uploaded.ToString() << server.Log();
  EXPECT_EQ(ReadFile(server.root() / "up.bin"), data);

  const Download down = Fetch(session, "/up.bin");
  ASSERT_TRUE(down.ok()) << down.status.ToString();
  EXPECT_EQ(down.bytes, data);
  EXPECT_EQ(down.chunks, (std::vector<size_t>{65536, 65536, 65536, 1234}));
  const std::string log = server.Log();
  const bool sawPassive = log.find("] EPSV") != std::string::npos || log.find("] PASV") != std::string::npos;
  const bool sawActive = log.find("] EPRT") != std::string::npos || log.find("] PORT") != std::string::npos;
  EXPECT_EQ(sawPassive, passive()) << log;
  EXPECT_EQ(sawActive, !passive()) << log;

  // Empty files both ways.
  ASSERT_TRUE(Upload(session, "/empty", "").ok());
  EXPECT_EQ(ReadFile(server.root() / "empty"), "");
  const Download empty = Fetch(session, "/empty");
  EXPECT_TRUE(empty.ok());
  EXPECT_TRUE(empty.chunks.empty());
}

TEST_P(FtpModesTest, ListingsFilterByMaskOnTheClient) {
  FtpTestServer server(Options());
  WriteFile(server.root() / "docs" / "a.txt", "12345");
  WriteFile(server.root() / "docs" / "B.TXT", "x");
  WriteFile(server.root() / "docs" / "notes", "no extension");
  WriteFile(server.root() / "docs" / "sub" / "deep.txt", "d");
  CFtpSession session;
  ASSERT_TRUE(session.Connect(Account(server, passive())).ok());
  EXPECT_EQ(session.UsesMlsd(), mlsd());

  std::vector<FtpFileInfo> entries;
  ASSERT_TRUE(session.List("/docs/*.txt", entries).ok());
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"B.TXT", "a.txt"}));
  ASSERT_TRUE(session.List("/docs/*.*", entries).ok());
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"B.TXT", "a.txt", "notes", "sub/"}));
  ASSERT_TRUE(session.List("/docs/?.txt", entries).ok());
  EXPECT_EQ(entries.size(), 2u);

  // A folder lists its contents, a file itself, a missing name nothing.
  ASSERT_TRUE(session.List("/docs", entries).ok());
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"B.TXT", "a.txt", "notes", "sub/"}));
  ASSERT_TRUE(session.List("/docs/a.txt", entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_FALSE(entries[0].unparsed);
  ASSERT_TRUE(entries[0].hasTime);
  const auto written = std::filesystem::last_write_time(server.root() / "docs" / "a.txt");
  const auto writtenSeconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(written).time_since_epoch())
          .count();
  // LIST shows minutes in the server's zone (UTC here): allow for the zone and the cut seconds.
  EXPECT_LE(std::abs(entries[0].modified - writtenSeconds), mlsd() ? 1 : 14 * 3600 + 60);
  EXPECT_TRUE(session.List("/docs/missing.txt", entries).ok());
  EXPECT_TRUE(entries.empty());
  EXPECT_TRUE(session.List("/docs/*.none", entries).ok());
  EXPECT_TRUE(entries.empty());

  // Relative to the current folder, and the empty pattern is the current folder.
  ASSERT_TRUE(session.SetCurrentDirectory("docs/sub").ok());
  ASSERT_TRUE(session.List("", entries).ok());
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"deep.txt"}));
  ASSERT_TRUE(session.List("../*.txt", entries).ok());
  EXPECT_EQ(entries.size(), 2u);
}

TEST_P(FtpModesTest, NamesWithBlanksHashPercentAndNonAsciiSurvive) {
  FtpTestServer server(Options());
  CFtpSession session;
  ASSERT_TRUE(session.Connect(Account(server, passive())).ok());
  const std::string folder = "/Mein Ordner #1 100% ü";
  const std::string name = "Bericht  März #2 50%;type=a.txt";
  ASSERT_TRUE(session.CreateDirectory(folder).ok());
  ASSERT_TRUE(Upload(session, folder + "/" + name, "inhalt").ok());
  EXPECT_EQ(ReadFile(server.root() / folder.substr(1) / name), "inhalt");

  std::vector<FtpFileInfo> entries;
  ASSERT_TRUE(session.List(folder + "/*", entries).ok());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
  EXPECT_FALSE(entries[0].unparsed);

  ASSERT_TRUE(session.SetCurrentDirectory(folder).ok());
  std::string cwd;
  ASSERT_TRUE(session.GetCurrentDirectory(cwd).ok());
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

INSTANTIATE_TEST_SUITE_P(PassiveActiveMlsdList, FtpModesTest, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
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
    ASSERT_TRUE(session.Connect(Account(server)).ok());
    EXPECT_TRUE(session.UsesMlsd()) << code;

    std::vector<FtpFileInfo> entries;
    const Status listed = session.List("/docs/*", entries);
    ASSERT_TRUE(listed.ok()) << code << listed.ToString() << server.Log();
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"a.txt", "sub/"})) << code;
    for (const FtpFileInfo& entry : entries) EXPECT_FALSE(entry.unparsed) << entry.name;
    ASSERT_TRUE(session.List("/docs/sub", entries).ok()) << code;
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"deep.txt"})) << code;
    // A file still lists itself, and a missing folder still fails.
    ASSERT_TRUE(session.List("/docs/a.txt", entries).ok()) << code;
    ASSERT_EQ(entries.size(), 1u) << code;
    EXPECT_EQ(entries[0].size, 5u);
    EXPECT_FALSE(session.List("/missing/*", entries).ok()) << code;

    const std::string log = server.Log();
    EXPECT_EQ(session.UsesMlsd(), code != 502) << code;
    EXPECT_EQ(Count(log, "] MLSD "), code == 502 ? 1u : 4u) << log;
  }
}

TEST(FtpSessionTest, FolderAndFileOperationsReportTheServersAnswer) {
  FtpTestServer server;
  WriteFile(server.root() / "old.txt", "content");
  CFtpSession session;
  ASSERT_TRUE(session.Connect(Account(server)).ok());

  EXPECT_TRUE(session.CreateDirectory("/new").ok());
  EXPECT_TRUE(std::filesystem::is_directory(server.root() / "new"));
  // A refusal carries the server's reply and the remote path, for a window to show.
  const Status exists = session.CreateDirectory("new");
  EXPECT_EQ(exists.code(), StatusCode::Refused);
  EXPECT_EQ(exists.path(), "/new");
  EXPECT_EQ(exists.message().substr(0, 4), "550 ") << exists.ToString();
  EXPECT_EQ(exists.ToString(), "/new: " + exists.message());
  EXPECT_FALSE(session.CreateDirectory("/missing/child").ok());

  EXPECT_TRUE(session.Rename("/old.txt", "/new/renamed.txt").ok());
  EXPECT_EQ(ReadFile(server.root() / "new" / "renamed.txt"), "content");
  EXPECT_FALSE(session.Rename("/old.txt", "/again.txt").ok());

  EXPECT_TRUE(session.DeleteFile("/new/renamed.txt").ok());
  EXPECT_FALSE(std::filesystem::exists(server.root() / "new" / "renamed.txt"));
  EXPECT_FALSE(session.DeleteFile("/new/renamed.txt").ok());
  std::unique_ptr<CFtpFile> file;
  const Status missing = session.OpenFile("/new/renamed.txt", FtpFileMode::Read, file);
  EXPECT_EQ(missing.code(), StatusCode::Refused);
  EXPECT_EQ(missing.path(), "/new/renamed.txt");
  EXPECT_NE(missing.message().find("550"), std::string::npos) << missing.ToString();
  EXPECT_FALSE(file);
  EXPECT_FALSE(Open(session, std::string("/") + FtpTestServer::kLockedFolder + "/x", FtpFileMode::Write));
  EXPECT_FALSE(Open(session, "/new", FtpFileMode::Read));
  EXPECT_EQ(session.OpenFile("/", FtpFileMode::Read, file).code(), StatusCode::InvalidArgument);

  // A refused command does not break the session.
  std::vector<FtpFileInfo> entries;
  EXPECT_TRUE(session.List("/", entries).ok());
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"locked/", "new/"}));
}

TEST(FtpSessionTest, CurrentFolderFollowsAcceptedChangesOnly) {
  FtpTestServer server;
  std::filesystem::create_directories(server.root() / "a" / "b");
  CFtpSession session;
  ASSERT_TRUE(session.Connect(Account(server)).ok());
  std::string cwd;
  ASSERT_TRUE(session.GetCurrentDirectory(cwd).ok());
  EXPECT_EQ(cwd, "/");

  ASSERT_TRUE(session.SetCurrentDirectory("a").ok());
  ASSERT_TRUE(session.SetCurrentDirectory("b/../b/./").ok());
  ASSERT_TRUE(session.GetCurrentDirectory(cwd).ok());
  EXPECT_EQ(cwd, "/a/b");
  EXPECT_EQ(session.AbsolutePath("../x"), "/a/x");
  EXPECT_EQ(session.AbsolutePath("/"), "/");
  EXPECT_EQ(session.AbsolutePath("../../../.."), "/");

  EXPECT_FALSE(session.SetCurrentDirectory("/nowhere").ok());
  EXPECT_FALSE(session.SetCurrentDirectory(std::string("/") + FtpTestServer::kLockedFolder).ok());
  std::vector<FtpFileInfo> entries;
  EXPECT_FALSE(session.List(std::string("/") + FtpTestServer::kLockedFolder + "/*", entries).ok());
  ASSERT_TRUE(session.GetCurrentDirectory(cwd).ok());
  EXPECT_EQ(cwd, "/a/b");

  ASSERT_TRUE(session.SetCurrentDirectory("..").ok());
  ASSERT_TRUE(session.GetCurrentDirectory(cwd).ok());
  EXPECT_EQ(cwd, "/a");
  EXPECT_FALSE(session.SetCurrentDirectory("/a\r\nDELE x").ok());
}

TEST(FtpSessionTest, AnOpenFileHoldsTheSessionUntilClosed) {
  FtpTestServer server;
  WriteFile(server.root() / "big.bin", RandomBytes(5 * CFtpSession::kChunkSize));
  CFtpSession session;
  ASSERT_TRUE(session.Connect(Account(server)).ok());
  auto file = Open(session, "/big.bin", FtpFileMode::Read);
  ASSERT_TRUE(file);
  std::vector<FtpFileInfo> entries;
  EXPECT_EQ(session.List("/", entries).code(), StatusCode::Busy);
  EXPECT_FALSE(Open(session, "/big.bin", FtpFileMode::Read));
  EXPECT_EQ(file->Write("x", 1).code(), StatusCode::InvalidArgument);

  // Stopping after one chunk: not a complete transfer, and the session carries on.
  std::string buffer(CFtpSession::kChunkSize, '\0');
  EXPECT_EQ(ReadChunk(*file, buffer), 65536);
  EXPECT_EQ(file->Close().code(), StatusCode::Stopped);
  EXPECT_EQ(ReadChunk(*file, buffer), -1);
  EXPECT_TRUE(session.List("/", entries).ok());
  EXPECT_EQ(Fetch(session, "/big.bin").bytes.size(), 5 * CFtpSession::kChunkSize);

  // A file outlived by its session's connection is dead, not confused with the next one.
  auto stale = Open(session, "/big.bin", FtpFileMode::Read);
  ASSERT_TRUE(stale);
  ASSERT_TRUE(session.Connect(Account(server)).ok());
  auto fresh = Open(session, "/big.bin", FtpFileMode::Read);
  ASSERT_TRUE(fresh);
  EXPECT_EQ(ReadChunk(*stale, buffer), -1);
  EXPECT_FALSE(stale->Close().ok());
  EXPECT_EQ(ReadChunk(*fresh, buffer), 65536);
}

TEST(FtpSessionTest, ADroppedDataConnectionFailsTheTransfer) {
  FtpTestServerOptions options;
  options.dropAfterBytes = 100000;
  FtpTestServer server(options);
  WriteFile(server.root() / "big.bin", RandomBytes(400000));
  for (bool passive : {true, false}) {
    CFtpSession session;
    ASSERT_TRUE(session.Connect(Account(server, passive)).ok());
    const Download down = Fetch(session, "/big.bin");
    EXPECT_FALSE(down.ok());
    EXPECT_LE(down.bytes.size(), 100000u);
    EXPECT_FALSE(Upload(session, "/up.bin", RandomBytes(400000)).ok()) << passive;
    // Small transfers below the cut still work on the same session.
    EXPECT_TRUE(Upload(session, "/small.bin", "small").ok());
  }
}

TEST(FtpSessionTest, AStalledTransferFailsAfterTheTimeout) {
  FtpTestServerOptions options;
  options.stallAfterBytes = 70000;
  FtpTestServer server(options);
  WriteFile(server.root() / "big.bin", RandomBytes(400000));
  CFtpSession session(FtpTimeouts{std::chrono::seconds(30), std::chrono::seconds(1)});
  ASSERT_TRUE(session.Connect(Account(server)).ok());
  const auto start = std::chrono::steady_clock::now();
  const Download down = Fetch(session, "/big.bin");
  EXPECT_EQ(down.status.code(), StatusCode::NetworkError);
  EXPECT_EQ(down.status.message(), "No progress within the time-out.");
  EXPECT_EQ(down.status.path(), "/big.bin");
  EXPECT_EQ(down.chunks.size(), 1u);
  // Uploads stall too (the server stops reading); the socket buffers take some before it shows.
  EXPECT_FALSE(Upload(session, "/up.bin", std::string(32 << 20, 'u')).ok());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// A server that lists without end: the listing is cut at the limit, with what came before it.
TEST(FtpSessionTest, AListingWithoutEndIsCutAtTheLimit) {
  for (const bool mlsd : {true, false}) {
    FtpTestServerOptions options;
    options.mlsd = mlsd;
    options.endless = "/pub";
    FtpTestServer server(options);
    std::filesystem::create_directories(server.root() / "pub");
    CFtpSession session;
    ASSERT_TRUE(session.Connect(Account(server)).ok());
    session.SetListingLimit(1 << 20);
    std::vector<FtpFileInfo> entries;
    EXPECT_TRUE(session.List("/pub", entries).ok()) << server.Log();
    EXPECT_TRUE(session.LastListingWasCut());
    EXPECT_GT(entries.size(), 1000u);
    EXPECT_LT(entries.size(), (1u << 20) / 20) << "no line is shorter than 20 bytes";
    EXPECT_TRUE(session.List("/", entries).ok()) << "the session stays usable";
    EXPECT_FALSE(session.LastListingWasCut());
  }
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
  ASSERT_TRUE(session.Connect(Account(server)).ok());
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
  EXPECT_EQ(down.status.code(), StatusCode::Stopped);
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));

  // Commands are not interrupted, so whoever stopped can still tidy up; a listing is, as a walk
  // over a server's folders must end at once on Stop.
  std::vector<FtpFileInfo> entries;
  EXPECT_EQ(session.List("/", entries).code(), StatusCode::Stopped);
  EXPECT_TRUE(session.Rename("/big.bin", "/kept.bin").ok());

  start = std::chrono::steady_clock::now();
  interrupter = interruptSoon();
  EXPECT_FALSE(Upload(session, "/up.bin", std::string(32 << 20, 'u')).ok());
  interrupter.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));
  EXPECT_TRUE(session.DeleteFile("/up.bin").ok());

  // Cleared again, transfers run as before.
  interrupt = false;
  EXPECT_TRUE(Upload(session, "/small.bin", "small").ok());
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
    ASSERT_TRUE(session.Connect(Account(server)).ok());
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
    ASSERT_TRUE(session.Connect(Account(server)).ok());
    cancel = true;
    const auto start = std::chrono::steady_clock::now();
    session.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));
  }
}

}  // namespace
}  // namespace tarnwick
