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

// A copy on a server must be as large as its source, as the server's SIZE answer tells.
std::string RemoteCopyMismatch(CFtpSession& session, const std::string& source, const std::string& target);

// A file stored on a server must be `size` bytes long, as the server's SIZE answer tells.
std::string RemoteSizeMismatch(CFtpSession& session, const std::string& target, long long size);

}  // namespace tarnwick
