// The one table from errno to Windows system error numbers.
#include "errors.hpp"

#include <cerrno>

namespace platform::posix {

// One aligned line per code, read as the table it is.
// clang-format off
std::int32_t WindowsError(int errnoValue, Call call) {
  switch (errnoValue) {
    // A missing name on create means a directory of the path is missing,
    // since create makes the file itself; on open the file is missing.
    case ENOENT:       return call == Call::Create ? 3 : 2;  // path / file not found
    case ENOTDIR:      return 3;    // a path component is not a directory
    case ENAMETOOLONG: return 206;  // filename or extension too long
    case ELOOP:        return 1921; // the name cannot be resolved
    case EACCES:       return 5;    // access denied
    case EPERM:        return 5;    // access denied
    case EISDIR:       return 5;    // Windows refuses a directory as a file this way
    case EROFS:        return 5;    // access denied
    case ETXTBSY:      return 5;    // access denied
    case EMFILE:       return 4;    // too many open files
    case ENFILE:       return 4;    // too many open files (system-wide)
    case ENOSPC:       return 112;  // disk full
    case EDQUOT:       return 112;  // disk full, as far as this user goes
    case EFBIG:        return 112;  // the file cannot grow further
    // EPIPE on write: the pipe's reader has gone, ERROR_NO_DATA on Windows.
    // On read a vanished writer is ERROR_BROKEN_PIPE, the end of the input.
    case EPIPE:        return call == Call::Read ? 109 : 232;
    case ECONNRESET:   return call == Call::Read ? 109 : 232;
    case EBADF:        return 6;    // invalid handle
    case ENOMEM:       return 8;    // not enough memory
    case EEXIST:       return 80;   // file exists
    case EINVAL:       return 87;   // invalid parameter
    case EBUSY:        return 170;  // the resource is in use
    case EIO:          return 1117; // I/O device error
    case ENXIO:        return 1117; // no such device
    case ENODEV:       return 1117; // no such device
    default:           return 31;   // a device attached to the system is not functioning
  }
}
// clang-format on

}  // namespace platform::posix
