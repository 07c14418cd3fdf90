// The comparison of one backed-up file with its source, for the check after a backup. Each call
// answers with the mismatch in the log's words, or with what it compared when the copy matches,
// so the log never claims more than was checked.
#pragma once

#include <string>

#include "engine/JobContext.h"

namespace tarnwick {

class CFtpSession;

// The outcome of one comparison.
struct CopyVerdict {
  std::string mismatch;  // why the copy does not match its source; empty when it matches
  std::string method;    // what was compared ("content read back", ...); set when it matches
};

// A local copy must have its source's size and modification time (within two seconds: the step of
// the coarsest file systems a backup may go to) and the same bytes, both files read. The stop flag
// ends the comparison early; what was compared until then counts as matching.
CopyVerdict CheckLocalCopy(JobContext& context, const std::string& source, const std::string& target);

// Which of the two files of a pair is the copy.
enum class CopyLies { OnServer, Here };

// A file here and one on a server, one the copy of the other, must be as large as the server's
// SIZE answer tells. Then, with `readBack`, the remote file is downloaded and compared byte for
// byte with the local one (a server's own answers are not trusted); otherwise, on a server that
// offers HASH, it must have the digest that HASH gives; on one that does not, the size is all that
// was compared and the method says so. A stop as for CheckLocalCopy.
CopyVerdict CheckRemoteCopy(JobContext& context, CFtpSession& session, const std::string& local,
                            const std::string& remote, CopyLies copy, bool readBack);

// A copy from one server (`from`) to another (`to`) must be as large as its source, as both
// servers' SIZE answers tell, and with `readBack` have the same bytes, both downloaded.
CopyVerdict CheckServerCopy(JobContext& context, CFtpSession& from, const std::string& source, CFtpSession& to,
                            const std::string& target, bool readBack);

}  // namespace tarnwick
