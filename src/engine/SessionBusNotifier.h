// The notifier of the background service, which has no Qt: each notice is one `gdbus call` of
// org.freedesktop.Notifications.Notify on the session bus, started with posix_spawn. A child
// process was chosen over linking libdbus: nothing to link, no connection to keep alive over months
// of running. The calls are made one after the other on a thread of the notifier's own, so a stuck
// notification server can never hold up the monitor (each call has a time-out). A notice that
// could not be shown — no session bus (no DBUS_SESSION_BUS_ADDRESS and no $XDG_RUNTIME_DIR/bus),
// no gdbus, or gdbus failing, for instance without a notification server — is logged as a NOTICE
// row with the reason (gdbus's own words), so the log holds the texts and why they were not shown.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/RunNotifier.h"

namespace tarnwick {

class CSessionBusNotifier : public RunNotifier {
 public:
  static constexpr int kCallTimeoutSeconds = 5;
  // Notices waiting for their call at the most; more (a server that answers none) are not shown.
  static constexpr std::size_t kMostWaiting = 64;

  explicit CSessionBusNotifier(std::string gdbusProgram = "gdbus");
  // Makes the calls still waiting (each ends within its time-out), then ends the thread.
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
  using Notice = std::pair<std::string, std::string>;  // summary, body

  void DeliverAll();
  void Deliver(const Notice& notice);

  const std::string program_;
  std::mutex mutex_;  // guards queue_ and quit_
  std::condition_variable wake_;
  std::deque<Notice> queue_;
  bool quit_ = false;
  std::thread thread_;  // started by the constructor, once the members above are there
};

}  // namespace tarnwick
