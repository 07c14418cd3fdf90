// tarnwick-cli log [--last]: the run history the background service keeps in the data folder, the
// rows of this month, or with --last those of the last run, and where that run ended.
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ControlCharacters.h"
#include "app/FormatTexts.h"
#include "cli/CliCommand.h"
#include "cli/ConsoleReporter.h"
#include "engine/RunReport.h"
#include "log/RunLogFile.h"

namespace tarnwick::cli {
namespace {

int ShowLog(const std::vector<std::string>& args) {
  const bool lastOnly = args.size() == 1 && args[0] == "--last";
  if (!args.empty() && !lastOnly) {
    std::fprintf(stderr, "tarnwick-cli: usage: log [--last]\n");
    return kExitCannotStart;
  }
  const auto folder = CRunLogFile::DefaultFolder();
  const auto files = CRunLogFile::MonthFiles(folder);
  if (files.empty()) {
    std::fprintf(stderr, "tarnwick-cli: no run history in %s (the background service writes it)\n", folder.c_str());
    return kExitFailed;
  }
  std::vector<LogRow> rows;
  Status unreadable;
  std::string result;
  if (lastOnly) {
    LastRun last = CRunLogFile::FindLastRun(folder);
    const std::optional<RunReport> report = ReportOfRows(last.rows);
    // The rows are the history's: what they hold is escaped like the rows themselves.
    result = EscapeControlCharacters(last.profileName) + ": " +
             (report ? ReportSummary(*report) : std::string("still running or cut off"));
    rows = std::move(last.rows);
    unreadable = last.unreadable;
  } else if (const IoResult read = ReadLogFile(files.back().string(), rows); !read.ok()) {
    unreadable = FileStatus(files.back().string(), read);
  }
  if (!unreadable.ok()) {
    std::fprintf(stderr, "tarnwick-cli: cannot read the run history: %s\n", unreadable.ToString().c_str());
    return kExitFailed;
  }
  for (const LogRow& row : rows) std::fputs(ConsoleRowText(row).c_str(), stdout);
  if (!result.empty()) std::printf("%s\n", result.c_str());
  std::fprintf(stderr, "tarnwick-cli: from %s\n", lastOnly ? folder.c_str() : files.back().c_str());
  return kExitOk;
}

const CliCommandRegistration registration(
    {"log", "[--last]", "print this month's run history of the background service (--last: its last run)", ShowLog});

}  // namespace
}  // namespace tarnwick::cli
