// Passphrases of private SSH keys. A passphrase is asked of the user when a key needs one and is
// kept in this process's memory only, by key file, so that the later runs of the same program run
// find it; it is never written anywhere. A run without one can still log in through an SSH agent
// ($SSH_AUTH_SOCK) holding the key.
#pragma once

#include <string>
#include <string_view>

#include "app/UserPrompts.h"

namespace tarnwick {

// Whether the text of a private key file is protected by a passphrase: an OpenSSH key whose cipher
// is not "none", or a PEM key marked ENCRYPTED (the traditional "Proc-Type: 4,ENCRYPTED" header or
// a PKCS#8 "ENCRYPTED PRIVATE KEY"). False for anything else, which the login then refuses.
bool PrivateKeyTextIsEncrypted(std::string_view text);

// PrivateKeyTextIsEncrypted of the file; false when it cannot be read.
bool KeyNeedsPassphrase(const std::string& keyFile);

// The passphrase the user gave for the key file in this process, or "".
std::string RememberedKeyPassphrase(const std::string& keyFile);
void RememberKeyPassphrase(const std::string& keyFile, const std::string& passphrase);
void ForgetKeyPassphrase(const std::string& keyFile);

// The passphrase to log in with `keyFile`: "" for a key that needs none, the one remembered, or
// one asked through `prompts` (and remembered). False when the key needs one and the user gave
// none: the caller then does not go on.
bool UnlockKey(const std::string& keyFile, UserPrompts& prompts, std::string& passphrase);

}  // namespace tarnwick
