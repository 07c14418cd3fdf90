#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/Clock.h"
#include "engine/EngineTestSupport.h"
#include "engine/RunNotifier.h"
#include "engine/SessionBusNotifier.h"
#include "support/PrivateSessionBus.h"
#include "support/ScopedEnv.h"

namespace tarnwick::test {
namespace {

class RecordingNotifier : public RunNotifier {
 public:
  std::vector<std::string> sent;  // "summary|body"

 protected:
  void Send(const std::string& summary, const std::string& body) override { sent.push_back(summary + "|" + body); }
};

// The end of a run of "p" whose report says `outcome` after the failure rows `failures` (of
// `failureRows` in all, when more were not kept).
JobEnd EndOf(RunOutcome outcome, std::vector<std::string> failures, int exitCode = 0, long long failureRows = -1) {
  JobEnd end;
  end.profileName = "p";
  end.exitCode = exitCode;
  end.stopped = outcome == RunOutcome::Stopped;
  end.report.profileName = "p";
  end.report.outcome = outcome;
  end.report.failureRows = failureRows >= 0 ? failureRows : static_cast<long long>(failures.size());
  end.report.failures = std::move(failures);
  return end;
}

TEST(RunWatchTest, OnlyFailedRunsAreToldWithTheReportsFailureRows) {
  struct Case {
    const char* what;
    JobEnd end;
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {"success", EndOf(RunOutcome::Completed, {}), {}},
      {"stopped without failures", EndOf(RunOutcome::Stopped, {}, 1), {}},
      {"a failed file",
       EndOf(RunOutcome::CompletedWithFailures, {"cannot read a"}),
       {"Backup p ended with errors|cannot read a"}},
      {"a failed login, stopped after it",
       EndOf(RunOutcome::Stopped, {"530 no"}, 1),
       {"Backup p ended with errors|530 no"}},
      {"a failure without rows",
       EndOf(RunOutcome::Failed, {}, -2),
       {"Backup p ended with errors|The backup ended with exit code -2."}},
      {"more failures than a notice quotes",
       EndOf(RunOutcome::CompletedWithFailures, {"e1", "e2", "e3", "e4", "e5"}),
       {"Backup p ended with errors|e1\ne2\ne3\n... and 2 more in the log"}},
      {"more failures than a report keeps",
       EndOf(RunOutcome::Failed, {"e1", "e2", "e3", "e4", "e5"}, 0, 9),
       {"Backup p ended with errors|e1\ne2\ne3\n... and 6 more in the log"}},
  };
  for (const Case& c : cases) {
    FixedClock clock;
    CActivityLog log(clock);
    RecordingObserver inner;
    RecordingNotifier notifier;
    CRunWatch watch(inner, log, &notifier);
    watch.OnJobEnded(c.end);
    EXPECT_EQ(notifier.sent, c.sent) << c.what;
    ASSERT_EQ(inner.Ends().size(), 1u) << c.what << ": every end reaches the front end";
    EXPECT_EQ(inner.Ends()[0].report.outcome, c.end.report.outcome) << c.what << ": with its report";
  }
}

TEST(RunWatchTest, LaunchFailuresAndMissedRunsAreTold) {
  FixedClock clock;
  CActivityLog log(clock);
  RecordingObserver inner;
  RecordingNotifier notifier;
  CRunWatch watch(inner, log, &notifier);
  const Status refused = Status::InvalidArgument("Cannot open x");
  watch.OnLaunchFailed("a", refused);
  watch.OnRunMissed(RunReport::Missed("b", 100, 200, "missed row"));
  watch.OnJobEnded(EndOf(RunOutcome::Completed, {}));
  EXPECT_EQ(notifier.sent, (std::vector<std::string>{"Backup a could not start|" + refused.ToString(),
                                                     "Backup b was missed|missed row"}));
  EXPECT_EQ(inner.LaunchFailures(), (std::vector<std::string>{"a"}));
  EXPECT_EQ(inner.Missed(), (std::vector<std::string>{"b"}));
}

class TestableSessionBusNotifier : public CSessionBusNotifier {
 public:
  using CSessionBusNotifier::Send;
};

TEST(SessionBusNotifierTest, ANoticeIsOneNotifyCallOnTheSessionBus) {
  PrivateSessionBus bus;
  if (bus.Address().empty()) GTEST_SKIP() << "dbus-daemon or dbus-monitor cannot start here";
  ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address());
  TestableSessionBusNotifier notifier;
  notifier.Send("Backup \"nightly\" ended with errors", "Cannot open C:\\x\nsecond line");
  const std::vector<std::string> calls = bus.NotifyCalls(1, std::chrono::seconds(10));
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].find("string \"Tarnwick\""), std::string::npos) << calls[0];
  EXPECT_NE(calls[0].find("uint32 0"), std::string::npos) << calls[0];
  EXPECT_NE(calls[0].find("string \"Backup \"nightly\" ended with errors\""), std::string::npos) << calls[0];
  EXPECT_NE(calls[0].find("string \"Cannot open C:\\x\nsecond line\""), std::string::npos) << calls[0];
}

TEST(SessionBusNotifierTest, TheBusIsFoundFromTheEnvironment) {
  ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", nullptr);
  ScopedEnv runtime("XDG_RUNTIME_DIR", "/nonexistent");
  EXPECT_FALSE(CSessionBusNotifier::SessionBusPresent());
  ScopedEnv named("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
  EXPECT_TRUE(CSessionBusNotifier::SessionBusPresent());
}

struct NoticeTextCase {
  std::string what;
  std::string name;      // a file name as a failure row holds it
  std::string expected;  // what the notice's body shows of it
};

const std::vector<NoticeTextCase>& HostileNames() {
  static const std::vector<NoticeTextCase> cases = {
      {"bold", "<b>x</b>", "&lt;b&gt;x&lt;/b&gt;"},
      {"link", "<a href=\"http://evil.example/\">y</a>", "&lt;a href=\"http://evil.example/\"&gt;y&lt;/a&gt;"},
      {"image", "<img src=\"file:///etc/passwd\"/>", "&lt;img src=\"file:///etc/passwd\"/&gt;"},
      {"an entity", "a&amp;b", "a&amp;amp;b"},
      {"ESC BEL DEL", "a\x1b]0;t\x07 \x1b[2J\x7f", "a\\x1B]0;t\\x07 \\x1B[2J\\x7F"},
      {"a C1 control",
       "a\xc2\x9b"
       "31m",
       "a\\xC2\\x9B31m"},
      {"Latin-1", "caf\xe9.txt", "caf\\xE9.txt"},
      {"a cut sequence", "x\xe2\x82", "x\\xE2\\x82"},
  };
  return cases;
}

TEST(NoticeTextTest, NamesInANoticeAreNeverMarkupNorControlBytesNorInvalidUtf8) {
  for (const NoticeTextCase& c : HostileNames()) {
    const std::string body = RunNotifier::BodyText("Backup /src/" + c.name + " Failed.\nsecond");
    EXPECT_EQ(body, "Backup /src/" + c.expected + " Failed.\nsecond") << c.what;
  }
  EXPECT_EQ(RunNotifier::SummaryText("Backup a\nb\x1b<i> ended"), "Backup a\\x0Ab\\x1B<i> ended")
      << "the summary is one line of plain text";
}

// Failed runs told through a watch over `log` to `notifier`.
void FailRun(CRunWatch& watch, CActivityLog& log, const std::string& profile, const std::string& failureRow) {
  log.LogActionText(LOG_ERROR, failureRow);
  log.LogActionText(LOG_BACKUPEND, "Backup End.");
  JobEnd end = EndOf(RunOutcome::CompletedWithFailures, {failureRow});
  end.profileName = profile;
  watch.OnJobEnded(end);
}

std::vector<LogRow> NoticeRows(const CActivityLog& log, std::size_t atLeast = 0) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    std::vector<LogRow> rows;
    for (const LogRow& row : log.Rows()) {
      if (row[1] == "NOTICE") rows.push_back(row);
    }
    if (rows.size() >= atLeast || std::chrono::steady_clock::now() >= until) return rows;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TEST(SessionBusNotifierTest, HostileFileNamesReachTheServerEscapedAndEveryNoticeIsShown) {
  PrivateSessionBus bus;
  if (bus.Address().empty()) GTEST_SKIP() << "dbus-daemon or dbus-monitor cannot start here";
  if (!bus.StartNotificationServer()) GTEST_SKIP() << "python3-dbus or python3-gi is not installed";
  ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", bus.Address());
  FixedClock clock;
  CActivityLog log(clock);
  RecordingObserver inner;
  CSessionBusNotifier notifier;
  CRunWatch watch(inner, log, &notifier);
  for (const NoticeTextCase& c : HostileNames()) FailRun(watch, log, "p\x1b", "Backup /src/" + c.name + " Failed.");
  const std::vector<std::string> calls = bus.NotifyCalls(HostileNames().size(), std::chrono::seconds(20));
  ASSERT_EQ(calls.size(), HostileNames().size()) << "a name that is not UTF-8 must not cost the notice";
  for (std::size_t i = 0; i < calls.size(); ++i) {
    EXPECT_NE(calls[i].find("string \"Backup p\\x1B ended with errors\""), std::string::npos) << calls[i];
    EXPECT_NE(calls[i].find("string \"Backup /src/" + HostileNames()[i].expected + " Failed.\""), std::string::npos)
        << HostileNames()[i].what << ": " << calls[i];
  }
  // The server refuses this one; its row comes after every call before it has ended.
  watch.OnLaunchFailed("refuse", Status::InvalidArgument("x"));
  const std::vector<LogRow> rows = NoticeRows(log, 1);
  ASSERT_EQ(rows.size(), 1u) << "shown notices leave no row";
  EXPECT_NE(rows[0][2].find("\"Backup refuse could not start\" could not be shown: "), std::string::npos) << rows[0][2];
  EXPECT_NE(rows[0][2].find("refused for the test"), std::string::npos) << "gdbus's reason: " << rows[0][2];
}

TEST(SessionBusNotifierTest, ANoticeThatCannotBeShownLeavesARowWithTheReasonAndFailsNoRun) {
  PrivateSessionBus bus;
  struct Case {
    const char* what;
    std::string address;  // empty: no session bus at all
    std::string program;
    std::string reason;  // part of the row
  };
  std::vector<Case> cases = {
      {"no session bus", "", "gdbus", "there is no session bus."},
      {"no such program", "unix:path=/nonexistent", "/nonexistent/gdbus", "/nonexistent/gdbus could not be started."},
  };
  // A bus without a notification server: gdbus's own error names the missing service.
  if (!bus.Address().empty()) cases.push_back({"no notification server", bus.Address(), "gdbus", "Notifications"});
  for (const Case& c : cases) {
    ScopedEnv address("DBUS_SESSION_BUS_ADDRESS", c.address.empty() ? nullptr : c.address.c_str());
    ScopedEnv runtime("XDG_RUNTIME_DIR", "/nonexistent");
    FixedClock clock;
    CActivityLog log(clock);
    RecordingObserver inner;
    CSessionBusNotifier notifier(c.program);
    CRunWatch watch(inner, log, &notifier);
    FailRun(watch, log, "nightly", "Backup /src/a Failed.");
    const std::vector<LogRow> rows = NoticeRows(log, 1);
    ASSERT_EQ(rows.size(), 1u) << c.what;
    EXPECT_NE(rows[0][2].find("The desktop notice \"Backup nightly ended with errors\" could not be shown: "),
              std::string::npos)
        << c.what << ": " << rows[0][2];
    EXPECT_NE(rows[0][2].find(c.reason), std::string::npos) << c.what << ": " << rows[0][2];
    // The row is no failure of the next run, which succeeds and is told to nobody (without a bus,
    // a notice would leave its row at once).
    log.LogActionText(LOG_BACKUPEND, "Backup End.");
    watch.OnJobEnded(EndOf(RunOutcome::Completed, {}));
    EXPECT_EQ(NoticeRows(log).size(), 1u) << c.what;
  }
}

}  // namespace
}  // namespace tarnwick::test
