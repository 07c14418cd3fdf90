// The texts of the profile editor that follow rules of their own: a folder's filter, the
// destination line, a file's size, a remote row, the level list, and the checks of an FTP account
// as the dialogs read it. Plain functions, so the rules are tested without a window.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

namespace tarnwick::ui {

// The filter a new folder item gets: every file.
inline constexpr const char* kEverythingFilter = "+[*.*]";

// "+[" include "]" followed by "-[" exclude "]" when there are exclude masks; no include masks
// give "*.*".
std::string ComposeFilter(const std::string& include, const std::string& exclude);

// What the destination field shows: the summary alone, or, when compressing, the summary, the
// separator (unless the summary ends with it) and the archive name. An empty summary stays empty.
// The archive lands exactly there, so the field and the job never disagree.
std::string DestinationLine(const std::string& summary, bool compress, const std::string& archiveName, char separator);

// "%d Bytes (%d Bytes)", "%d KB ...", "%d MB ...", "%d GB ...": the size in the largest unit it
// reaches (divisions truncate), then the whole byte count.
QString FileSizeText(std::uint64_t size);

// A remote item as the source list shows it: "ftp://" host and the item's path.
std::string RemoteRowText(const std::string& host, const std::string& path);

// The compression levels of the level list, in list order.
inline constexpr int kZipLevels[] = {0, 1, 3, 5, 7, 9};
// The list entry of a stored level; a level the list does not hold selects "Normal".
int ZipLevelIndex(int zipLevel);

// An FTP account as a dialog's fields hold it.
struct FtpAccountInput {
  std::string host;
  std::string port;
  std::string user;
  std::string password;
  bool anonymous = false;
  std::string remotePath;
  bool keyLogin = false;  // SFTP with a private key: no password needed
};

enum class FtpField { None, Host, Port, User, Password, RemotePath };

// The first field that cannot be used, with the message that says why: host, port, user name and
// password (the last two unless anonymous) must not be empty; besides, a host holding "/" (such
// as "ftp://..."), a port outside 1 to 65535 and a remote path with a line break are refused.
struct FtpInputProblem {
  FtpField field = FtpField::None;
  QString message;
};
FtpInputProblem CheckFtpAccount(const FtpAccountInput& input);
// Only the refusals of what is there (host, port, remote path), for fields that may stay empty.
FtpInputProblem CheckFtpValues(const FtpAccountInput& input);

}  // namespace tarnwick::ui
