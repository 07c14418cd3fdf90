#include <string>
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

TEST(RunWatchTest, OnlyFailedRunsAreToldWithTheLogsTexts) {
  struct Case {
    const char* what;
    std::vector<std::pair<int, std::string>> rows;
    JobEnd end;
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {"success", {{LOG_BACKUPSTART, "start"}, {LOG_BACKUPEND, "Backup End."}}, {"p", 0, false}, {}},
      {"stopped without failures", {{LOG_BACKUPSTOPPED, "stopped"}}, {"p", 1, true}, {}},
      {"an ERROR row",
       {{LOG_ERROR, "cannot read a"}, {LOG_BACKUPEND, "End"}},
       {"p", 0, false},
       {"Backup p ended with errors|cannot read a"}},
      {"a failed login, stopped after it",
       {{LOG_LOGINFAILED, "530 no"}},
       {"p", 1, true},
       {"Backup p ended with errors|530 no"}},
      {"an exit code alone", {}, {"p", -2, false}, {"Backup p ended with errors|The backup ended with exit code -2."}},
      {"more failures than a notice quotes",
       {{LOG_ERROR, "e1"}, {LOG_CONNECTFAILED, "e2"}, {LOG_ERROR, "e3"}, {LOG_ERROR, "e4"}, {LOG_ERROR, "e5"}},
       {"p", 0, false},
       {"Backup p ended with errors|e1\ne2\ne3\n... and 2 more in the log"}},
  };
  for (const Case& c : cases) {
    FixedClock clock;
    CActivityLog log(clock);
    RecordingObserver inner;
    RecordingNotifier notifier;
    CRunWatch watch(inner, log, &notifier);
    log.LogActionText(LOG_ERROR, "a failure of an earlier run");
    watch.OnJobEnded({"earlier", 0, false});
    notifier.sent.clear();
    for (const auto& [code, text] : c.rows) log.LogActionText(code, text);
    watch.OnJobEnded(c.end);
    EXPECT_EQ(notifier.sent, c.sent) << c.what;
    EXPECT_EQ(inner.Ends().size(), 2u) << c.what << ": every end reaches the front end";
  }
}

TEST(RunWatchTest, LaunchFailuresAndMissedRunsAreToldAndStartTheNextRunClean) {
  FixedClock clock;
  CActivityLog log(clock);
  RecordingObserver inner;
  RecordingNotifier notifier;
  CRunWatch watch(inner, log, &notifier);
  const Status refused = Status::InvalidArgument("Cannot open x");
  log.LogActionText(LOG_ERROR, refused.ToString());
  watch.OnLaunchFailed("a", refused);
  log.LogActionText(LOG_ERROR, "missed row");
  watch.OnRunMissed("b", "missed row");
  watch.OnJobEnded({"c", 0, false});
  EXPECT_EQ(notifier.sent, (std::vector<std::string>{"Backup a could not start|" + refused.ToString(),
                                                     "Backup b was missed|missed row"}));
  EXPECT_EQ(inner.LaunchFailures(), (std::vector<std::string>{"a"}));
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

}  // namespace
}  // namespace tarnwick::test
