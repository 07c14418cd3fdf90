// SSH host keys for SFTP, kept as OpenSSH keeps them: one "host keytype base64" line per known
// key in ~/.ssh/known_hosts, the host written "[host]:port" for any port but 22.
#pragma once

#include <string>
#include <string_view>

#include "app/Status.h"

namespace tarnwick {

// ~/.ssh/known_hosts of the user (UserHomeFolder).
std::string DefaultKnownHostsFile();

// "SHA256:" and the unpadded base64 of the SHA-256 of the key blob, as ssh-keygen -l shows it.
std::string SshKeyFingerprint(std::string_view keyBlob);

// The known-hosts line for the key blob (wire format: its type name first), or "" when the blob
// does not start with a type name.
std::string KnownHostsLine(const std::string& host, int port, std::string_view keyBlob);

// Appends the line to the file, creating it 0600 (and its folder 0700) when missing.
Status AddKnownHost(const std::string& file, const std::string& line);

}  // namespace tarnwick
