#include "cli/KeyPassphraseInput.h"

#include <termios.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "app/StringTable.h"
#include "engine/FtpJobConnection.h"
#include "ftp/KeyPassphrase.h"

namespace tarnwick::cli {
namespace {

// Turns the terminal's echo off while it lives.
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) tcsetattr(fd_, TCSAFLUSH, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  int fd_;
  termios saved_{};
  bool active_ = false;
};

std::string ReadLine(std::FILE* input) {
  std::string line;
  for (int c = std::fgetc(input); c != EOF && c != '\n'; c = std::fgetc(input)) line.push_back(static_cast<char>(c));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

void AskKeyPassphrases(const Profile& profile, std::FILE* input, bool fromPipe) {
  const int fd = fileno(input);
  const bool terminal = fd >= 0 && isatty(fd) != 0;
  if (!terminal && !fromPipe) return;
  for (const std::string& key : KeysAwaitingPassphrase(profile)) {
    std::fprintf(stderr, "%s ", FormatString(IDS_KEY_PASSPHRASE_PROMPT, key.c_str()).c_str());
    std::fflush(stderr);
    std::string passphrase;
    {
      std::optional<EchoOff> quiet;
      if (terminal) quiet.emplace(fd);
      passphrase = ReadLine(input);
    }
    std::fputc('\n', stderr);
    if (!passphrase.empty()) RememberKeyPassphrase(key, passphrase);
  }
}

}  // namespace tarnwick::cli
