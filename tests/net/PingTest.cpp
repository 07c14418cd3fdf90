#include "net/PingThread.h"
#include "net/PingWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

struct PingLine {
  int kind;
  long atMs;  // since the observer was made
  std::string text;
};

// Records a run from the worker's thread; the test waits for its end.
class RecordingWindow : public PingObserver {
 public:
  void OnPingLine(int kind, const std::string& text) override {
    std::lock_guard lock(mutex_);
    lines_.push_back({kind, Elapsed(), text});
  }
  void OnPingDone(int reachedEnd) override {
    std::lock_guard lock(mutex_);
    done_.push_back(reachedEnd);
    changed_.notify_all();
  }
  // Waits for `runs` done signals; false when they do not come in time.
  bool WaitDone(std::size_t runs = 1, std::chrono::seconds limit = std::chrono::seconds(30)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return done_.size() >= runs; });
  }
  std::vector<PingLine> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<int> Done() {
    std::lock_guard lock(mutex_);
    return done_;
  }

 private:
  long Elapsed() const {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
  }
  const Clock::time_point start_ = Clock::now();
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<PingLine> lines_;
  std::vector<int> done_;
};

const char* KindName(PingSocketKind kind) {
  switch (kind) {
    case PingSocketKind::Datagram: return "datagram";
    case PingSocketKind::Raw: return "raw";
    default: return "none";
  }
}

// Started with TARNWICK_PING_CHILD=HOST (inside a network namespace made by the tests below),
// this program pings HOST, prints what it saw and ends before any test runs.
const bool kChildRun = [] {
  const char* host = std::getenv("TARNWICK_PING_CHILD");
  if (host == nullptr) return false;
  RecordingWindow window;
  CPingWorker worker;
  worker.Ping(4, host, &window);
  std::printf("socket %s\n", KindName(worker.SocketKind()));
  for (const PingLine& line : window.Lines()) std::printf("line %d %ld %s\n", line.kind, line.atMs, line.text.c_str());
  for (int done : window.Done()) std::printf("done %d\n", done);
  std::fflush(stdout);
  std::_Exit(0);
}();

const std::regex kReplyLine(R"(Reply\[(\d)\] from: 127\.0\.0\.1: bytes=32 time=\d+ms TTL=[1-9]\d*)");

// Four replies to the header, numbered 1 to 4, about a second apart.
void ExpectFourReplies(const std::vector<PingLine>& lines) {
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].kind, PING_LINE_HEADER);
  EXPECT_EQ(lines[0].text, "Pinging 127.0.0.1 [127.0.0.1] with 32 bytes of data:");
  for (int i = 1; i <= 4; ++i) {
    std::smatch match;
    EXPECT_EQ(lines[i].kind, PING_LINE_REPLY) << lines[i].text;
    ASSERT_TRUE(std::regex_match(lines[i].text, match, kReplyLine)) << lines[i].text;
    EXPECT_EQ(match[1], std::to_string(i));
    if (i > 1) {
      const long gap = lines[i].atMs - lines[i - 1].atMs;
      EXPECT_GE(gap, 900) << lines[i].text;
      EXPECT_LE(gap, 1600) << lines[i].text;
    }
  }
}

bool NoSocket(const std::vector<PingLine>& lines) {
  return !lines.empty() && lines[0].text.rfind("socket() - WSAError: ", 0) == 0;
}

TEST(Ping, LoopbackAnswersFourTimes) {
  RecordingWindow window;
  CPingWorker worker;
  EXPECT_TRUE(worker.Ping(4, "127.0.0.1", &window) || NoSocket(window.Lines()));
  const std::vector<PingLine> lines = window.Lines();
  if (NoSocket(lines)) GTEST_SKIP() << "this user may open no ICMP socket: " << lines[0].text;
  std::printf("socket kind used here: %s\n", KindName(worker.SocketKind()));
  ExpectFourReplies(lines);
  EXPECT_EQ(window.Done(), std::vector<int>{1});
}

TEST(Ping, UnknownHostIsReportedAndEndsTheRun) {
  RecordingWindow window;
  {
    CPingThread thread;
    thread.RequestPing(4, "tarnwick-test.invalid", &window);
    ASSERT_TRUE(window.WaitDone());
  }
  const std::vector<PingLine> lines = window.Lines();
  if (NoSocket(lines)) GTEST_SKIP() << "this user may open no ICMP socket: " << lines[0].text;
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].kind, PING_LINE_ERROR);
  EXPECT_EQ(lines[0].text, "Host not found: tarnwick-test.invalid");
  EXPECT_EQ(window.Done(), std::vector<int>{0});
}

TEST(PingThread, ServesRequestsOneAfterAnotherAndStopsWhenIdle) {
  RecordingWindow first, second;
  const auto start = Clock::now();
  {
    CPingThread thread;
    thread.RequestPing(1, "127.0.0.1", &first);
    ASSERT_TRUE(first.WaitDone());
    thread.RequestPing(1, "also-not-here.invalid", &second);
    ASSERT_TRUE(second.WaitDone());
  }
  // One request each and no pause after the last: the whole thing is quick.
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  const std::vector<PingLine> lines = first.Lines();
  if (NoSocket(lines)) GTEST_SKIP() << "this user may open no ICMP socket: " << lines[0].text;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[1].text, kReplyLine)) << lines[1].text;
  EXPECT_EQ(first.Done(), std::vector<int>{1});
  EXPECT_EQ(second.Done(), std::vector<int>{0});
  // Ending the thread while it waits for work does not hang.
  CPingThread idle;
}

// ---- Runs inside a network namespace of the test's own ----

std::string RunShell(const std::string& command, int* status = nullptr) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    const int rc = ::pclose(pipe);
    if (status != nullptr) *status = rc;
  } else if (status != nullptr) {
    *status = -1;
  }
  return out;
}

class PingInNamespace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a network namespace";
    int status = 0;
    RunShell("command -v ip >/dev/null 2>&1", &status);
    if (status != 0) GTEST_SKIP() << "the ip tool (iproute2) is not installed";
    name_ = "tarnwick-ping-" + std::to_string(::getpid());
    const std::string out = RunShell("ip netns add " + name_ + " 2>&1", &status);
    if (status != 0) GTEST_SKIP() << "cannot make a network namespace: " << out;
    made_ = true;
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    self_ = std::string(self, static_cast<std::size_t>(length));
  }
  void TearDown() override {
    if (made_) RunShell("ip netns del " + name_ + " 2>&1");
  }

  struct ChildRun {
    std::string socket;
    std::vector<PingLine> lines;
    std::vector<int> done;
    std::string output;
  };

  // Pings 127.0.0.1 from this program started inside the namespace, after `setup` there
  // (shell commands) and through `wrapper` (a command prefix).
  ChildRun PingLoopback(const std::string& setup, const std::string& wrapper = "") {
    const std::string command = "ip netns exec " + name_ + " sh -c 'ip link set lo up && " + setup + " && exec " +
                                wrapper + " env TARNWICK_PING_CHILD=127.0.0.1 " + self_ + "' 2>&1";
    ChildRun run;
    run.output = RunShell(command);
    std::istringstream in(run.output);
    std::string word;
    while (in >> word) {
      if (word == "socket") {
        in >> run.socket;
      } else if (word == "line") {
        PingLine line{};
        in >> line.kind >> line.atMs;
        in.get();
        std::getline(in, line.text);
        run.lines.push_back(line);
      } else if (word == "done") {
        int done = 0;
        in >> done;
        run.done.push_back(done);
      } else {
        std::getline(in, word);
      }
    }
    return run;
  }

  static constexpr const char* kIgnoreEchoes = "echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all";
  static constexpr const char* kAllowDatagram = "echo \"0 2147483647\" > /proc/sys/net/ipv4/ping_group_range";
  static constexpr const char* kForbidDatagram = "echo \"1 0\" > /proc/sys/net/ipv4/ping_group_range";

  std::string name_;
  std::string self_;
  bool made_ = false;
};

TEST_F(PingInNamespace, HostThatNeverAnswersTimesOutFourTimes) {
  const ChildRun run = PingLoopback(kIgnoreEchoes);
  ASSERT_EQ(run.lines.size(), 5u) << run.output;
  EXPECT_EQ(run.lines[0].text, "Pinging 127.0.0.1 [127.0.0.1] with 32 bytes of data:");
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(run.lines[i].kind, PING_LINE_TIMEOUT);
    EXPECT_EQ(run.lines[i].text, "Request Timed Out");
    // Each waits a second for its reply; the next request follows at once.
    const long gap = run.lines[i].atMs - run.lines[i - 1].atMs;
    EXPECT_GE(gap, 950) << run.output;
    EXPECT_LE(gap, 1600) << run.output;
  }
  EXPECT_EQ(run.done, std::vector<int>{1});
}

// A datagram socket numbers its requests with its own port; the replies must still be found.
TEST_F(PingInNamespace, DatagramSocketWhereTheSystemAllowsIt) {
  const ChildRun run = PingLoopback(kAllowDatagram);
  EXPECT_EQ(run.socket, "datagram") << run.output;
  ExpectFourReplies(run.lines);
  EXPECT_EQ(run.done, std::vector<int>{1});
}

// A raw socket also sees the request itself on loopback; only the reply counts.
TEST_F(PingInNamespace, RawSocketOtherwise) {
  const ChildRun run = PingLoopback(kForbidDatagram);
  EXPECT_EQ(run.socket, "raw") << run.output;
  ExpectFourReplies(run.lines);
  EXPECT_EQ(run.done, std::vector<int>{1});
}

TEST_F(PingInNamespace, NoSocketForAnOrdinaryUser) {
  int status = 0;
  RunShell("command -v setpriv >/dev/null 2>&1", &status);
  if (status != 0) GTEST_SKIP() << "setpriv (util-linux) is not installed";
  const ChildRun run =
      PingLoopback(kForbidDatagram, "setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all");
  EXPECT_EQ(run.socket, "none") << run.output;
  ASSERT_EQ(run.lines.size(), 1u) << run.output;
  EXPECT_EQ(run.lines[0].kind, PING_LINE_ERROR);
  EXPECT_EQ(run.lines[0].text, "socket() - WSAError: 1");  // EPERM
  EXPECT_EQ(run.done, std::vector<int>{0});
}

}  // namespace
}  // namespace tarnwick
