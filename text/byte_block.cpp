#include "byte_block.hpp"

#include <cstdint>

namespace kv {

namespace {
std::int32_t ReadLe32(const unsigned char* p) {
  const std::uint32_t v = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                          std::uint32_t{p[3]} << 24;
  return static_cast<std::int32_t>(v);
}
}  // namespace

std::optional<ByteBlock> BlockPayload(ByteBlock raw) {
  if (raw.size() < 8) return std::nullopt;
  if (ReadLe32(raw.data()) != 1) return std::nullopt;
  const std::int32_t length = ReadLe32(raw.data() + 4);
  if (length < 0 || static_cast<std::size_t>(length) > raw.size() - 8) return std::nullopt;
  return raw.subspan(8, static_cast<std::size_t>(length));
}

}  // namespace kv
