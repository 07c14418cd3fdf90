#include "engine/StopService.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "app/StringTable.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;
using Deadline = std::chrono::steady_clock::time_point;

// A client that connects and says nothing holds the service this long, no longer; the one who asks
// waits a little longer for the answer, which comes at once when the request did.
constexpr std::chrono::milliseconds kRequestWait{2000};
constexpr std::chrono::milliseconds kAnswerWait{5000};
constexpr int kBacklog = 8;

// Bytes that would end a field or a line, and the escape byte itself.
bool NeedsEscape(unsigned char c) { return c <= 0x20 || c == 0x7F || c == '%'; }

std::string EncodeField(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Only what EncodeField writes: a raw byte that needs an escape, or an escape that is not "%XX"
// in upper-case hex, makes the field invalid, so each text has exactly one line.
std::optional<std::string> DecodeField(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    if (c != '%') {
      if (NeedsEscape(c)) return std::nullopt;
      out += field[i];
      continue;
    }
    if (i + 2 >= field.size()) return std::nullopt;
    const int high = HexValue(field[i + 1]);
    const int low = HexValue(field[i + 2]);
    const auto decoded = static_cast<unsigned char>((high << 4) | low);
    if (high < 0 || low < 0 || !NeedsEscape(decoded)) return std::nullopt;
    out += static_cast<char>(decoded);
    i += 2;
  }
  return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t blank = line.find(' ', start);
    fields.push_back(line.substr(start, blank == std::string_view::npos ? std::string_view::npos : blank - start));
    if (blank == std::string_view::npos) return fields;
    start = blank + 1;
  }
}

int RemainingMs(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for `events` on `fd` until the deadline; false when it passed first.
bool WaitFor(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, RemainingMs(deadline));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

enum class LineRead { Line, TooLong, Closed, TimedOut };

// Reads one line (without its line feed) of at most `limit` bytes with the feed from a
// non-blocking socket. Nothing after the line is read: both sides send one line and no more.
LineRead ReadLine(int fd, std::size_t limit, Deadline deadline, std::string& line) {
  line.clear();
  char buffer[512];
  for (;;) {
    if (!WaitFor(fd, POLLIN, deadline)) return LineRead::TimedOut;
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return LineRead::Closed;
    line.append(buffer, static_cast<std::size_t>(got));
    const std::size_t feed = line.find('\n');
    if (feed != std::string::npos && feed < limit) {
      line.resize(feed);
      return LineRead::Line;
    }
    if (line.size() >= limit) return LineRead::TooLong;
  }
}

bool WriteAll(int fd, std::string_view text, Deadline deadline) {
  while (!text.empty()) {
    if (!WaitFor(fd, POLLOUT, deadline)) return false;
    const ssize_t sent = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (sent <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Whether the process at the other end of `fd` runs as this process's user.
bool PeerIsSameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer && peer.uid == ::geteuid();
}

// The address of `path`. A path longer than sun_path holds is reached through a descriptor of its
// folder, "/proc/self/fd/N/name", which `folder` keeps open while the address is used; the file's
// mode still guards it, unlike an abstract name.
Status SocketAddress(const fs::path& path, sockaddr_un& address, CFileDescriptor& folder) {
  address = {};
  address.sun_family = AF_UNIX;
  std::string name = path.string();
  if (name.size() >= sizeof address.sun_path) {
    folder = CFileDescriptor(::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) return Status::IoError(path.parent_path().string(), errno);
    name = "/proc/self/fd/" + std::to_string(folder.get()) + "/" + path.filename().string();
    if (name.size() >= sizeof address.sun_path) {
      return Status::InvalidArgument(FormatString(IDS_STOP_SOCKET_NAME_TOO_LONG, path.c_str()));
    }
  }
  std::memcpy(address.sun_path, name.data(), name.size());
  return Status::Ok();
}

const sockaddr* AsAddress(const sockaddr_un& address) { return reinterpret_cast<const sockaddr*>(&address); }

}  // namespace

std::string FormatStopAnswer(const StopAnswer& answer) {
  switch (answer.kind) {
    case StopAnswer::Kind::Stopping:
      return "STOPPING " + EncodeField(answer.holder) + ' ' + EncodeField(answer.detail) + '\n';
    case StopAnswer::Kind::Idle: return "IDLE " + EncodeField(answer.holder) + '\n';
    case StopAnswer::Kind::Error: break;
  }
  return "ERROR " + EncodeField(answer.detail) + '\n';
}

std::optional<StopAnswer> ParseStopAnswer(std::string_view line) {
  if (line.size() >= kMaxStopAnswer) return std::nullopt;
  const std::vector<std::string_view> fields = SplitFields(line);
  StopAnswer answer;
  std::size_t expected = 2;
  if (fields[0] == "STOPPING") {
    answer.kind = StopAnswer::Kind::Stopping;
    expected = 3;
  } else if (fields[0] == "IDLE") {
    answer.kind = StopAnswer::Kind::Idle;
  } else if (fields[0] != "ERROR") {
    return std::nullopt;
  }
  if (fields.size() != expected) return std::nullopt;
  std::optional<std::string> second = DecodeField(fields[1]);
  if (!second) return std::nullopt;
  if (answer.kind == StopAnswer::Kind::Error) {
    answer.detail = std::move(*second);
    return answer;
  }
  answer.holder = std::move(*second);
  if (answer.kind == StopAnswer::Kind::Stopping) {
    std::optional<std::string> profile = DecodeField(fields[2]);
    if (!profile) return std::nullopt;
    answer.detail = std::move(*profile);
  }
  return answer;
}

CStopService::CStopService(fs::path socketPath, std::string holderText, StopHandler onStop)
    : path_(std::move(socketPath)), holderText_(std::move(holderText)), onStop_(std::move(onStop)) {}

CStopService::~CStopService() { Close(); }

Status CStopService::Listen() {
  if (thread_.joinable()) return Status::Ok();
  // Only a socket is taken away: a dead holder's is stale by now (we hold the lock it held).
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) return Status::Busy(FormatString(IDS_STOP_SOCKET_IN_THE_WAY, path_.c_str()));
    if (::unlink(path_.c_str()) != 0 && errno != ENOENT) return Status::IoError(path_.string(), errno);
  }
  sockaddr_un address{};
  CFileDescriptor folder;
  if (Status made = SocketAddress(path_, address, folder); !made.ok()) return made;
  CFileDescriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!listener.valid() || ::bind(listener.get(), AsAddress(address), sizeof address) != 0) {
    return Status::IoError(path_.string(), errno);
  }
  // Owner only before anybody can connect: a connection is refused until listen().
  if (::chmod(path_.c_str(), 0600) != 0 || ::lstat(path_.c_str(), &st) != 0 ||
      ::listen(listener.get(), kBacklog) != 0) {
    const int error = errno;
    (void)::unlink(path_.c_str());
    return Status::IoError(path_.string(), error);
  }
  CFileDescriptor wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake.valid()) {
    const int error = errno;
    (void)::unlink(path_.c_str());
    return Status::IoError(path_.string(), error);
  }
  boundInode_ = st.st_ino;
  listener_ = std::move(listener);
  wake_ = std::move(wake);
  thread_ = std::thread([this] { Serve(); });
  return Status::Ok();
}

void CStopService::Close() {
  if (!thread_.joinable()) return;
  const std::uint64_t one = 1;
  (void)::write(wake_.get(), &one, sizeof one);
  thread_.join();
  listener_ = CFileDescriptor();
  // Still ours? Then it goes; a socket another holder bound after us stays.
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_ino == boundInode_) {
    (void)::unlink(path_.c_str());
  }
}

void CStopService::Serve() {
  for (;;) {
    pollfd entries[2] = {{listener_.get(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
    if (::poll(entries, 2, -1) < 0) continue;  // EINTR
    if (entries[1].revents != 0) return;
    const CFileDescriptor connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!connection.valid()) {
      // Out of descriptors: wait a moment (or for the end) instead of spinning on the ready listener.
      if (errno == EMFILE || errno == ENFILE) (void)::poll(&entries[1], 1, 100);
      continue;
    }
    Answer(connection.get());
  }
}

void CStopService::Answer(int connection) {
  // One request at a time, each bounded in time and size, so a client that never sends or sends
  // without end holds nobody for longer than kRequestWait.
  const Deadline deadline = std::chrono::steady_clock::now() + kRequestWait;
  StopAnswer answer;
  std::string request;
  if (!PeerIsSameUser(connection)) {
    answer.detail = "refused";
  } else {
    const LineRead read = ReadLine(connection, kMaxStopRequest, deadline, request);
    if (read == LineRead::Closed || read == LineRead::TimedOut) return;
    if (read == LineRead::TooLong) {
      answer.detail = "too-long";
    } else if (request + '\n' != kStopRequestLine) {
      answer.detail = "unknown-request";
    } else {
      const std::optional<std::string> stopped = onStop_();
      answer.kind = stopped ? StopAnswer::Kind::Stopping : StopAnswer::Kind::Idle;
      answer.holder = holderText_;
      answer.detail = stopped.value_or("");
    }
  }
  (void)WriteAll(connection, FormatStopAnswer(answer), deadline);
}

Status AskToStop(const fs::path& socketPath, StopAnswer& answer) {
  sockaddr_un address{};
  CFileDescriptor folder;
  if (Status made = SocketAddress(socketPath, address, folder); !made.ok()) return made;
  const CFileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) return Status::IoError(socketPath.string(), errno);
  if (::connect(fd.get(), AsAddress(address), sizeof address) != 0) {
    const int error = errno;
    const std::string text = FormatString(IDS_STOP_NOBODY_LISTENS, socketPath.c_str(), SystemErrorText(error).c_str());
    if (error == EAGAIN) return Status::Busy(text);
    return Status::NotFound({}, text);
  }
  // The socket's folder is the user's, but a socket of another user answers nothing we believe.
  if (!PeerIsSameUser(fd.get())) {
    return Status::Refused(FormatString(IDS_STOP_SOCKET_OTHER_USER, socketPath.c_str()));
  }
  const Deadline deadline = std::chrono::steady_clock::now() + kAnswerWait;
  std::string line;
  if (!WriteAll(fd.get(), kStopRequestLine, deadline) ||
      ReadLine(fd.get(), kMaxStopAnswer, deadline, line) != LineRead::Line) {
    return Status::NetworkError(FormatString(IDS_STOP_NO_ANSWER, socketPath.c_str()));
  }
  std::optional<StopAnswer> parsed = ParseStopAnswer(line);
  if (!parsed) {
    return Status::NetworkError(FormatString(IDS_STOP_NO_ANSWER, socketPath.c_str()));
  }
  if (parsed->kind == StopAnswer::Kind::Error) {
    return Status::Refused(FormatString(IDS_STOP_REFUSED, socketPath.c_str(), parsed->detail.c_str()));
  }
  answer = std::move(*parsed);
  return Status::Ok();
}

}  // namespace tarnwick
