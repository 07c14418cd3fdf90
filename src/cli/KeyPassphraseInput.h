// The passphrases of a profile's private keys, asked before a run: on the terminal with the echo
// off, or one line each from standard input when the command was told so (for scripts that hold
// the passphrase elsewhere). What is typed stays in this process's memory only.
#pragma once

#include <cstdio>

#include "profiles/Profile.h"

namespace tarnwick::cli {

// The option of `run` and `verify` that reads the passphrases from standard input.
inline constexpr const char* kPassphraseStdinOption = "--passphrase-stdin";

// Asks for each key of `profile` that needs a passphrase this process does not have. `input` is
// read a line per key; its prompts go to stderr, without echo when `input` is a terminal. A key
// whose line is missing or empty is left without one (the run then tries an SSH agent and says
// why it failed). Returns without asking when `input` is not a terminal and `fromPipe` is off.
void AskKeyPassphrases(const Profile& profile, std::FILE* input, bool fromPipe);

}  // namespace tarnwick::cli
