#include "ui/EditorTexts.h"

#include <algorithm>
#include <iterator>

#include "ftp/FtpSession.h"
#include "ui/UiStrings.h"

namespace tarnwick::ui {

std::string ComposeFilter(const std::string& include, const std::string& exclude) {
  std::string filter = "+[" + (include.empty() ? std::string("*.*") : include) + "]";
  if (!exclude.empty()) filter += "-[" + exclude + "]";
  return filter;
}

std::string DestinationLine(const std::string& summary, bool compress, const std::string& archiveName, char separator) {
  if (!compress || summary.empty()) return summary;
  std::string line = summary;
  if (line.back() != separator) line += separator;
  return line + archiveName;
}

QString FileSizeText(std::uint64_t size) {
  struct Unit {
    std::uint64_t below;
    std::uint64_t divisor;
    unsigned text;
  };
  static constexpr Unit kUnits[] = {
      {1024ULL, 1, IDS_SIZE_BYTES},
      {1048576ULL, 1024ULL, IDS_SIZE_KB},
      {1073741824ULL, 1048576ULL, IDS_SIZE_MB},
      {~0ULL, 1073741824ULL, IDS_SIZE_GB},
  };
  const Unit* unit =
      std::find_if(std::begin(kUnits), std::end(kUnits), [size](const Unit& u) { return size < u.below; });
  if (unit == std::end(kUnits)) unit = std::end(kUnits) - 1;
  return UiString(unit->text).arg(size / unit->divisor).arg(size);
}

std::string RemoteRowText(const std::string& host, const std::string& path) { return "ftp://" + host + path; }

int ZipLevelIndex(int zipLevel) {
  const auto* found = std::find(std::begin(kZipLevels), std::end(kZipLevels), zipLevel);
  constexpr int kNormal = 3;
  return found == std::end(kZipLevels) ? kNormal : static_cast<int>(found - std::begin(kZipLevels));
}

FtpInputProblem CheckFtpValues(const FtpAccountInput& input) {
  if (input.host.find('/') != std::string::npos) {
    return {FtpField::Host, UiString(IDS_FTP_HOST_HAS_SCHEME).arg(QString::fromStdString(input.host))};
  }
  if (const int port = PortFromText(input.port); !input.port.empty() && (port < 1 || port > 65535)) {
    return {FtpField::Port, UiString(IDS_FTP_PORT_RANGE).arg(QString::fromStdString(input.port))};
  }
  if (input.remotePath.find_first_of("\r\n") != std::string::npos) {
    return {FtpField::RemotePath, UiString(IDS_FTP_PATH_LINE_BREAK)};
  }
  return {};
}

FtpInputProblem CheckFtpAccount(const FtpAccountInput& input) {
  // Each field is checked for being there before its value is.
  FtpInputProblem value = CheckFtpValues(input);
  if (input.host.empty()) return {FtpField::Host, UiString(IDS_FTP_NO_HOST)};
  if (value.field == FtpField::Host) return value;
  if (input.port.empty()) return {FtpField::Port, UiString(IDS_FTP_NO_PORT)};
  if (value.field == FtpField::Port) return value;
  if (!input.anonymous && input.user.empty()) return {FtpField::User, UiString(IDS_FTP_NO_USER)};
  if (!input.anonymous && !input.keyLogin && input.password.empty())
    return {FtpField::Password, UiString(IDS_FTP_NO_PASSWORD)};
  return value;
}

}  // namespace tarnwick::ui
