// The notifier of the background service, which has no Qt: each notice is one `gdbus call` of
// org.freedesktop.Notifications.Notify on the session bus, started with posix_spawn. A child
// process was chosen over linking libdbus: nothing to link, no connection to keep alive over months
// of running, and a stuck notification server can never hold up the monitor (the child has a
// time-out, nobody waits for it, and finished children are reaped at the next notice and at the end).
// Without a session bus (no DBUS_SESSION_BUS_ADDRESS and no $XDG_RUNTIME_DIR/bus) or without gdbus,
// the notices are dropped: the log holds the same texts.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

#include "engine/RunNotifier.h"

namespace tarnwick {

class CSessionBusNotifier : public RunNotifier {
 public:
  static constexpr int kCallTimeoutSeconds = 5;

  explicit CSessionBusNotifier(std::string gdbusProgram = "gdbus") : program_(std::move(gdbusProgram)) {}
  // Reaps the children that have ended; the others are left to end on their own.
  ~CSessionBusNotifier() override;
  CSessionBusNotifier(const CSessionBusNotifier&) = delete;
  CSessionBusNotifier& operator=(const CSessionBusNotifier&) = delete;

  // Whether a session bus can be reached, from the environment alone.
  static bool SessionBusPresent();
  // `text` as a GVariant string literal, as gdbus reads its arguments.
  static std::string GVariantString(const std::string& text);
  // The gdbus arguments of one Notify call (without the program name).
  static std::vector<std::string> NotifyArguments(const std::string& summary, const std::string& body);

 protected:
  void Send(const std::string& summary, const std::string& body) override;

 private:
  void ReapLocked();

  const std::string program_;
  std::mutex mutex_;             // guards children_
  std::vector<pid_t> children_;  // started, not yet reaped
};

}  // namespace tarnwick
