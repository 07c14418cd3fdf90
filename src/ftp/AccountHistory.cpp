#include "ftp/AccountHistory.h"

#include <cctype>
#include <cerrno>
#include <string_view>

#include "app/FormatTexts.h"
#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "formats/IniFile.h"
#include "ftp/IniValue.h"

namespace tarnwick {

namespace {

constexpr const char* kKeyPort = "PORT";
constexpr const char* kKeyUserName = "USERNAME";
constexpr const char* kKeyPassword = "PASSWORD";
constexpr const char* kKeyFolder = "INIDIR";
constexpr const char* kKeyPassive = "PASSIVE";
constexpr const char* kKeyServerType = "SERVERTYPE";
constexpr const char* kKeyTls = "TLS";
constexpr const char* kKeyPlainWarned = "PLAINWARNED";
constexpr const char* kKeySftp = "SFTP";
constexpr const char* kKeyKeyFile = "KEYFILE";

enum class Access { Read, Update };

// Reads the account file (a missing one is empty; only a store creates it). For an update it is
// read under its lock, held until `ini` goes, so two dialogs storing accounts at once keep both.
Status OpenAccountFile(CIniFile& ini, const char* name, const std::string& accountFile, Access access) {
  const std::string path = accountFile.empty() ? PathBesideProgram(name).string() : accountFile;
  const IoResult opened =
      access == Access::Update ? ini.LoadForUpdate(path, kAccountFileLimit) : ini.Load(path, kAccountFileLimit, false);
  if (opened.ok()) return {};
  // The old words fit what the system refused, and a folder in the file's place, which could never
  // be opened as the file; a FIFO, device or oversize file the reading rule turned down says why.
  if (opened.refusal != IoResult::Refusal::None && opened.sysError != EISDIR) return FileStatus(path, opened);
  return Status::IoError(path, opened.sysError, FormatString(IDS_CANNOT_OPEN_ACCOUNT_FILE, path.c_str()));
}

Status SaveAccountFile(CIniFile& ini) {
  const IoResult saved = ini.Save();
  return saved.ok() ? Status() : Status::IoError(ini.Path(), saved.sysError);
}

const char* PassiveText(bool passive) { return passive ? "1" : "0"; }

// PORT, USERNAME, PASSWORD: the keys both files begin with, in this order.
template <typename Fields>
void WriteCredentials(CIniFile& ini, const Fields& f) {
  SetExactIniValue(ini, f.host, kKeyPort, f.port);
  SetExactIniValue(ini, f.host, kKeyUserName, f.anonymous ? std::string() : f.userName);
  SetExactIniValue(ini, f.host, kKeyPassword, f.anonymous ? std::string() : f.password);
}

template <typename Fields>
void ReadCredentials(const CIniFile& ini, Fields& f) {
  f.userName = ini.GetValue(f.host, kKeyUserName);
  f.password = ini.GetValue(f.host, kKeyPassword);
  f.port = ini.GetValue(f.host, kKeyPort);
  // An account is anonymous unless both its user name and password are known; an SFTP account
  // that logs in with its key file has a user name and no password.
  const bool keyLogin = ini.GetValue(f.host, kKeySftp) == "1" && !ini.GetValue(f.host, kKeyKeyFile).empty();
  f.anonymous = f.userName.empty() || (f.password.empty() && !keyLogin);
  if (f.anonymous) {
    f.userName.clear();
    f.password.clear();
  }
}

template <typename Fields>
void WriteSecurity(CIniFile& ini, const Fields& f) {
  SetExactIniValue(ini, f.host, kKeyTls, PassiveText(f.tls));
  // Once told, always told: the key is never written back to "0".
  if (f.plainWarned) SetExactIniValue(ini, f.host, kKeyPlainWarned, "1");
  // Written only while on; an account turned back to FTP says "0" rather than losing its key file.
  if (f.sftp || !ini.GetValue(f.host, kKeySftp).empty()) SetExactIniValue(ini, f.host, kKeySftp, PassiveText(f.sftp));
  if (f.sftp || !ini.GetValue(f.host, kKeyKeyFile).empty()) SetExactIniValue(ini, f.host, kKeyKeyFile, f.keyFile);
}

// A stored account without a TLS key was stored before there was one, and worked in plain FTP; an
// account not stored at all keeps what the dialog had.
template <typename Fields>
void ReadSecurity(const CIniFile& ini, Fields& f) {
  constexpr const char* kMissing = "\n";  // no stored value holds a line break
  if (ini.GetValue(f.host, kKeyPort, kMissing) == kMissing) return;
  f.tls = ini.GetValue(f.host, kKeyTls) == "1";
  f.plainWarned = ini.GetValue(f.host, kKeyPlainWarned) == "1";
  f.sftp = ini.GetValue(f.host, kKeySftp) == "1";
  f.keyFile = ini.GetValue(f.host, kKeyKeyFile);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

}  // namespace

const char* ServerTypeName(int serverType) {
  return LoadString(serverType == kUnixServer ? IDS_SERVER_TYPE_UNIX : IDS_SERVER_TYPE_WINDOWS);
}

Status StoreDestinationAccount(const DestinationAccountFields& fields, const std::string& accountFile) {
  CIniFile ini;
  if (Status opened = OpenAccountFile(ini, kDestinationAccountFile, accountFile, Access::Update); !opened.ok())
    return opened;
  if (!IsUsableIniSection(fields.host)) return {};
  WriteCredentials(ini, fields);
  SetExactIniValue(ini, fields.host, kKeyFolder, fields.remotePath);
  SetExactIniValue(ini, fields.host, kKeyPassive, PassiveText(fields.passive));
  WriteSecurity(ini, fields);
  return SaveAccountFile(ini);
}

Status RecallDestinationAccount(DestinationAccountFields& fields, const std::string& profileHost,
                                const std::string& profileRemotePath, const std::string& accountFile) {
  if (!fields.hostEnabled) return {};
  CIniFile ini;
  if (Status opened = OpenAccountFile(ini, kDestinationAccountFile, accountFile, Access::Read); !opened.ok())
    return opened;
  if (fields.host.empty()) return {};
  ReadCredentials(ini, fields);
  fields.remotePath = fields.host == profileHost ? profileRemotePath : ini.GetValue(fields.host, kKeyFolder);
  fields.passive = ini.GetValue(fields.host, kKeyPassive) == "1";
  ReadSecurity(ini, fields);
  return {};
}

Status StoreSourceAccount(const SourceAccountFields& fields, const std::string& accountFile) {
  CIniFile ini;
  if (Status opened = OpenAccountFile(ini, kSourceAccountFile, accountFile, Access::Update); !opened.ok())
    return opened;
  if (!IsUsableIniSection(fields.host)) return {};
  WriteCredentials(ini, fields);
  SetExactIniValue(ini, fields.host, kKeyPassive, PassiveText(fields.passive));
  SetExactIniValue(ini, fields.host, kKeyFolder, fields.initialPath);
  SetExactIniValue(ini, fields.host, kKeyServerType, ServerTypeName(fields.serverType));
  WriteSecurity(ini, fields);
  return SaveAccountFile(ini);
}

Status RecallSourceAccount(SourceAccountFields& fields, const std::string& accountFile) {
  if (!fields.hostEnabled) return {};
  CIniFile ini;
  if (Status opened = OpenAccountFile(ini, kSourceAccountFile, accountFile, Access::Read); !opened.ok()) return opened;
  if (fields.host.empty()) return {};
  ReadCredentials(ini, fields);
  fields.initialPath = ini.GetValue(fields.host, kKeyFolder);
  const std::string serverType = ini.GetValue(fields.host, kKeyServerType);
  fields.serverType = kWindowsServer;
  for (int i : {kWindowsServer, kUnixServer}) {
    if (StartsWithNoCase(ServerTypeName(i), serverType)) {
      fields.serverType = i;
      break;
    }
  }
  fields.passive = ini.GetValue(fields.host, kKeyPassive) == "1";
  ReadSecurity(ini, fields);
  return {};
}

}  // namespace tarnwick
