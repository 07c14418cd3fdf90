// What a ping run reports: its lines as they happen and its end. The desktop dialog shows them in
// its list; the CLI prints them. Called on the ping worker's thread; the receiver owns the texts.
#pragma once

#include <string>

namespace tarnwick {

// Line kinds, also the image index of a line in the dialog's list.
enum PingLineKind : int {
  PING_LINE_ERROR = 0,  // a failing socket call, or the host was not found
  PING_LINE_HEADER = 1,
  PING_LINE_REPLY = 2,
  PING_LINE_TIMEOUT = 3,
};

class PingObserver {
 public:
  virtual ~PingObserver() = default;
  virtual void OnPingLine(int kind, const std::string& text) = 0;
  // 1 when the run reached its end, 0 when the host was not found or no socket was available.
  virtual void OnPingDone(int reachedEnd) = 0;
};

}  // namespace tarnwick
