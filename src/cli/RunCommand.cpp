// tarnwick-cli run NAME [--log FILE]: runs a saved profile now, the way the editor's "Backup Now"
// runs a saved quick profile, and prints its log rows as they happen.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/HeadlessSession.h"
#include "cli/KeyPassphraseInput.h"
#include "cli/SavedProfile.h"
#include "cli/StopSignals.h"
#include "engine/BackupController.h"
#include "profiles/Profile.h"

namespace tarnwick::cli {
namespace {

struct RunArguments {
  std::string name;
  std::string logFile;
  bool passphraseFromStdin = false;
};

bool ParseArguments(const std::vector<std::string>& args, RunArguments& parsed) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--log") {
      if (i + 1 >= args.size()) return false;
      parsed.logFile = args[++i];
    } else if (args[i] == kPassphraseStdinOption) {
      parsed.passphraseFromStdin = true;
    } else if (parsed.name.empty() && !args[i].empty()) {
      parsed.name = args[i];
    } else {
      return false;
    }
  }
  return !parsed.name.empty();
}

// The log file keeps the log's own naming (".log" appended to the chosen name), except that a
// name already ending in ".log" is used as it is.
std::string ChosenLogName(const std::string& file) {
  const std::string extension = ".log";
  if (file.size() > extension.size() &&
      file.compare(file.size() - extension.size(), extension.size(), extension) == 0) {
    return file.substr(0, file.size() - extension.size());
  }
  return file;
}

}  // namespace

int ExitCodeOf(const RunReport& report) {
  switch (report.outcome) {
    case RunOutcome::Completed: return kExitOk;
    case RunOutcome::CouldNotStart: return kExitCannotStart;
    default: return kExitFailed;
  }
}

namespace {

int RunProfile(const std::vector<std::string>& args) {
  RunArguments parsed;
  if (!ParseArguments(args, parsed)) {
    std::fprintf(stderr, "tarnwick-cli: usage: run NAME [--log FILE] [--passphrase-stdin]\n");
    return kExitCannotStart;
  }
  ConsolePrompts prompts(stderr);
  Profile profile;
  if (const int read = ReadSavedProfile(parsed.name, profile, prompts); read != kExitOk) return read;
  AskKeyPassphrases(profile, stdin, parsed.passphraseFromStdin);

  HeadlessSession session(::isatty(STDERR_FILENO) != 0);
  // The rows go to the console as they come; they are held only for a log file written at the end.
  session.log.KeepRows(!parsed.logFile.empty());
  CBackupController& controller = session.controller;
  CStopSignals signals([&controller] { controller.Stop(); });

  // A scheduled profile runs the same way; its file is not rewritten.
  RunReport report;
  if (controller.RunNow(profile) == CBackupController::StartResult::Started) {
    if (signals.Received()) controller.Stop();  // a signal before the worker ran
    controller.WaitForJobEnd();
    report = controller.LastReport();
  } else {
    // Why was shown already.
    report = RunReport::CouldNotStart(profile.name, session.clock.Now(), {});
  }

  bool saved = true;
  if (!parsed.logFile.empty()) saved = session.log.Save(ChosenLogName(parsed.logFile), prompts);
  const int code = ExitCodeOf(report);
  return code == kExitOk && !saved ? kExitFailed : code;
}

const CliCommandRegistration registration(
    {"run", "NAME [--log FILE] [--passphrase-stdin]",
     "run a saved profile now and print its log (exit 0 only when it fully succeeded)", RunProfile});

}  // namespace
}  // namespace tarnwick::cli
