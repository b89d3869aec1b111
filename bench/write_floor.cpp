// The floor of the program's output: the same number of bytes written to a
// file through the same platform calls, in writes of 128 bytes and a shorter
// last one, with nothing computed in between.
//
//   pellarn_bench_write_floor FILE BYTES
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "../src/platform/platform.hpp"

int main(int argc, char** argv) {
  platform::Startup(argc, argv);
  if (platform::ArgumentCount() != 2) return 2;
  const std::string_view name = platform::Argument(0);
  const std::string_view countText = platform::Argument(1);
  std::uint64_t remaining = 0;
  if (std::from_chars(countText.data(), countText.data() + countText.size(), remaining).ec !=
      std::errc{})
    return 2;

  std::int32_t code = 0;
  const platform::Handle file = platform::CreateForWrite(name.data(), code);
  if (file == platform::NoHandle) return 1;
  std::uint8_t block[128];
  std::memset(block, '7', sizeof block);
  while (remaining > 0) {
    const auto part =
        static_cast<std::uint32_t>(remaining < sizeof block ? remaining : sizeof block);
    if (platform::Write(file, block, part) != 0) return 1;
    remaining -= part;
  }
  return platform::Close(file) == 0 ? 0 : 1;
}
