#include "platform/core/dos_error.h"

#include <cerrno>

namespace platform {

int DosCodeFromErrno(int err) {
  switch (err) {
    case ENOENT:
      return kDosFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kDosPathNotFound;
    case EMFILE:
    case ENFILE:
      return kDosTooManyOpenFiles;
    case EACCES:
    case EROFS:
    case EPERM:
    case EISDIR:
    case EEXIST:
      return kDosAccessDenied;
    case EBADF:
      return kDosAccessDenied;
    case EAGAIN:
      return kDosLockViolation;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
      return kDosWriteError;
    case EIO:
      return kDosReadError;
    case ENOMEM:
      return 8;
    case EINVAL:
      return 1;
    case ESPIPE:
      return 25;
    case 0:
      return kDosAccessDenied;
    default:
      return 31;  // general failure
  }
}

int LastDosCode() { return DosCodeFromErrno(errno); }

}  // namespace platform
