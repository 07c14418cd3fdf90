#include "zip/ZipException.h"

#include <zlib.h>

#include <cerrno>

#include "app/Status.h"

namespace tarnwick {

namespace {

std::string Describe(int cause, const std::string& fileName, int systemError) {
  std::string text = "zip error " + std::to_string(cause);
  if (!fileName.empty()) text += " on " + fileName;
  if (systemError != 0) text += ": " + SystemErrorText(systemError);
  return text;
}

}  // namespace

CZipException::CZipException(int cause, std::string fileName, int systemError)
    : std::runtime_error(Describe(cause, fileName, systemError)),
      cause_(cause),
      fileName_(std::move(fileName)),
      systemError_(systemError) {}

int CZipException::CauseFromErrno(int error) {
  switch (error) {
    case ENOENT: return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EISDIR: return badPath;
    case EMFILE:
    case ENFILE: return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return accessDenied;
    case ESPIPE: return badSeek;
    case EIO: return hardIO;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return diskFull;
    case ENOMEM: return notEnoughMemory;
    default: return generic;
  }
}

int CZipException::CauseFromZlib(int zlibError) {
  if (zlibError == Z_MEM_ERROR) return notEnoughMemory;
  if (zlibError <= Z_ERRNO && zlibError >= Z_VERSION_ERROR) return 501 - zlibError;
  return deflateGeneric;
}

}  // namespace tarnwick
