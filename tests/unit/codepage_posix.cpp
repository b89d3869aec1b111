// Code-page conversion for the tests on POSIX, through iconv(1).
#include "support.hpp"

#include <unistd.h>
#include <cstdio>
#include <map>

namespace support {

std::string Iconv(std::string_view bytes, const char* from, const char* to) {
  static std::map<std::string, std::string> cache;
  const std::string key = std::string(from) + '\0' + std::string(bytes);
  if (auto hit = cache.find(key); hit != cache.end()) return hit->second;

  char path[] = "/tmp/pellarn-iconv-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    ADD_FAILURE() << "no temporary file for iconv";
    return {};
  }
  const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(fd);
  std::string result;
  int status = -1;
  if (written) {
    const std::string command = std::string("iconv -f ") + from + " -t " + to + " < " + path;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char chunk[4096];
      std::size_t got;
      while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.append(chunk, got);
      status = pclose(pipe);
    }
  }
  unlink(path);
  if (status != 0) {
    ADD_FAILURE() << "iconv -f " << from << " -t " << to << " rejected the text";
    return {};
  }
  cache.emplace(key, result);
  return result;
}

}  // namespace support
