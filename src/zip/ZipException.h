// The one exception type of the zip writer: a cause code and, where known, the file it concerns.
// File causes follow the file layer's numbering (access denied is 5); memory and deflate failures are
// 500 to 507. The job never shows the text to the user; it only logs that the archive failed.
#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

class CZipException : public std::runtime_error {
 public:
  enum Cause : int {
    generic = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    badSeek = 9,
    hardIO = 10,
    diskFull = 13,
    // Memory and deflate: 501 - zlib's error code for Z_ERRNO .. Z_VERSION_ERROR.
    deflateGeneric = 500,
    deflateErrno = 502,
    deflateStream = 503,
    deflateData = 504,
    notEnoughMemory = 505,
    deflateBuffer = 506,
    deflateVersion = 507,
  };

  CZipException(int cause, std::string fileName, int systemError = 0);

  int cause() const { return cause_; }
  const std::string& fileName() const { return fileName_; }
  int systemError() const { return systemError_; }  // errno where the system gave one, else 0

  // The file cause for an errno value.
  static int CauseFromErrno(int error);
  // The cause for a zlib return code.
  static int CauseFromZlib(int zlibError);

 private:
  int cause_;
  std::string fileName_;
  int systemError_;
};

}  // namespace tarnwick
