// The skin file reader on arbitrary bytes: it either refuses them or gives a
// skin whose sheet names no colour it does not have.
#include <cstdint>
#include <cstdlib>

#include "skin_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto skin = kv::skin::ParseSkinFile(std::span<const unsigned char>(data, size));
  if (!skin) return 0;
  if (skin->styleSheet.find('@') != std::string::npos) std::abort();
  if (skin->styleSheet.size() > size * 4) std::abort();  // each @x grows to at most #rrggbb
  for (const auto& [name, rgb] : skin->colours)
    if (name.empty() || rgb > 0xFFFFFF) std::abort();
  return 0;
}
