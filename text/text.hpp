// Text helpers shared by the whole program.
//
// Every text is a GBK byte string without NUL bytes, handled as bytes: a byte
// of 0x80 or above is the lead byte of a two-byte character and the byte after
// it belongs to the same character, whatever its value (so a trail byte may be
// 0x7C, the bar). Positions are 1-based byte positions. No locale or code-page
// conversion happens anywhere in here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

using Text = std::string;
// An array of owned texts; element i of the program's 1..N addressing is [i - 1].
using TextArray = std::vector<Text>;
// A run of bytes that may hold NUL bytes.
using ByteBlock = std::span<const unsigned char>;

inline bool IsLeadByte(unsigned char c) { return c >= 0x80; }

// The walk position after the character at walk position `pos`: two bytes on
// after a lead byte, one otherwise (also for a lead byte that ends the text).
inline std::size_t NextCharacter(std::string_view text, std::size_t pos) {
  return pos + (IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size() ? 2 : 1);
}

// The block's bytes up to, not including, the first NUL byte.
Text ToText(ByteBlock block);
// printf's "%.13g" rendering, independent of the locale: 12.0 gives "12".
Text ToText(double value);
// Signed decimal, "-" before negative values, no grouping.
Text ToText(std::int32_t value);

// Byte-wise unsigned comparison: -1, 0 or 1. The shorter text is the smaller.
int CompareText(std::string_view a, std::string_view b);

// 1-based position of the first occurrence of `keyword` in `text` that begins
// on a character boundary, or -1. Case-sensitive. An empty keyword is found at
// 1 in a non-empty text and not at all in an empty one.
int FindText(std::string_view text, std::string_view keyword);

// Cuts `text` at every occurrence of `separator` that begins on a character
// boundary of the walk. Two touching separators give an empty piece; a text
// that ends in the separator gives no empty last piece; an empty text gives no
// pieces. An empty separator cuts nothing.
TextArray SplitText(std::string_view text, std::string_view separator);

// Whether byte offset `pos` (0-based) of `text` is a position the character
// walk reaches when it starts at offset `from` (itself such a position).
bool IsWalkPosition(std::string_view text, std::size_t from, std::size_t pos);

// 0-based offset of the first occurrence of `keyword` at or after the walk
// position `from` that begins on a walk position, or npos.
std::size_t FindOnBoundary(std::string_view text, std::string_view keyword, std::size_t from = 0);

}  // namespace kv
