// The lookup of a saved profile by its name, shared by the commands that act on one.
#pragma once

#include <string>

#include "app/ConsolePrompts.h"
#include "profiles/Profile.h"

namespace tarnwick::cli {

// Reads the profile file of `name` into `profile`. Any profile file there is counts, also one
// whose name a new profile could not be given (too long, a control character); only a name that
// would lead out of the profile folder is refused, as are a missing file and a file that is not a
// profile (never run as the defaults it would read as). Nothing is created. kExitOk, or
// kExitCannotStart after the reason was shown through `prompts`.
int ReadSavedProfile(const std::string& name, Profile& profile, ConsolePrompts& prompts);

}  // namespace tarnwick::cli
