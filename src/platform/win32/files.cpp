// Standard streams and files on Win32: the handles as the system gives them,
// with no buffering of our own (the text layer above has its 128-byte
// buffer) and the system's error numbers handed on as they are.
#include "../platform.hpp"

#include <windows.h>

namespace platform {

namespace {

HANDLE AsSystem(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

Handle FromSystem(HANDLE handle) {
  // A process started without a stream may hold NULL instead of INVALID_HANDLE_VALUE.
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return NoHandle;
  return reinterpret_cast<Handle>(handle);
}

Handle Open(const char* name, DWORD access, DWORD disposition, std::int32_t& error) {
  const HANDLE handle = CreateFileA(name, access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = static_cast<std::int32_t>(GetLastError());
    return NoHandle;
  }
  return reinterpret_cast<Handle>(handle);
}

}  // namespace

Handle StandardInput() { return FromSystem(GetStdHandle(STD_INPUT_HANDLE)); }
Handle StandardOutput() { return FromSystem(GetStdHandle(STD_OUTPUT_HANDLE)); }

Handle CreateForWrite(const char* name, std::int32_t& error) {
  return Open(name, GENERIC_WRITE, CREATE_ALWAYS, error);
}

Handle OpenForRead(const char* name, std::int32_t& error) {
  return Open(name, GENERIC_READ, OPEN_EXISTING, error);
}

FileKind KindOf(Handle handle) {
  switch (GetFileType(AsSystem(handle))) {
    case FILE_TYPE_CHAR: return FileKind::CharDevice;
    case FILE_TYPE_DISK: return FileKind::Disk;
    case FILE_TYPE_PIPE: return FileKind::Pipe;
    default: return FileKind::Unknown;
  }
}

std::int32_t Close(Handle handle) {
  return CloseHandle(AsSystem(handle)) ? 0 : static_cast<std::int32_t>(GetLastError());
}

std::int32_t Write(Handle handle, const std::uint8_t* bytes, std::uint32_t count) {
  // WriteFile takes console handles as well and passes the bytes unconverted,
  // so the console shows them in its own code page.
  while (count > 0) {
    DWORD written = 0;
    if (!WriteFile(AsSystem(handle), bytes, count, &written, nullptr))
      return static_cast<std::int32_t>(GetLastError());
    // A write that succeeds without taking a byte would loop for ever.
    if (written == 0) return ERROR_WRITE_FAULT;
    bytes += written;
    count -= written;
  }
  return 0;
}

std::int32_t Read(Handle handle, std::uint8_t* bytes, std::uint32_t capacity,
                  std::uint32_t& received) {
  DWORD got = 0;
  const BOOL ok = ReadFile(AsSystem(handle), bytes, capacity, &got, nullptr);
  received = ok ? got : 0;
  // ERROR_BROKEN_PIPE (a writer that has gone) goes up like any other code;
  // the text layer takes it for the end of the input.
  return ok ? 0 : static_cast<std::int32_t>(GetLastError());
}

}  // namespace platform
