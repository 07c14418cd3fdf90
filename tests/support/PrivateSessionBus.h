// A session bus of the test's own (dbus-daemon --session) with dbus-monitor writing down every
// org.freedesktop.Notifications call on it, so notifiers can be checked without a desktop.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tarnwick::test {

class PrivateSessionBus {
 public:
  // Starts the bus and the monitor; Address() is empty when either could not start.
  PrivateSessionBus();
  ~PrivateSessionBus();
  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

  const std::string& Address() const { return address_; }
  // Starts a notification server on the bus (tests/support/notification_server.py), so Notify
  // calls are answered; false when it cannot run here.
  bool StartNotificationServer();
  // The Notify calls seen so far, each as dbus-monitor printed it (its arguments included), after
  // waiting up to `wait` for at least `atLeast` of them.
  std::vector<std::string> NotifyCalls(std::size_t atLeast = 0,
                                       std::chrono::milliseconds wait = std::chrono::milliseconds(0)) const;

 private:
  std::string MonitorText() const;

  TempDir dir_;
  std::string address_;
  pid_t daemon_ = 0;
  pid_t monitor_ = 0;
  pid_t server_ = 0;
};

}  // namespace tarnwick::test
