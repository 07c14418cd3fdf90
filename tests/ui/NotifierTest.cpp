// The window's desktop notices, on a session bus of the test's own.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <thread>

#include "support/PrivateSessionBus.h"
#include "ui/DesktopNotifier.h"

namespace tarnwick::ui::test {
namespace {

TEST(DesktopNotifier, ANoticeIsOneNotifyCallWithTheLogsText) {
  tarnwick::test::PrivateSessionBus bus;
  if (bus.Address().empty()) GTEST_SKIP() << "dbus-daemon or dbus-monitor cannot start here";
  const QString name = QStringLiteral("notifier-test");
  {
    CDesktopNotifier notifier(QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), name));
    // From a worker thread, as a job's end is told.
    std::thread([&notifier] { notifier.LaunchFailed("nightly", "Cannot open \"/backup\""); }).join();
    QElapsedTimer waited;
    waited.start();
    while (bus.NotifyCalls().empty() && waited.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  QDBusConnection::disconnectFromBus(name);
  const std::vector<std::string> calls = bus.NotifyCalls(1, std::chrono::milliseconds(500));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].find("string \"Tarnwick\""), std::string::npos) << calls[0];
  EXPECT_NE(calls[0].find("string \"Backup nightly could not start\""), std::string::npos) << calls[0];
  EXPECT_NE(calls[0].find("string \"Cannot open \"/backup\"\""), std::string::npos) << calls[0];
  EXPECT_NE(calls[0].find("int32 -1"), std::string::npos) << calls[0];
}

}  // namespace
}  // namespace tarnwick::ui::test
