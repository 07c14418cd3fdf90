// The comparison of one backed-up file with its source, for the check after a backup. Each call
// answers with the mismatch in the log's words, or an empty text when the copy matches.
#pragma once

#include <string>

#include "engine/JobContext.h"

namespace tarnwick {

class CFtpSession;

// A local copy must have its source's size and modification time (within two seconds: the step of
// the coarsest file systems a backup may go to) and, with `content`, the same CRC-32. The stop flag
// ends a content comparison early; what was compared until then counts as matching.
std::string LocalCopyMismatch(JobContext& context, const std::string& source, const std::string& target, bool content);

// Which of the two files of a pair is the copy.
enum class CopyLies { OnServer, Here };

// A file here and one on a server, one the copy of the other, must be as large as the server's
// SIZE answer tells and, with `content` and a server that offers HASH, have the digest its HASH
// answer gives (see LocalCopyMismatch for a stop).
std::string RemoteCopyMismatch(JobContext& context, CFtpSession& session, const std::string& local,
                               const std::string& remote, CopyLies copy, bool content);

// A copy from one server (`from`) to another (`to`) must be as large as its source, as both
// servers' SIZE answers tell.
std::string ServerCopyMismatch(CFtpSession& from, const std::string& source, CFtpSession& to,
                               const std::string& target);

}  // namespace tarnwick
