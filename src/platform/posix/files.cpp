// Standard streams and files on POSIX: plain open/read/write/close, with no
// buffering of our own (the text layer above has its 128-byte buffer).
#include "../platform.hpp"
#include "errors.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace platform {

namespace {

Handle StandardStream(int fd) { return fcntl(fd, F_GETFD) == -1 ? NoHandle : Handle{fd}; }

// A non-blocking stream (inherited from whoever started us) is waited on
// rather than failed: the program's writes and reads are blocking by design.
bool WaitUntilReady(int fd, short events) {
  pollfd entry{fd, events, 0};
  return poll(&entry, 1, -1) >= 0 || errno == EINTR;
}

}  // namespace

Handle StandardInput() { return StandardStream(STDIN_FILENO); }
Handle StandardOutput() { return StandardStream(STDOUT_FILENO); }

Handle CreateForWrite(const char* name, std::int32_t& error) {
  int fd;
  do {
    fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd == -1 && errno == EINTR);
  if (fd == -1) {
    error = posix::WindowsError(errno, posix::Call::Create);
    return NoHandle;
  }
  return fd;
}

Handle OpenForRead(const char* name, std::int32_t& error) {
  int fd;
  do {
    fd = open(name, O_RDONLY | O_CLOEXEC);
  } while (fd == -1 && errno == EINTR);
  if (fd == -1) {
    error = posix::WindowsError(errno, posix::Call::Open);
    return NoHandle;
  }
  return fd;
}

FileKind KindOf(Handle handle) {
  struct stat info;
  if (fstat(static_cast<int>(handle), &info) != 0) return FileKind::Unknown;
  if (S_ISCHR(info.st_mode)) return FileKind::CharDevice;
  if (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode)) return FileKind::Disk;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FileKind::Pipe;
  return FileKind::Unknown;
}

std::int32_t Close(Handle handle) {
  // close() must not be retried on EINTR: the descriptor is gone either way.
  if (close(static_cast<int>(handle)) != 0 && errno != EINTR)
    return posix::WindowsError(errno, posix::Call::Other);
  return 0;
}

std::int32_t Write(Handle handle, const std::uint8_t* bytes, std::uint32_t count) {
  const int fd = static_cast<int>(handle);
  while (count > 0) {
    const ssize_t written = write(fd, bytes, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN && WaitUntilReady(fd, POLLOUT)) continue;
      return posix::WindowsError(errno, posix::Call::Write);
    }
    bytes += written;
    count -= static_cast<std::uint32_t>(written);
  }
  return 0;
}

std::int32_t Read(Handle handle, std::uint8_t* bytes, std::uint32_t capacity,
                  std::uint32_t& received) {
  const int fd = static_cast<int>(handle);
  received = 0;
  for (;;) {
    const ssize_t got = read(fd, bytes, capacity);
    if (got >= 0) {
      received = static_cast<std::uint32_t>(got);
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN && WaitUntilReady(fd, POLLIN)) continue;
    return posix::WindowsError(errno, posix::Call::Read);
  }
}

}  // namespace platform
