// Base64 of RFC 4648 (the standard alphabet, "=" padding), as the release
// tools write it: the signature file and the compiled-in public key.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// Decodes `text`. Space, tab, CR and LF are skipped wherever they stand (tools
// wrap their output at 64 or 76 columns). Anything else outside the alphabet, a
// group cut short, padding anywhere but at the end, data after the padding, or
// bits set in the padding, and the text is refused: there is exactly one text
// for each byte string, white space aside.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text);

// The base64 of `bytes` on one line, padded, without a line break.
std::string EncodeBase64Line(std::span<const std::uint8_t> bytes);

}  // namespace kv
