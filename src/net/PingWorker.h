// Sends ICMP echo requests to a host and reports each reply, time-out and failure as a line.
#pragma once

#include <atomic>
#include <string>

#include "net/PingObserver.h"

namespace tarnwick {

// The kind of socket a run used.
enum class PingSocketKind { None, Datagram, Raw };

class CPingWorker {
 public:
  // Sends `count` echo requests to `host`, one second apart, reporting to `window` (which may be
  // null). True when the run reached its end.
  bool Ping(int count, const std::string& host, PingObserver* window);

  // The socket kind of the last run: a datagram ICMP socket where the system lets this user
  // ping, else a raw one.
  PingSocketKind SocketKind() const { return socketKind_.load(); }

 private:
  void Line(int kind, const std::string& text);
  void ErrorLine(const char* call, int error);
  void Done(int reachedEnd);

  PingObserver* window_ = nullptr;
  std::atomic<PingSocketKind> socketKind_{PingSocketKind::None};
};

// A name under the reserved "invalid" domain, which never resolves and is never looked up.
bool IsReservedInvalidName(const std::string& host);

}  // namespace tarnwick
