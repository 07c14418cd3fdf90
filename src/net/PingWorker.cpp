#include "net/PingWorker.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "app/StringTable.h"
#include "net/IcmpEcho.h"

namespace tarnwick {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr int kShownDataBytes = 32;             // the byte count the lines show
constexpr milliseconds kRequestInterval{1000};  // also the longest wait for a reply
constexpr std::size_t kReceiveBuffer = 1500;

// A datagram ICMP socket needs no privilege where net.ipv4.ping_group_range admits the user;
// a raw one needs CAP_NET_RAW. The error reported is the raw socket's, the last one tried.
int OpenIcmpSocket(PingSocketKind& kind, int& error) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0) {
    // A datagram socket hands over the ICMP message without the IP header; the TTL comes along
    // as ancillary data instead.
    int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    kind = PingSocketKind::Datagram;
    return fd;
  }
  fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0) {
    kind = PingSocketKind::Raw;
    return fd;
  }
  error = errno;
  kind = PingSocketKind::None;
  return -1;
}

bool Resolve(const std::string& host, sockaddr_in& target) {
  if (host.empty() || IsReservedInvalidName(host)) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;  // the socket is IPv4
  hints.ai_socktype = SOCK_RAW;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  std::memcpy(&target, found->ai_addr, sizeof target);
  ::freeaddrinfo(found);
  target.sin_port = 0;
  return true;
}

std::string Dotted(const in_addr& address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

enum class WaitResult { Reply, TimedOut, WaitFailed, ReceiveFailed };

// Waits until `deadline` for the reply to `request`; other datagrams on the socket (our own
// request on loopback, other programs' echoes, late replies) are read and passed over.
WaitResult AwaitReply(int fd, bool raw, const EchoRequest& request, std::uint16_t identifierOnWire,
                      steady_clock::time_point deadline, EchoReply& reply, sockaddr_in& from, int& error) {
  for (;;) {
    const auto now = steady_clock::now();
    if (now >= deadline) return WaitResult::TimedOut;
    const auto left = std::chrono::ceil<milliseconds>(deadline - now);
    // poll rather than select: select cannot watch a descriptor numbered FD_SETSIZE or above.
    pollfd watch{fd, POLLIN, 0};
    const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
    if (ready < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return WaitResult::WaitFailed;
    }
    if (ready == 0) continue;

    std::uint8_t buffer[kReceiveBuffer];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    iovec part{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t got = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      error = errno;
      return WaitResult::ReceiveFailed;
    }
    int ttl = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
    }
    if (MatchEchoReply(buffer, static_cast<std::size_t>(got), raw, request, identifierOnWire, ttl, reply)) {
      return WaitResult::Reply;
    }
  }
}

}  // namespace

bool IsReservedInvalidName(const std::string& host) {
  std::string name = host;
  if (!name.empty() && name.back() == '.') name.pop_back();
  for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  constexpr std::string_view kInvalid = "invalid";
  if (name == kInvalid) return true;
  return name.size() > kInvalid.size() && name.ends_with(kInvalid) && name[name.size() - kInvalid.size() - 1] == '.';
}

void CPingWorker::Line(int kind, const std::string& text) {
  if (window_ != nullptr) window_->OnPingLine(kind, text);
}

void CPingWorker::ErrorLine(const char* call, int error) {
  Line(PING_LINE_ERROR, FormatString(IDS_PING_ERROR, call, static_cast<long>(error)));
}

void CPingWorker::Done(int reachedEnd) {
  if (window_ != nullptr) window_->OnPingDone(reachedEnd);
}

bool CPingWorker::Ping(int count, const std::string& host, PingObserver* window) {
  window_ = window;
  PingSocketKind kind = PingSocketKind::None;
  int error = 0;
  const int fd = OpenIcmpSocket(kind, error);
  socketKind_ = kind;
  if (fd < 0) {
    ErrorLine("socket()", error);
    Done(0);
    return false;
  }
  sockaddr_in target{};
  if (!Resolve(host, target)) {
    Line(PING_LINE_ERROR, FormatString(IDS_PING_HOST_NOT_FOUND, host.c_str()));
    Done(0);
    ::close(fd);
    return false;
  }
  Line(PING_LINE_HEADER, FormatString(IDS_PING_HEADER, host.c_str(), Dotted(target.sin_addr).c_str(), kShownDataBytes));

  const bool raw = kind == PingSocketKind::Raw;
  for (int i = 0; i < count; ++i) {
    const auto sentAt = steady_clock::now();
    const EchoIds ids = NextEchoIds();
    EchoRequest request;
    BuildEchoRequest(request, ids.identifier, ids.sequence, TickCount());
    std::uint16_t identifierOnWire = ids.identifier;
    if (::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target) <
        0) {
      ErrorLine("sendto()", errno);
    } else if (!raw) {
      // A datagram socket sends its own port as the identifier; replies carry that one.
      sockaddr_in local{};
      socklen_t length = sizeof local;
      if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) identifierOnWire = local.sin_port;
    }

    EchoReply reply;
    sockaddr_in from{};
    const WaitResult result =
        AwaitReply(fd, raw, request, identifierOnWire, sentAt + kRequestInterval, reply, from, error);
    if (result == WaitResult::WaitFailed) {
      ErrorLine("select()", error);
      break;
    }
    if (result == WaitResult::TimedOut) {
      Line(PING_LINE_TIMEOUT, LoadString(IDS_PING_TIMED_OUT));
      continue;  // a whole second has passed already
    }
    if (result == WaitResult::ReceiveFailed) {
      // Nothing meaningful to show as a reply after a failed receive.
      ErrorLine("recvfrom()", error);
    } else {
      const long roundTrip = static_cast<long>(static_cast<std::uint32_t>(TickCount() - reply.echoedTick));
      Line(PING_LINE_REPLY,
           FormatString(IDS_PING_REPLY, i + 1, Dotted(from.sin_addr).c_str(), kShownDataBytes, roundTrip, reply.ttl));
    }
    // Requests go out one second apart, counted from each send; after the last one the run
    // ends at once.
    if (i + 1 < count) std::this_thread::sleep_until(sentAt + kRequestInterval);
  }

  // Closed before the end is reported, so a failing close is still listed in the run.
  if (::close(fd) != 0) ErrorLine("closesocket()", errno);
  Done(1);
  return true;
}

}  // namespace tarnwick
