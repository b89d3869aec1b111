// Process services on Win32: the one command line split into arguments, our
// own file name, the image base, the exit.
#include "../platform.hpp"

#include <windows.h>

namespace platform {

namespace {
std::vector<std::string> Words;  // the program's own name, then the arguments
char ModulePath[32768];          // the longest path the system hands out, and its zero
std::string_view ExeName;

// The part after the last directory separator. Scanned from the front, so
// that the trail byte of a double-byte character (0x5C in 表) is not taken
// for a backslash.
std::string_view WithoutDirectory(std::string_view path) {
  std::size_t nameStart = 0;
  for (std::size_t at = 0; at < path.size(); ++at) {
    const char c = path[at];
    if (c == '\\' || c == '/' || c == ':') {
      nameStart = at + 1;
    } else if (IsDBCSLeadByte(static_cast<BYTE>(c)) && at + 1 < path.size()) {
      ++at;
    }
  }
  return path.substr(nameStart);
}
}  // namespace

void Startup(int, char**) {
  // A name on an empty drive must fail with its code, not wait on a dialog box.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

  Words = SplitCommandLine(GetCommandLineA());

  const DWORD length = GetModuleFileNameA(nullptr, ModulePath, sizeof ModulePath);
  ExeName = WithoutDirectory(std::string_view(ModulePath, length < sizeof ModulePath ? length : 0));
}

int ArgumentCount() { return Words.empty() ? 0 : static_cast<int>(Words.size()) - 1; }

std::string_view Argument(int index) { return Words[static_cast<std::size_t>(index) + 1]; }

std::string_view ExeFileName() { return ExeName; }

std::uintptr_t ImageBase() { return reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr)); }

void ExitProcess(int code) { ::ExitProcess(static_cast<UINT>(code)); }

}  // namespace platform
