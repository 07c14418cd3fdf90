// The result of an operation at the core's seams: success, or what failed (a kind, the system's
// error number, the file or folder it concerns, and a message a user can read). A front end shows
// ToString(); code, sysError and path are for callers that act on the failure.
#pragma once

#include <string>
#include <utility>

namespace tarnwick {

enum class StatusCode {
  Ok,
  NotFound,         // a file, folder, profile or account that is not there
  IoError,          // the system refused a read, write, rename or delete (sysError says why)
  InvalidArgument,  // a value the caller or user gave that cannot be used (a bad name, a path too long)
  Corrupt,          // a stored file that could not be read as its format says
  Busy,             // another job or process holds what was asked for
  NetworkError,     // the server could not be reached or stopped answering
  Refused,          // the server or the system said no (a login, a permission)
  Stopped,          // the user stopped the operation
};

class [[nodiscard]] Status {
 public:
  // Success.
  Status() = default;

  static Status Ok() { return {}; }
  // `path` could not be read, written, renamed or removed; the message is the system's reason.
  static Status IoError(std::string path, int sysError);
  // The same with the whole text the user reads (a string-table text that speaks of the file in
  // its own words): ToString gives `text` as it is.
  static Status IoError(std::string path, int sysError, std::string text);
  static Status NotFound(std::string path, std::string message = {});
  static Status InvalidArgument(std::string message, std::string path = {});
  static Status Corrupt(std::string path, std::string message);
  static Status Busy(std::string message);
  static Status NetworkError(std::string message, std::string path = {});
  static Status Refused(std::string message, std::string path = {});
  static Status Stopped();

  bool ok() const { return code_ == StatusCode::Ok; }
  StatusCode code() const { return code_; }
  int sysError() const { return sysError_; }
  const std::string& path() const { return path_; }
  const std::string& message() const { return message_; }

  // "path: message"; the message alone when no path is known or the message is a whole text;
  // empty for success.
  std::string ToString() const;

 private:
  Status(StatusCode code, int sysError, std::string path, std::string message, bool wholeText = false)
      : code_(code), sysError_(sysError), path_(std::move(path)), message_(std::move(message)), wholeText_(wholeText) {}

  StatusCode code_ = StatusCode::Ok;
  int sysError_ = 0;
  std::string path_;
  std::string message_;
  bool wholeText_ = false;  // the message needs no path in front
};

// The system's text for an errno value, as strerror gives it, but safe to call from any thread.
std::string SystemErrorText(int sysError);

}  // namespace tarnwick
