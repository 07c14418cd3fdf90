// The window's desktop notices, on a session bus of the test's own.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/Clock.h"
#include "log/ActivityLog.h"

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

// Waits (running the window's events) until `done` holds, at most 10 s.
template <typename Done>
void ProcessEventsUntil(Done done) {
  QElapsedTimer waited;
  waited.start();
  while (!done() && waited.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

std::vector<LogRow> NoticeRows(const CActivityLog& log) {
  std::vector<LogRow> rows;
  for (const LogRow& row : log.Rows()) {
    if (row[1] == "NOTICE") rows.push_back(row);
  }
  return rows;
}

TEST(DesktopNotifier, HostileNamesAreEscapedAndARefusedNoticeLeavesARow) {
  tarnwick::test::PrivateSessionBus bus;
  if (bus.Address().empty()) GTEST_SKIP() << "dbus-daemon or dbus-monitor cannot start here";
  const QString name = QStringLiteral("notifier-refused-test");
  FixedClock clock;
  CActivityLog log(clock);
  {
    CDesktopNotifier notifier(QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), name));
    notifier.SetFailureLog(&log);
    // No notification server on this bus: the bus itself refuses the call.
    notifier.RunFailed("nightly", "Backup /src/<img src=\"file:///etc/passwd\"/>\x1b[2J caf\xe9 Failed.");
    ProcessEventsUntil([&] { return !NoticeRows(log).empty(); });
    notifier.SetFailureLog(nullptr);
  }
  QDBusConnection::disconnectFromBus(name);
  const std::vector<std::string> calls = bus.NotifyCalls(1, std::chrono::milliseconds(500));
  ASSERT_EQ(calls.size(), 1u) << "a name that is not UTF-8 must not cost the notice";
  EXPECT_NE(calls[0].find("string \"Backup /src/&lt;img src=\"file:///etc/passwd\"/&gt;\\x1B[2J caf\\xE9 Failed.\""),
            std::string::npos)
      << calls[0];
  const std::vector<LogRow> rows = NoticeRows(log);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NE(rows[0][2].find("The desktop notice \"Backup nightly ended with errors\" could not be shown: "),
            std::string::npos)
      << rows[0][2];
  EXPECT_NE(rows[0][2].find("org.freedesktop.Notifications"), std::string::npos) << "the bus's reason: " << rows[0][2];
}

TEST(DesktopNotifier, WithoutASessionBusANoticeLeavesARow) {
  FixedClock clock;
  CActivityLog log(clock);
  CDesktopNotifier notifier(QDBusConnection(QStringLiteral("never-connected")));
  notifier.SetFailureLog(&log);
  notifier.RunMissed("nightly", "missed");
  ProcessEventsUntil([&] { return !NoticeRows(log).empty(); });
  notifier.SetFailureLog(nullptr);
  ASSERT_EQ(NoticeRows(log).size(), 1u);
  EXPECT_NE(NoticeRows(log)[0][2].find("not connected to the session bus"), std::string::npos) << NoticeRows(log)[0][2];
}

}  // namespace
}  // namespace tarnwick::ui::test
