#include "ftp/CertificateTrust.h"

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

std::string TrustedCertificate(const std::string& host, int port, const std::string& trustFile) {
  CIniFile ini;
  if (!ini.Load(TrustPath(trustFile), false).ok()) return {};
  return ini.GetValue(SectionOf(host, port), kKeySha256);
}

Status TrustCertificate(const std::string& host, int port, const std::string& sha256, const std::string& trustFile) {
  const std::string section = SectionOf(host, port);
  if (!IsUsableIniSection(host) || sha256.empty()) return Status::InvalidArgument({}, section);
  CIniFile ini;
  const std::string path = TrustPath(trustFile);
  if (const IoResult opened = ini.LoadForUpdate(path); !opened.ok()) return Status::IoError(path, opened.sysError);
  SetExactIniValue(ini, section, kKeySha256, sha256);
  const IoResult saved = ini.Save();
  return saved.ok() ? Status() : Status::IoError(path, saved.sysError);
}

}  // namespace tarnwick
