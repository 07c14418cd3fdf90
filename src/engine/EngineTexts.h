// Texts of the backup engine that have no string-table number, held once for the copy, zip and FTP
// workers. They are printf formats; the wording (and spelling) is the program's own.
#pragma once

namespace tarnwick {

inline constexpr const char* kBackupFileText = "Backup file %s.";            // BACKUPFILE row, source path
inline constexpr const char* kBackupFailedText = "Backup %s Failed.";        // ERROR row, source path
inline constexpr const char* kBackingUpText = "Backing up %s | %d KB";       // status text per chunk
inline constexpr const char* kConnectingText = "Connecting to host %s:%s.";  // CONNECTING row, host, port
inline constexpr const char* kLoggingInText = "USER: %s";                    // LOGGINGIN row, user name
inline constexpr const char* kFtpUnavailableText = "FTP transfers are not available in this build.";

}  // namespace tarnwick
