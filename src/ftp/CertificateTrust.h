// Server certificates the user chose to trust although they do not verify (self-signed, or issued
// for another name): "ftpcerts.ini" beside the account files, one section per "host:port" with
// the certificate's SHA-256 fingerprint. A trust covers that one certificate on that host and
// port only; a renewed certificate must be trusted again. The file is written 0600.
#pragma once

#include <string>

#include "app/Status.h"

namespace tarnwick {

inline constexpr const char* kTrustedCertificateFile = "ftpcerts.ini";

// The fingerprint trusted for host and port (0 stands for 21), or "" when none is. A file that is
// there but cannot be read (or is not a regular file, or is over its size limit) trusts nothing
// and, when `unreadable` is given, is reported there (a missing file is no failure). `trustFile`
// empty: the file beside the program.
std::string TrustedCertificate(const std::string& host, int port, const std::string& trustFile = {},
                               Status* unreadable = nullptr);

// Records `sha256` as trusted for host and port, replacing an earlier trust of that host and port.
Status TrustCertificate(const std::string& host, int port, const std::string& sha256,
                        const std::string& trustFile = {});

}  // namespace tarnwick
