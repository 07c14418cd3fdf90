#include "engine/SchedulerLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <mutex>
#include <optional>

#include "support/PausedChild.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::TempDir;

// Another process holds the lock until the test lets it go: the lock is between processes, and a
// holder that ends lets it go without any step of its own. By default it is a CSchedulerLock with
// `text`; with `forged`, it takes the flock itself and writes those lines, as a forger would (or a
// monitor in another pid namespace, with its own numbers).
class OtherHolder {
 public:
  OtherHolder(const std::filesystem::path& lockFile, const std::string& text, bool forged = false) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(release_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(release_[1]);  // else the child would wait for itself
      CSchedulerLock lock(lockFile, text);
      const char held = (forged ? Forge(lockFile, text) : lock.TryAcquire()) ? 'y' : 'n';
      (void)::write(ready[1], &held, 1);
      char ignored;
      (void)::read(release_[0], &ignored, 1);
      ::_exit(0);  // no release: the process's end lets go
    }
    ::close(ready[1]);
    ::close(release_[0]);
    if (::read(ready[0], &held_, 1) != 1) held_ = 'n';
    ::close(ready[0]);
  }
  ~OtherHolder() { End(); }

  bool Held() const { return held_ == 'y'; }
  void End() {
    if (pid_ <= 0) return;
    ::close(release_[1]);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  static bool Forge(const std::filesystem::path& lockFile, const std::string& lines) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
           ::write(fd, lines.data(), lines.size()) == static_cast<ssize_t>(lines.size());
  }

  pid_t pid_ = -1;
  int release_[2] = {-1, -1};
  char held_ = 'n';
};

TEST(SchedulerLockTest, OnlyOneProcessHoldsItAndTheOtherTakesOverWhenItEnds) {
  TempDir dir;
  const auto path = dir / CSchedulerLock::kFileName;
  EXPECT_EQ(CSchedulerLock::CurrentHolder(path), std::nullopt) << "no lock file yet";

  OtherHolder service(path, "the service, process 1");
  ASSERT_TRUE(service.Held());
  CSchedulerLock window(path, "the window, process 2");
  EXPECT_FALSE(window.TryAcquire());
  EXPECT_FALSE(window.TryAcquire()) << "asked again at the next tick";
  EXPECT_TRUE(window.error().ok());
  EXPECT_EQ(CSchedulerLock::CurrentHolder(path), "the service, process 1");

  service.End();
  EXPECT_EQ(CSchedulerLock::CurrentHolder(path), std::nullopt);
  ASSERT_TRUE(window.TryAcquire());
  EXPECT_EQ(CSchedulerLock::CurrentHolder(path), "the window, process 2");
  CSchedulerLock second(path, "a second window");
  EXPECT_FALSE(second.TryAcquire()) << "two holders in one process are refused too";

  window.Release();
  EXPECT_TRUE(second.TryAcquire());
}

TEST(SchedulerLockTest, TheHolderSaysWhatItRunsAndAnswersAStopRequestOnItsSocket) {
  TempDir dir;
  const auto path = dir / CSchedulerLock::kFileName;
  StopAnswer answer;
  EXPECT_EQ(CSchedulerLock::RequestStop(path, answer).code(), StatusCode::NotFound) << "nobody holds it";

  std::atomic<int> stops{0};
  std::mutex mutex;
  std::string running;  // what the holder's backup is, as its stop handler sees it
  CSchedulerLock lock(path, "the service");
  lock.AnswerStopRequests([&]() -> std::optional<std::string> {
    ++stops;
    std::lock_guard guard(mutex);
    if (running.empty()) return std::nullopt;
    return running;
  });
  ASSERT_TRUE(lock.TryAcquire());
  ASSERT_TRUE(lock.stopError().ok()) << lock.stopError().ToString();
  auto holder = CSchedulerLock::ReadHolder(path);
  ASSERT_TRUE(holder.has_value());
  EXPECT_EQ(holder->text, "the service");
  EXPECT_EQ(holder->process, ::getpid());
  EXPECT_EQ(holder->running, "");
  ASSERT_TRUE(CSchedulerLock::RequestStop(path, answer).ok());
  EXPECT_EQ(answer.kind, StopAnswer::Kind::Idle) << "it runs nothing";
  EXPECT_EQ(CSchedulerLock::StopAnsweredText(answer), "No scheduled backup is running in the background.");

  lock.SetRunning("night\nly");
  EXPECT_EQ(CSchedulerLock::CurrentHolder(path), "the service");
  EXPECT_EQ(CSchedulerLock::ReadHolder(path)->running, "night ly") << "a line break cannot add a line";
  {
    std::lock_guard guard(mutex);
    running = "night\nly";
  }
  ASSERT_TRUE(CSchedulerLock::RequestStop(path, answer).ok());
  EXPECT_EQ(answer.kind, StopAnswer::Kind::Stopping);
  EXPECT_EQ(answer.holder, "the service");
  EXPECT_EQ(answer.detail, "night\nly") << "the answer carries the name whole";
  EXPECT_EQ(CSchedulerLock::StopAnsweredText(answer), "the service is stopping the backup of night\\x0Aly.");
  EXPECT_EQ(stops.load(), 2);

  lock.Release();
  EXPECT_FALSE(CSchedulerLock::ReadHolder(path).has_value());
  EXPECT_EQ(CSchedulerLock::RequestStop(path, answer).code(), StatusCode::NotFound) << "its socket went with it";
}

TEST(SchedulerLockTest, AStopRequestNeverSignalsTheProcessTheLockFileNames) {
  const pid_t standIn = test::PausedChild();  // somebody else's process, named in the file
  ASSERT_GT(standIn, 0);
  const std::string forgedNumbers[] = {std::to_string(standIn), std::to_string(4294967296LL + standIn), "1"};
  for (const std::string& number : forgedNumbers) {
    SCOPED_TRACE(number);
    TempDir dir;
    const auto path = dir / CSchedulerLock::kFileName;
    OtherHolder forger(path, "the background service\n" + number + "\nnightly", /*forged=*/true);
    ASSERT_TRUE(forger.Held());
    ASSERT_EQ(CSchedulerLock::ReadHolder(path)->running, "nightly");
    StopAnswer answer;
    const Status asked = CSchedulerLock::RequestStop(path, answer);
    EXPECT_EQ(asked.code(), StatusCode::NotFound) << "it listens on no socket: " << asked.ToString();
    EXPECT_NE(asked.message().find("No background service answers at"), std::string::npos) << asked.message();
    EXPECT_EQ(::waitpid(standIn, nullptr, WNOHANG), 0) << "the process named in the file lives on";
  }
  ::kill(standIn, SIGKILL);
  ::waitpid(standIn, nullptr, 0);
}

TEST(SchedulerLockTest, ALockFileThatCannotBeMadeIsAnErrorNotAHolder) {
  TempDir dir;
  CSchedulerLock lock(dir / "missing-folder" / CSchedulerLock::kFileName, "x");
  EXPECT_FALSE(lock.TryAcquire());
  EXPECT_EQ(lock.error().code(), StatusCode::IoError);
}

}  // namespace
}  // namespace tarnwick
