// tarnwick-cli verify NAME: checks what a saved profile's backup left at its destination, without
// backing anything up, and prints the check's rows as they happen. --read-back does for this check
// what the profile's "Verify by reading back" does.
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
#include "engine/BackupJob.h"
#include "engine/BackupVerify.h"
#include "profiles/Profile.h"

namespace tarnwick::cli {
namespace {

constexpr const char* kReadBackOption = "--read-back";

int VerifyProfile(const std::vector<std::string>& args) {
  bool passphraseFromStdin = false, readBack = false;
  bool understood = !args.empty() && !args[0].empty();
  for (std::size_t i = 1; i < args.size() && understood; ++i) {
    bool* option = args[i] == kPassphraseStdinOption ? &passphraseFromStdin
                   : args[i] == kReadBackOption      ? &readBack
                                                     : nullptr;
    understood = option != nullptr && !*option;  // each known option at most once
    if (understood) *option = true;
  }
  if (!understood) {
    std::fprintf(stderr, "tarnwick-cli: usage: verify NAME [--read-back] [--passphrase-stdin]\n");
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

  // The profile's "Verify by reading back", or asked for this once.
  job.readBack = job.readBack || readBack;

  HeadlessSession session(::isatty(STDERR_FILENO) != 0);
  std::atomic<bool> stop{false};
  const CStopSignals signals([&stop] { stop.store(true, std::memory_order_release); });
  session.controller.LogTaskStart(profile.name);
  JobContext context{job, session.log, session.reporter, stop};
  const int result = RunVerifyJob(context, made.kind);
  return result == VERIFYJOB_MATCHED && context.tally.Counts().failureRows == 0 ? kExitOk : kExitFailed;
}

const CliCommandRegistration registration(
    {"verify", "NAME [--read-back] [--passphrase-stdin]",
     "check a saved profile's backup at its destination without backing up (exit 0 only when all of it matches); "
     "--read-back downloads copies on servers and compares their bytes instead of trusting SIZE and HASH",
     VerifyProfile});

}  // namespace
}  // namespace tarnwick::cli
