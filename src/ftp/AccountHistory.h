// The remembered FTP accounts: "ftpac.ini" for destinations, "ftpsrc.ini" for sources, one
// section per host as typed. The dialogs keep their fields in the plain records below, so the
// store and recall logic runs without any widget; the desktop program binds them to its controls.
#pragma once

#include <string>

#include "app/Status.h"

namespace tarnwick {

inline constexpr const char* kDestinationAccountFile = "ftpac.ini";
inline constexpr const char* kSourceAccountFile = "ftpsrc.ini";

// The "Server Type:" entries of the source dialog, in list order; the stored SERVERTYPE is the
// entry's text.
inline constexpr int kWindowsServer = 0;
inline constexpr int kUnixServer = 1;
// "Windows Server" or "Unix Server"; any other index gives "Windows Server".
const char* ServerTypeName(int serverType);

// The fields of the "Backup Destination" dialog that the account file reads and sets.
struct DestinationAccountFields {
  bool hostEnabled = true;  // recall does nothing while the host field is disabled
  std::string host;         // the selected history entry, else the edit text
  std::string port;
  std::string userName;
  std::string password;
  bool anonymous = false;
  std::string remotePath;  // "Rem&ote Path:"
  bool passive = false;
  // "Us&e TLS (FTPS)": on for an account not stored yet, off for one stored before the key was.
  bool tls = true;
  bool plainWarned = false;  // the user was told once that plain FTP sends the password in clear
  bool sftp = false;         // SFTP instead of FTP
  std::string keyFile;       // SFTP: the private key to log in with; empty: the password
};

// The fields of the "Add Remote Folders/Files" dialog that the account file reads and sets.
struct SourceAccountFields {
  bool hostEnabled = true;
  std::string host;
  std::string port;
  std::string userName;
  std::string password;
  bool anonymous = false;
  std::string initialPath;  // "Initial Path:"
  bool passive = false;
  // "Us&e TLS (FTPS)": on for an account not stored yet, off for one stored before the key was.
  bool tls = true;
  bool plainWarned = false;         // the user was told once that plain FTP sends the password in clear
  bool sftp = false;                // SFTP instead of FTP
  std::string keyFile;              // SFTP: the private key to log in with; empty: the password
  int serverType = kWindowsServer;  // kWindowsServer or kUnixServer; -1 when none is selected
};

// `accountFile` empty means the file of that name beside the program. An operation that cannot
// open or create its file changes no field and answers IoError with the file, the system's reason
// and the text "Cannot open file %s, make sure you havn't opened it." for the dialog to show (it
// goes on regardless); a store that cannot write the file back answers IoError with the file and
// the system's reason.

// Both files also keep TLS ("1" or "0"), PLAINWARNED ("1" once told, else absent), and for SFTP
// accounts SFTP ("1") and KEYFILE (when there is one), last in the section, where older copies of
// the program, which read by key, never look.

// Writes PORT, USERNAME, PASSWORD, INIDIR, PASSIVE, TLS, PLAINWARNED of the host's section (user name and password
// empty when anonymous). An empty host stores nothing.
Status StoreDestinationAccount(const DestinationAccountFields& fields, const std::string& accountFile = {});

// Fills the fields from the host's section. An account without a user name, or with a user name
// but no password, is anonymous (user name and password empty), unless it is an SFTP account with a
// key file, which logs in with its user name and key. When the host is the profile's own FTP host
// (exact comparison), the profile's remote path is taken instead of the stored INIDIR.
Status RecallDestinationAccount(DestinationAccountFields& fields, const std::string& profileHost,
                                const std::string& profileRemotePath, const std::string& accountFile = {});

// Writes PORT, USERNAME, PASSWORD, PASSIVE, INIDIR, SERVERTYPE, TLS, PLAINWARNED of the host's section.
Status StoreSourceAccount(const SourceAccountFields& fields, const std::string& accountFile = {});

// Fills the fields from the host's section, the credentials read as RecallDestinationAccount reads
// them; the server type is the first entry that begins with
// the stored text (letter case ignored), else "Windows Server".
Status RecallSourceAccount(SourceAccountFields& fields, const std::string& accountFile = {});

}  // namespace tarnwick
