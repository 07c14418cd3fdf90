#include "engine/SessionBusNotifier.h"

#include <pthread.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "app/ChildProcess.h"
#include "app/StringTable.h"
#include "app/Utf8Text.h"

namespace tarnwick {

CSessionBusNotifier::CSessionBusNotifier(std::string gdbusProgram) : program_(std::move(gdbusProgram)) {
  // The thread starts with every signal blocked: signals are the business of the program's own
  // handling (the monitor waits for SIGINT and SIGTERM on a thread of its own), and one taken by
  // this thread would end the process.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &previous);
  thread_ = std::thread([this] { DeliverAll(); });
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

CSessionBusNotifier::~CSessionBusNotifier() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool CSessionBusNotifier::SessionBusPresent() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address != nullptr && *address != '\0') return true;
  // A systemd user session has its bus there without always naming it in the environment.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || *runtime == '\0') return false;
  struct stat info {};
  return ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

std::string CSessionBusNotifier::GVariantString(const std::string& text) {
  std::string literal = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': literal += "\\\""; break;
      case '\\': literal += "\\\\"; break;
      case '\n': literal += "\\n"; break;
      case '\t': literal += "\\t"; break;
      case '\r': literal += "\\r"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          literal += escaped;
        } else {
          literal += c;
        }
    }
  }
  return literal + "\"";
}

std::vector<std::string> CSessionBusNotifier::NotifyArguments(const std::string& summary, const std::string& body) {
  // Typed literals throughout: gdbus guesses the types when it cannot introspect the server, and
  // a bare 0 would go as an int32 where Notify takes a uint32.
  return {"call",
          "--session",
          "--timeout",
          std::to_string(kCallTimeoutSeconds),
          "--dest",
          "org.freedesktop.Notifications",
          "--object-path",
          "/org/freedesktop/Notifications",
          "--method",
          "org.freedesktop.Notifications.Notify",
          GVariantString("Tarnwick"),
          "uint32 0",
          GVariantString(""),
          GVariantString(summary),
          GVariantString(body),
          "@as []",
          "@a{sv} {}",
          "int32 -1"};
}

void CSessionBusNotifier::Send(const std::string& summary, const std::string& body) {
  if (!SessionBusPresent()) {
    LogNotShown(summary, LoadString(IDS_NOTICE_NO_BUS));
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (queue_.size() < kMostWaiting) {
      queue_.emplace_back(summary, body);
      wake_.notify_all();
      return;
    }
  }
  LogNotShown(summary, LoadString(IDS_NOTICE_TOO_MANY));
}

void CSessionBusNotifier::DeliverAll() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
    if (queue_.empty()) return;
    const Notice notice = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    Deliver(notice);
    lock.lock();
  }
}

void CSessionBusNotifier::Deliver(const Notice& notice) {
  std::vector<std::string> args = NotifyArguments(notice.first, notice.second);
  args.insert(args.begin(), program_);
  // Its reply ("(uint32 7,)") is of no use; its complaints are the reason when it fails.
  std::string complaint;
  const int status = RunProgramForErrors(args, &complaint);
  if (status == 0) return;
  while (!complaint.empty() && (complaint.back() == '\n' || complaint.back() == ' ')) complaint.pop_back();
  if (!complaint.empty()) {
    LogNotShown(notice.first, ReadableUtf8(complaint, false));
  } else if (status == 127) {
    LogNotShown(notice.first, FormatString(IDS_NOTICE_NOT_STARTED, program_.c_str()));
  } else {
    LogNotShown(notice.first, FormatString(IDS_NOTICE_EXIT_STATUS, program_.c_str(), status));
  }
}

}  // namespace tarnwick
