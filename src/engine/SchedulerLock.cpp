#include "engine/SchedulerLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <utility>

#include "app/ControlCharacters.h"
#include "app/FormatTexts.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"

namespace tarnwick {
namespace {

int LockOnce(int fd, int operation) {
  int result = 0;
  do {
    result = ::flock(fd, operation | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

CSchedulerLock::CSchedulerLock(std::filesystem::path lockFile, std::string holderText)
    : path_(std::move(lockFile)), holderText_(std::move(holderText)) {}

void CSchedulerLock::AnswerStopRequests(CStopService::StopHandler onStop) { onStop_ = std::move(onStop); }

std::filesystem::path CSchedulerLock::SocketPathOf(const std::filesystem::path& lockFile) {
  return lockFile.parent_path() / kSocketName;
}

std::filesystem::path CSchedulerLock::DefaultPath() { return DataFolder() / kFileName; }

bool CSchedulerLock::TryAcquire() {
  if (held_) return true;
  if (!fd_.valid()) {
    // O_NOFOLLOW: a link planted at the lock's name must not make us create or truncate its target.
    if (const IoResult opened = OpenStoredFile(path_.string(), kLockFileLimit, fd_, O_RDWR | O_CREAT | O_NOFOLLOW);
        !opened.ok()) {
      error_ = FileStatus(path_.string(), opened);
      return false;
    }
    error_ = {};
  }
  if (LockOnce(fd_.get(), LOCK_EX) != 0) return false;
  held_ = true;
  WriteHolder();
  if (onStop_) {
    // Only now, holding the lock, may this process replace the socket of a holder that died.
    stopService_ = std::make_unique<CStopService>(SocketPathOf(path_), holderText_, onStop_);
    stopError_ = stopService_->Listen();
  }
  return true;
}

void CSchedulerLock::SetRunning(const std::string& profile) {
  if (!held_ || profile == running_) return;
  running_ = profile;
  WriteHolder();
}

void CSchedulerLock::WriteHolder() {
  // One line each: a line break in a profile's name cannot make up a fourth.
  std::string running = running_;
  for (char& c : running) {
    if (c == '\n') c = ' ';
  }
  const std::string text = holderText_ + '\n' + std::to_string(::getpid()) + '\n' + running;
  // Who holds it is only a hint for the others: a failure to write it costs nothing else. Written
  // in one call over the old text and cut after it, so a reader sees the old or the new lines.
  if (::pwrite(fd_.get(), text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
    (void)::ftruncate(fd_.get(), static_cast<off_t>(text.size()));
  }
}

void CSchedulerLock::Release() {
  if (!held_) return;
  stopService_.reset();
  (void)::ftruncate(fd_.get(), 0);
  fd_ = CFileDescriptor();  // closing the descriptor lets go of the lock
  held_ = false;
}

std::optional<std::string> CSchedulerLock::CurrentHolder(const std::filesystem::path& lockFile) {
  std::optional<Holder> holder = ReadHolder(lockFile);
  if (!holder) return std::nullopt;
  return std::move(holder->text);
}

std::optional<CSchedulerLock::Holder> CSchedulerLock::ReadHolder(const std::filesystem::path& lockFile,
                                                                 Status* unreadable) {
  CFileDescriptor fd;
  if (const IoResult opened = OpenStoredFile(lockFile.string(), kLockFileLimit, fd, O_RDONLY | O_NOFOLLOW);
      !opened.ok()) {
    if (unreadable != nullptr && opened.sysError != ENOENT) *unreadable = FileStatus(lockFile.string(), opened);
    return std::nullopt;
  }
  // A shared lock is only refused while someone holds the exclusive one; it goes with the descriptor.
  if (LockOnce(fd.get(), LOCK_SH) == 0) return std::nullopt;
  std::string text;
  (void)ReadAllUpTo(fd.get(), kLockFileLimit, text);
  Holder holder;
  const std::size_t first = text.find('\n');
  holder.text = text.substr(0, first);
  if (first == std::string::npos) return holder;  // only the text, or nothing yet
  const std::size_t second = text.find('\n', first + 1);
  const std::string_view process =
      std::string_view(text).substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  long value = 0;
  const auto [end, error] = std::from_chars(process.data(), process.data() + process.size(), value);
  if (error == std::errc() && end == process.data() + process.size() && value > 0) {
    holder.process = static_cast<pid_t>(value);
  }
  if (second != std::string::npos) holder.running = text.substr(second + 1);
  return holder;
}

Status CSchedulerLock::RequestStop(const std::filesystem::path& lockFile, StopAnswer& answer) {
  return AskToStop(SocketPathOf(lockFile), answer);
}

std::string CSchedulerLock::StopAnsweredText(const StopAnswer& answer) {
  if (answer.kind != StopAnswer::Kind::Stopping) return LoadString(IDS_NO_BACKUP_TO_STOP);
  return FormatString(IDS_STOP_REQUESTED, EscapeControlCharacters(answer.holder).c_str(),
                      EscapeControlCharacters(answer.detail).c_str());
}

}  // namespace tarnwick
