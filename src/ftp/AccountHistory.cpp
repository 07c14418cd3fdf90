#include "ftp/AccountHistory.h"

#include <cctype>
#include <string_view>

#include "app/ProgramFolder.h"
#include "app/StringTable.h"
#include "app/UserPrompts.h"
#include "formats/IniFile.h"
#include "ftp/IniValue.h"

namespace tarnwick {

namespace {

constexpr const char* kCannotOpenAccountFile = "Cannot open file %s, make sure you havn't opened it.";

constexpr const char* kKeyPort = "PORT";
constexpr const char* kKeyUserName = "USERNAME";
constexpr const char* kKeyPassword = "PASSWORD";
constexpr const char* kKeyFolder = "INIDIR";
constexpr const char* kKeyPassive = "PASSIVE";
constexpr const char* kKeyServerType = "SERVERTYPE";

// Opens the account file (created empty when missing); says so when it cannot.
bool OpenAccountFile(CIniFile& ini, const char* name, const std::string& accountFile, UserPrompts& prompts) {
  const std::string path = accountFile.empty() ? PathBesideProgram(name).string() : accountFile;
  if (ini.Load(path, false).ok()) return true;
  prompts.ShowMessage(FormatText(kCannotOpenAccountFile, path.c_str()));
  return false;
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
  // An account is anonymous unless both its user name and password are known.
  f.anonymous = f.userName.empty() || f.password.empty();
  if (f.anonymous) {
    f.userName.clear();
    f.password.clear();
  }
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

bool StoreDestinationAccount(const DestinationAccountFields& fields, UserPrompts& prompts,
                             const std::string& accountFile) {
  CIniFile ini;
  if (!OpenAccountFile(ini, kDestinationAccountFile, accountFile, prompts)) return false;
  if (!IsUsableIniSection(fields.host)) return true;
  WriteCredentials(ini, fields);
  SetExactIniValue(ini, fields.host, kKeyFolder, fields.remotePath);
  SetExactIniValue(ini, fields.host, kKeyPassive, PassiveText(fields.passive));
  ini.Save();
  return true;
}

bool RecallDestinationAccount(DestinationAccountFields& fields, const std::string& profileHost,
                              const std::string& profileRemotePath, UserPrompts& prompts,
                              const std::string& accountFile) {
  if (!fields.hostEnabled) return true;
  CIniFile ini;
  if (!OpenAccountFile(ini, kDestinationAccountFile, accountFile, prompts)) return false;
  if (fields.host.empty()) return true;
  ReadCredentials(ini, fields);
  fields.remotePath = fields.host == profileHost ? profileRemotePath : ini.GetValue(fields.host, kKeyFolder);
  fields.passive = ini.GetValue(fields.host, kKeyPassive) == "1";
  return true;
}

bool StoreSourceAccount(const SourceAccountFields& fields, UserPrompts& prompts, const std::string& accountFile) {
  CIniFile ini;
  if (!OpenAccountFile(ini, kSourceAccountFile, accountFile, prompts)) return false;
  if (!IsUsableIniSection(fields.host)) return true;
  WriteCredentials(ini, fields);
  SetExactIniValue(ini, fields.host, kKeyPassive, PassiveText(fields.passive));
  SetExactIniValue(ini, fields.host, kKeyFolder, fields.initialPath);
  const bool known = fields.serverType == kWindowsServer || fields.serverType == kUnixServer;
  SetExactIniValue(ini, fields.host, kKeyServerType, kServerTypeNames[known ? fields.serverType : kWindowsServer]);
  ini.Save();
  return true;
}

bool RecallSourceAccount(SourceAccountFields& fields, UserPrompts& prompts, const std::string& accountFile) {
  if (!fields.hostEnabled) return true;
  CIniFile ini;
  if (!OpenAccountFile(ini, kSourceAccountFile, accountFile, prompts)) return false;
  if (fields.host.empty()) return true;
  ReadCredentials(ini, fields);
  fields.initialPath = ini.GetValue(fields.host, kKeyFolder);
  const std::string serverType = ini.GetValue(fields.host, kKeyServerType);
  fields.serverType = kWindowsServer;
  for (int i : {kWindowsServer, kUnixServer}) {
    if (StartsWithNoCase(kServerTypeNames[i], serverType)) {
      fields.serverType = i;
      break;
    }
  }
  fields.passive = ini.GetValue(fields.host, kKeyPassive) == "1";
  return true;
}

}  // namespace tarnwick
