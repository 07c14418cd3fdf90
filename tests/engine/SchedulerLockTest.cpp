#include "engine/SchedulerLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "support/PausedChild.h"
#include "support/TempDir.h"

namespace tarnwick {
namespace {

using test::TempDir;

// Another process holds the lock until the test lets it go: the lock is between processes, and a
// holder that ends lets it go without any step of its own.
class OtherHolder {
 public:
  OtherHolder(const std::filesystem::path& lockFile, const std::string& text) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(release_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(release_[1]);  // else the child would wait for itself
      CSchedulerLock lock(lockFile, text);
      const char held = lock.TryAcquire() ? 'y' : 'n';
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

TEST(SchedulerLockTest, TheHolderSaysWhatItRunsAndAStopRequestReachesItsProcess) {
  TempDir dir;
  const auto path = dir / CSchedulerLock::kFileName;
  CSchedulerLock::Holder asked;
  EXPECT_EQ(CSchedulerLock::RequestStop(path, asked).code(), StatusCode::NotFound) << "nobody holds it";

  const pid_t service = test::PausedChild();  // the holder's process
  ASSERT_GT(service, 0);
  CSchedulerLock lock(path, "the service", service);
  ASSERT_TRUE(lock.TryAcquire());
  auto holder = CSchedulerLock::ReadHolder(path);
  ASSERT_TRUE(holder.has_value());
  EXPECT_EQ(holder->text, "the service");
  EXPECT_EQ(holder->process, service);
  EXPECT_EQ(holder->running, "");
  EXPECT_EQ(CSchedulerLock::RequestStop(path, asked).code(), StatusCode::NotFound) << "it runs nothing";

  lock.SetRunning("night\nly");
  EXPECT_EQ(CSchedulerLock::CurrentHolder(path), "the service");
  EXPECT_EQ(CSchedulerLock::ReadHolder(path)->running, "night ly") << "a line break cannot add a line";
  ASSERT_TRUE(CSchedulerLock::RequestStop(path, asked).ok());
  EXPECT_EQ(asked.running, "night ly");
  int status = 0;
  ASSERT_EQ(::waitpid(service, &status, 0), service);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == CSchedulerLock::kStopSignal) << status;

  lock.SetRunning("");
  EXPECT_EQ(CSchedulerLock::ReadHolder(path)->running, "");
  lock.Release();
  EXPECT_FALSE(CSchedulerLock::ReadHolder(path).has_value());
}

TEST(SchedulerLockTest, ALockFileThatCannotBeMadeIsAnErrorNotAHolder) {
  TempDir dir;
  CSchedulerLock lock(dir / "missing-folder" / CSchedulerLock::kFileName, "x");
  EXPECT_FALSE(lock.TryAcquire());
  EXPECT_EQ(lock.error().code(), StatusCode::IoError);
}

}  // namespace
}  // namespace tarnwick
