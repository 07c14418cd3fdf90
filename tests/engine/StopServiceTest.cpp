// The stop socket under attack: clients that say nothing or too much, another user, a long data
// folder, and whatever is left at the socket's name.
#include "engine/StopService.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A service whose backup is "nightly", counting the stops it was asked for.
struct CountingService {
  explicit CountingService(const fs::path& socket)
      : service(socket, "the service", [this]() -> std::optional<std::string> {
          ++stops;
          return "nightly";
        }) {}
  std::atomic<int> stops{0};
  CStopService service;
};

sockaddr_un AddressOf(const fs::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

// A connected client socket of `address`, or -1 (errno set). Only system calls: also for a forked child.
int Connect(const sockaddr_un& address) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// Sends `request` and reads all the service sends back until it closes.
std::string Exchange(const fs::path& path, const std::string& request) {
  const int fd = Connect(AddressOf(path));
  if (fd < 0) return "connect: " + std::string(std::strerror(errno));
  (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buffer[256];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
    answer.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  return answer;
}

TEST(StopServiceTest, AnswersRoundTripWhateverTheNamesHold) {
  const StopAnswer answers[] = {
      {StopAnswer::Kind::Stopping, "tarnwick-cli monitor, process 7", "night ly"},
      {StopAnswer::Kind::Stopping, "a\nb%20c", "\x1b]0;title\x07 100%"},
      {StopAnswer::Kind::Stopping, "", ""},
      {StopAnswer::Kind::Idle, "the window", ""},
      {StopAnswer::Kind::Error, "", "too-long"},
  };
  for (const StopAnswer& answer : answers) {
    const std::string line = FormatStopAnswer(answer);
    ASSERT_EQ(line.find('\n'), line.size() - 1) << "one line: " << line;
    const std::optional<StopAnswer> read = ParseStopAnswer(std::string_view(line).substr(0, line.size() - 1));
    ASSERT_TRUE(read.has_value()) << line;
    EXPECT_EQ(read->kind, answer.kind) << line;
    EXPECT_EQ(read->holder, answer.holder) << line;
    EXPECT_EQ(read->detail, answer.detail) << line;
  }
}

TEST(StopServiceTest, MalformedAnswersAreRefused) {
  const std::string lines[] = {
      "",
      "STOPPING",
      "STOPPING a",
      "STOPPING a b c",
      "IDLE",
      "IDLE a b",
      "ERROR",
      "STOPPED a b",
      "stopping a b",
      "IDLE a%2",
      "IDLE a%zz",
      "IDLE a%41",
      "IDLE a%0a",
      "IDLE a\tb",
      "IDLE a\x1b",
      std::string("IDLE a\0b", 8),
      "IDLE " + std::string(kMaxStopAnswer, 'x'),
  };
  for (const std::string& line : lines) EXPECT_FALSE(ParseStopAnswer(line).has_value()) << line;
}

TEST(StopServiceTest, AStaleSocketOfADeadHolderIsReplaced) {
  TempDir dir;
  const fs::path socket = dir / "scheduler.sock";
  // What a holder that died leaves: a bound socket nobody listens on.
  const sockaddr_un address = AddressOf(socket);
  const int dead = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(::bind(dead, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(dead);
  StopAnswer answer;
  EXPECT_EQ(AskToStop(socket, answer).code(), StatusCode::NotFound) << "a stale socket answers nothing";

  CountingService next(socket);
  ASSERT_TRUE(next.service.Listen().ok());
  struct stat st {};
  ASSERT_EQ(::stat(socket.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_TRUE(AskToStop(socket, answer).ok());
  EXPECT_EQ(answer.detail, "nightly");
}

TEST(StopServiceTest, SomethingElseAtTheSocketsNameIsLeftAlone) {
  TempDir dir;
  const fs::path socket = dir / "scheduler.sock";
  test::WriteFile(socket, "the user's notes");
  CountingService service(socket);
  EXPECT_EQ(service.service.Listen().code(), StatusCode::Busy);
  EXPECT_EQ(test::ReadFile(socket), "the user's notes");
}

TEST(StopServiceTest, ADataFolderTooLongForASocketAddressIsReachedThroughItsDescriptor) {
  TempDir dir;
  fs::path folder = dir.path();
  while (folder.string().size() < 200) folder /= "a-rather-long-folder-name";
  fs::create_directories(folder);
  const fs::path socket = folder / "scheduler.sock";
  CountingService service(socket);
  ASSERT_TRUE(service.service.Listen().ok());
  EXPECT_TRUE(fs::is_socket(socket)) << "bound at its own name, not an abstract one";
  StopAnswer answer;
  ASSERT_TRUE(AskToStop(socket, answer).ok());
  EXPECT_EQ(answer.kind, StopAnswer::Kind::Stopping);
  EXPECT_EQ(service.stops.load(), 1);
}

TEST(StopServiceTest, AClientThatSaysNothingOrTooMuchHoldsNobody) {
  TempDir dir;
  const fs::path socket = dir / "scheduler.sock";
  CountingService service(socket);
  ASSERT_TRUE(service.service.Listen().ok());

  const int silent = Connect(AddressOf(socket));  // connects and never sends
  ASSERT_GE(silent, 0);
  StopAnswer answer;
  ASSERT_TRUE(AskToStop(socket, answer).ok()) << "answered after the silent one was let go";
  EXPECT_EQ(answer.kind, StopAnswer::Kind::Stopping);
  char byte;
  EXPECT_EQ(::read(silent, &byte, 1), 0) << "the silent client was closed without an answer";
  ::close(silent);

  EXPECT_EQ(Exchange(socket, std::string(100000, 'S')), "ERROR too-long\n");
  EXPECT_EQ(Exchange(socket, std::string(300, 'S') + "\n"), "ERROR too-long\n");
  EXPECT_EQ(Exchange(socket, "STOP NOW\n"), "ERROR unknown-request\n");
  EXPECT_EQ(Exchange(socket, "STOP\n"), "STOPPING the%20service nightly\n");
  EXPECT_EQ(service.stops.load(), 2) << "only whole requests stop anything";
}

// Connects and asks in a child that became the user nobody: what it got back, "EACCES" when it
// could not connect for lack of permission. The child makes only system calls (the test has threads).
std::string AskAsNobody(const fs::path& socket) {
  const sockaddr_un address = AddressOf(socket);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    const int fd = Connect(address);
    if (fd < 0) {
      (void)::write(pipeFds[1], errno == EACCES ? "EACCES" : "ECONNECT", errno == EACCES ? 6 : 8);
      ::_exit(0);
    }
    (void)::send(fd, "STOP\n", 5, MSG_NOSIGNAL);
    char buffer[256];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) (void)::write(pipeFds[1], buffer, n);
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string got;
  char buffer[256];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) got.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? got : "child failed";
}

TEST(StopServiceTest, APeerOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);  // nobody may reach the folder, not the socket
  const fs::path socket = dir / "scheduler.sock";
  CountingService service(socket);
  ASSERT_TRUE(service.service.Listen().ok());
  EXPECT_EQ(AskAsNobody(socket), "EACCES") << "the mode keeps it out";

  // Where the mode does not (a loosened socket), the peer's user does.
  ASSERT_EQ(::chmod(socket.c_str(), 0666), 0);
  EXPECT_EQ(AskAsNobody(socket), "ERROR refused\n");
  EXPECT_EQ(service.stops.load(), 0);
}

}  // namespace
}  // namespace tarnwick
