// The remembered FTP accounts: "ftpac.ini" for destinations, "ftpsrc.ini" for sources, one
// section per host as typed. The dialogs keep their fields in the plain records below, so the
// store and recall logic runs without any widget; the desktop program binds them to its controls.
#pragma once

#include <string>

namespace tarnwick {

class UserPrompts;

inline constexpr const char* kDestinationAccountFile = "ftpac.ini";
inline constexpr const char* kSourceAccountFile = "ftpsrc.ini";

// The "Server Type:" entries of the source dialog, in list order.
inline constexpr const char* kServerTypeNames[] = {"Windows Server", "Unix Server"};
inline constexpr int kWindowsServer = 0;
inline constexpr int kUnixServer = 1;

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
  int serverType = kWindowsServer;  // index into kServerTypeNames; -1 when none is selected
};

// `accountFile` empty means the file of that name beside the program. Every operation that cannot
// open or create its file says "Cannot open file %s, make sure you havn't opened it." and returns
// false; the dialog goes on regardless.

// Writes PORT, USERNAME, PASSWORD, INIDIR, PASSIVE of the host's section (user name and password
// empty when anonymous). An empty host stores nothing.
bool StoreDestinationAccount(const DestinationAccountFields& fields, UserPrompts& prompts,
                             const std::string& accountFile = {});

// Fills the fields from the host's section. When the host is the profile's own FTP host
// (exact comparison), the profile's remote path is taken instead of the stored INIDIR.
bool RecallDestinationAccount(DestinationAccountFields& fields, const std::string& profileHost,
                              const std::string& profileRemotePath, UserPrompts& prompts,
                              const std::string& accountFile = {});

// Writes PORT, USERNAME, PASSWORD, PASSIVE, INIDIR, SERVERTYPE of the host's section.
bool StoreSourceAccount(const SourceAccountFields& fields, UserPrompts& prompts, const std::string& accountFile = {});

// Fills the fields from the host's section; the server type is the first entry that begins with
// the stored text (letter case ignored), else "Windows Server".
bool RecallSourceAccount(SourceAccountFields& fields, UserPrompts& prompts, const std::string& accountFile = {});

}  // namespace tarnwick
