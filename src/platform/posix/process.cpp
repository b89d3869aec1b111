// Process services on POSIX: arguments, our own file name, the image base,
// the exit.
#include "../platform.hpp"

#include <unistd.h>
#include <csignal>
#include <cstring>

// Defined by the GNU linker at the first byte of the loaded image, PIE or not.
extern "C" const char __executable_start[];

namespace platform {

namespace {
int SavedArgc = 0;
char** SavedArgv = nullptr;
char ExePath[4096];
std::string_view ExeName;
}  // namespace

void Startup(int argc, char** argv) {
  SavedArgc = argc;
  SavedArgv = argv;
  // A reader that has gone must show as a failed write (232), not as a
  // death by signal.
  std::signal(SIGPIPE, SIG_IGN);

  // The file actually running, as GetModuleFileName gives it on Windows;
  // argv[0] only when /proc is not there.
  const ssize_t length = readlink("/proc/self/exe", ExePath, sizeof ExePath - 1);
  std::string_view path;
  if (length > 0) {
    path = std::string_view(ExePath, static_cast<std::size_t>(length));
  } else if (argc > 0 && argv[0] != nullptr) {
    path = argv[0];
  }
  const auto slash = path.rfind('/');
  ExeName = slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The arguments arrive one by one; an empty argument ("") is an argument
// like any other and fills its slot with the empty string.
int ArgumentCount() { return SavedArgc > 0 ? SavedArgc - 1 : 0; }

std::string_view Argument(int index) { return SavedArgv[index + 1]; }

std::string_view ExeFileName() { return ExeName; }

std::uintptr_t ImageBase() { return reinterpret_cast<std::uintptr_t>(__executable_start); }

void ExitProcess(int code) { _exit(code); }

}  // namespace platform
