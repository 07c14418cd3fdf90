#include "cli/ConsoleReporter.h"

#include "app/ControlCharacters.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace tarnwick {

namespace {

std::size_t TerminalColumns(std::FILE* stream) {
  struct winsize size {};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// The last `width` columns of `text`, led by "..." when cut; never splits a UTF-8 character.
std::string FitToWidth(const std::string& text, std::size_t width) {
  if (text.size() <= width || width < 4) return text;
  std::size_t start = text.size() - (width - 3);
  while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  return "..." + text.substr(start);
}

}  // namespace

std::string ConsoleRowText(const LogRow& row) {
  return EscapeControlCharacters(row[0]) + "\t" + EscapeControlCharacters(row[1]) + "\t" +
         EscapeControlCharacters(row[2]) + "\n";
}

void CConsoleReporter::OnStatusText(const std::string& text) {
  MutexLock lock(mutex_);
  status_ = text;
  DrawProgressLocked();
}

void CConsoleReporter::OnClearStatus() {
  MutexLock lock(mutex_);
  status_.clear();
  EraseProgressLocked();
}

void CConsoleReporter::OnProgress(long long position, long long range) {
  MutexLock lock(mutex_);
  percent_ = range > 0 ? position * 100 / range : -1;
  DrawProgressLocked();
}

void CConsoleReporter::OnResetProgress() {
  MutexLock lock(mutex_);
  percent_ = -1;
  EraseProgressLocked();
}

void CConsoleReporter::OnRowInserted(std::size_t, const LogRow& row) {
  MutexLock lock(mutex_);
  const bool hadProgress = progressShown_;
  EraseProgressLocked();
  std::fputs(ConsoleRowText(row).c_str(), rows_);
  std::fflush(rows_);
  if (hadProgress) DrawProgressLocked();
}

void CConsoleReporter::DrawProgressLocked() {
  if (progress_ == nullptr || status_.empty()) return;
  std::string line = EscapeControlCharacters(status_);
  if (percent_ >= 0) line += " | " + std::to_string(percent_) + "%";
  std::fprintf(progress_, "\r\033[K%s", FitToWidth(line, TerminalColumns(progress_) - 1).c_str());
  std::fflush(progress_);
  progressShown_ = true;
}

void CConsoleReporter::EraseProgressLocked() {
  if (progress_ == nullptr || !progressShown_) return;
  std::fputs("\r\033[K", progress_);
  std::fflush(progress_);
  progressShown_ = false;
}

}  // namespace tarnwick
