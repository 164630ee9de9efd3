// Conversion between the program's GBK texts and the UTF-16 strings of the W
// functions, always with code page 936 whatever the system's ANSI code page.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "text.hpp"

namespace kv::ui::win {

// GBK bytes to UTF-16. Every character of GBK is shown as code page 936 maps
// it; each byte that is part of no character, and each pair that stands for
// none, shows as one U+FFFD (the rule is in gbk_walk.hpp).
std::wstring FromGbk(std::string_view bytes);

// Where byte offsets of `bytes` land in FromGbk(bytes): positions[i] is the
// number of UTF-16 units that the pieces starting before offsets[i] convert
// to. `offsets` must be ascending; an offset past the end counts every piece.
void Utf16Positions(std::string_view bytes, std::span<const std::uint32_t> offsets, std::span<std::size_t> positions);

// UTF-16 to GBK, or nothing when some character has no GBK form.
std::optional<Text> ToGbk(std::wstring_view text);

// UTF-16 to GBK as an edit box reads it: a character that GBK lacks becomes
// "?" and clears `exact`.
struct GbkReading {
  Text gbk;
  bool exact = true;
};
GbkReading ReadAsGbk(std::wstring_view text);

// Whether code page 936 maps the pair to a character.
bool PairMaps(unsigned char lead, unsigned char trail);

}  // namespace kv::ui::win
