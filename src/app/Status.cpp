#include "app/Status.h"

#include <cerrno>
#include <system_error>

namespace tarnwick {

Status Status::IoError(std::string path, int sysError) {
  return {StatusCode::IoError, sysError, std::move(path), SystemErrorText(sysError)};
}

Status Status::IoError(std::string path, int sysError, std::string text) {
  return {StatusCode::IoError, sysError, std::move(path), std::move(text), true};
}

Status Status::NotFound(std::string path, std::string message) {
  if (message.empty()) message = SystemErrorText(ENOENT);
  return {StatusCode::NotFound, ENOENT, std::move(path), std::move(message)};
}

Status Status::InvalidArgument(std::string message, std::string path) {
  return {StatusCode::InvalidArgument, 0, std::move(path), std::move(message)};
}

Status Status::Corrupt(std::string path, std::string message) {
  return {StatusCode::Corrupt, 0, std::move(path), std::move(message)};
}

Status Status::Busy(std::string message) { return {StatusCode::Busy, 0, {}, std::move(message)}; }

Status Status::NetworkError(std::string message, std::string path) {
  return {StatusCode::NetworkError, 0, std::move(path), std::move(message)};
}

Status Status::Refused(std::string message, std::string path) {
  return {StatusCode::Refused, 0, std::move(path), std::move(message)};
}

Status Status::Stopped() { return {StatusCode::Stopped, 0, {}, {}}; }

std::string Status::ToString() const {
  if (ok()) return {};
  if (path_.empty() || wholeText_) return message_;
  if (message_.empty()) return path_;
  return path_ + ": " + message_;
}

std::string SystemErrorText(int sysError) { return std::system_category().message(sysError); }

}  // namespace tarnwick
