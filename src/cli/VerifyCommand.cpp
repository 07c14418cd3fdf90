// tarnwick-cli verify NAME: checks what a saved profile's backup left at its destination, without
// backing anything up, and prints the check's rows as they happen.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/HeadlessSession.h"
#include "cli/KeyPassphraseInput.h"
#include "cli/SavedProfile.h"
#include "cli/StopSignals.h"
#include "engine/BackupVerify.h"
#include "profiles/Profile.h"

namespace tarnwick::cli {
namespace {

int VerifyProfile(const std::vector<std::string>& args) {
  const bool passphraseFromStdin = args.size() == 2 && args[1] == kPassphraseStdinOption;
  if ((args.size() != 1 && !passphraseFromStdin) || args[0].empty()) {
    std::fprintf(stderr, "tarnwick-cli: usage: verify NAME [--passphrase-stdin]\n");
    return kExitCannotStart;
  }
  ConsolePrompts prompts(stderr);
  Profile profile;
  if (const int read = ReadSavedProfile(args[0], profile, prompts); read != kExitOk) return read;
  AskKeyPassphrases(profile, stdin, passphraseFromStdin);
  // The same checks as a run: a profile that could not run has no backup to check.
  if (const Status problem = ProfileProblem(profile); !problem.ok()) {
    prompts.ShowMessage(problem.ToString());
    return kExitCannotStart;
  }
  BackupJob job;
  const MakeJobResult made = MakeJob(profile, job, std::time(nullptr));
  if (!made.status.ok()) {
    prompts.ShowMessage(made.status.ToString());
    return kExitCannotStart;
  }

  HeadlessSession session(::isatty(STDERR_FILENO) != 0);
  std::atomic<bool> stop{false};
  const CStopSignals signals([&stop] { stop.store(true, std::memory_order_release); });
  session.controller.LogTaskStart(profile.name);
  JobContext context{job, session.log, session.reporter, stop};
  const int result = RunVerifyJob(context, made.kind);
  return result == VERIFYJOB_MATCHED && !session.reporter.Outcome().failed ? kExitOk : kExitFailed;
}

const CliCommandRegistration registration(
    {"verify", "NAME [--passphrase-stdin]",
     "check a saved profile's backup at its destination without backing up (exit 0 only when all of it matches)",
     VerifyProfile});

}  // namespace
}  // namespace tarnwick::cli
