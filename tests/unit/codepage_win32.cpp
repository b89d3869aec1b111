// Code-page conversion for the tests on Windows.
#include "support.hpp"

#include <windows.h>

namespace support {

// No iconv on Windows: the system's own code-page tables convert, refusing
// what the target code page cannot hold.
std::string Iconv(std::string_view bytes, const char* from, const char* to) {
  auto page = [](std::string_view name) -> UINT { return name == "CP932" ? 932 : CP_UTF8; };
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int wideSize =
      MultiByteToWideChar(page(from), MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(page(from), MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), wideSize);
  BOOL lossy = FALSE;
  BOOL* lossyOut = page(to) == CP_UTF8 ? nullptr : &lossy;  // UTF-8 takes no such flag
  const int outSize =
      WideCharToMultiByte(page(to), 0, wide.data(), wideSize, nullptr, 0, nullptr, lossyOut);
  std::string result(static_cast<std::size_t>(outSize), '\0');
  WideCharToMultiByte(page(to), 0, wide.data(), wideSize, result.data(), outSize, nullptr,
                      lossyOut);
  if (wideSize == 0 || outSize == 0 || lossy) {
    ADD_FAILURE() << "the text does not convert from " << from << " to " << to;
    return {};
  }
  return result;
}

}  // namespace support
