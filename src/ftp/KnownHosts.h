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

// The host as a known-hosts line names it, in the form OpenSSH writes and the SFTP transport looks
// up: "[host]:port" for any port but 22 (0 counts as 22), the host alone for 22. An IPv6 address
// written in brackets, as users type it in the host field, loses them first: "[::1]" on port
// 2222 is "[::1]:2222", on port 22 "::1".
std::string KnownHostsName(std::string_view host, int port);

// The known-hosts line for the key blob (wire format: its type name first), or "" when the blob
// does not start with a type name.
std::string KnownHostsLine(const std::string& host, int port, std::string_view keyBlob);

// Appends the line to the file, creating it 0600 (and its folder 0700) when missing. A file that
// holds the line already (with or without a comment after it) is left as it is: accepting the same
// key twice adds nothing.
Status AddKnownHost(const std::string& file, const std::string& line);

}  // namespace tarnwick
