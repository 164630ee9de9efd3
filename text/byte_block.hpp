// Embedded byte blocks: a 32-bit little-endian word 1, a 32-bit little-endian
// byte count, then that many bytes.
#pragma once

#include <optional>

#include "text.hpp"

namespace kv {

// The payload of an embedded block, or nothing when the marker is not 1, the
// count is negative, or the count runs past the bytes given.
std::optional<ByteBlock> BlockPayload(ByteBlock raw);

}  // namespace kv
