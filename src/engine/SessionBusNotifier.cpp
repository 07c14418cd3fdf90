#include "engine/SessionBusNotifier.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/ChildProcess.h"

namespace tarnwick {

CSessionBusNotifier::~CSessionBusNotifier() {
  std::lock_guard lock(mutex_);
  ReapLocked();
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
  if (!SessionBusPresent()) return;
  std::vector<std::string> args = NotifyArguments(summary, body);
  args.insert(args.begin(), program_);
  std::lock_guard lock(mutex_);
  ReapLocked();
  // Its reply ("(uint32 7,)") and complaints must not mix with the monitor's rows.
  if (const pid_t child = StartProgram(args, ChildOutput::Discard); child > 0) children_.push_back(child);
}

void CSessionBusNotifier::ReapLocked() { std::erase_if(children_, ReapProgram); }

}  // namespace tarnwick
