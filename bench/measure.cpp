// Runs one command and reports its wall time and peak resident memory, as
// the last line on standard error:
//
//   pellarn_bench_measure [--stdout FILE] COMMAND [ARG...]
//   -> "measure wall_s=1.234567 maxrss_kb=7812 exit=0"
//
// A launcher of its own rather than the script's interpreter: a child's
// peak memory counts what it held before exec, and a forked interpreter
// holds more than the programs measured here.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  int first = 1;
  const char* stdoutFile = nullptr;
  if (argc > 2 && std::strcmp(argv[1], "--stdout") == 0) {
    stdoutFile = argv[2];
    first = 3;
  }
  if (first >= argc) {
    std::fputs("usage: pellarn_bench_measure [--stdout FILE] COMMAND [ARG...]\n", stderr);
    return 2;
  }

  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == -1) return 2;
  if (child == 0) {
    if (stdoutFile != nullptr) {
      const int fd = open(stdoutFile, O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (fd == -1 || dup2(fd, STDOUT_FILENO) == -1) _exit(127);
      close(fd);
    }
    execvp(argv[first], argv + first);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) == -1) return 2;
  const auto end = std::chrono::steady_clock::now();

  const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::fprintf(stderr, "measure wall_s=%.6f maxrss_kb=%ld exit=%d\n",
               std::chrono::duration<double>(end - start).count(), usage.ru_maxrss, exitCode);
  return 0;
}
