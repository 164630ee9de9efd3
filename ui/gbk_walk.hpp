// How GBK bytes split into characters when they are shown. Plain C++: the
// display conversion (gbk.hpp) walks texts with it.
//
// A byte 0x00..0x7F is a character by itself. A lead byte 0x81..0xFE and the
// trail byte after it (0x40..0xFE, not 0x7F) form a pair, which stands for a
// character when the code page maps it. Everything else is broken:
// - a well-formed pair that stands for no character is one bad pair (both
//   bytes, one replacement character);
// - any other byte (0x80, 0xFF, a lead byte at the end or before a byte that
//   cannot trail it) is one bad byte (one replacement character), and the walk
//   goes on at the very next byte, so an ASCII byte after a broken lead byte
//   is still shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::ui {

constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
constexpr bool IsGbkTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

enum class GbkPiece : std::uint8_t {
  Single,   // one byte 0x00..0x7F
  Pair,     // a lead and a trail byte that stand for a character
  BadPair,  // a lead and a trail byte that stand for none
  BadByte,  // one byte that is part of no character
};

// Calls piece(kind, offset) for the pieces of `bytes` in order; offset is
// where the piece starts. maps(lead, trail) says whether a well-formed pair
// stands for a character.
template <typename Maps, typename Piece>
void WalkGbk(std::string_view bytes, Maps&& maps, Piece&& piece) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      piece(GbkPiece::Single, i);
      ++i;
    } else if (IsGbkLeadByte(c) && i + 1 < n && IsGbkTrailByte(p[i + 1])) {
      piece(maps(c, p[i + 1]) ? GbkPiece::Pair : GbkPiece::BadPair, i);
      i += 2;
    } else {
      piece(GbkPiece::BadByte, i);
      ++i;
    }
  }
}

// `gbk` with every byte of a broken piece replaced by one `replacement` per
// piece (what the display would show as U+FFFD), the rest kept as it is.
template <typename Maps>
std::string KeepDisplayable(std::string_view gbk, Maps&& maps, char replacement) {
  std::string out;
  out.reserve(gbk.size());
  WalkGbk(gbk, maps, [&](GbkPiece piece, std::size_t at) {
    switch (piece) {
      case GbkPiece::Single: out += gbk[at]; break;
      case GbkPiece::Pair: out.append(gbk.substr(at, 2)); break;
      case GbkPiece::BadPair:
      case GbkPiece::BadByte: out += replacement; break;
    }
  });
  return out;
}

}  // namespace kv::ui
