#include "ftp/CertificateTrust.h"

#include "app/FormatTexts.h"
#include "app/ProgramFolder.h"
#include "formats/IniFile.h"
#include "ftp/IniValue.h"

namespace tarnwick {

namespace {

constexpr const char* kKeySha256 = "SHA256";

std::string TrustPath(const std::string& trustFile) {
  return trustFile.empty() ? PathBesideProgram(kTrustedCertificateFile).string() : trustFile;
}

std::string SectionOf(const std::string& host, int port) { return host + ":" + std::to_string(port == 0 ? 21 : port); }

}  // namespace

std::string TrustedCertificate(const std::string& host, int port, const std::string& trustFile, Status* unreadable) {
  CIniFile ini;
  const std::string path = TrustPath(trustFile);
  if (const IoResult opened = ini.Load(path, kAccountFileLimit, false); !opened.ok()) {
    if (unreadable != nullptr) *unreadable = FileStatus(path, opened);
    return {};
  }
  return ini.GetValue(SectionOf(host, port), kKeySha256);
}

Status TrustCertificate(const std::string& host, int port, const std::string& sha256, const std::string& trustFile) {
  const std::string section = SectionOf(host, port);
  if (!IsUsableIniSection(host) || sha256.empty()) return Status::InvalidArgument({}, section);
  CIniFile ini;
  const std::string path = TrustPath(trustFile);
  if (const IoResult opened = ini.LoadForUpdate(path, kAccountFileLimit); !opened.ok()) return FileStatus(path, opened);
  SetExactIniValue(ini, section, kKeySha256, sha256);
  const IoResult saved = ini.Save();
  return saved.ok() ? Status() : Status::IoError(path, saved.sysError);
}

}  // namespace tarnwick
