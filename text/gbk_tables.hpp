// Tables over the double-byte GBK characters, generated at build time from
// Debian's OpenCC and Rime data (tools/tables/). A character's place is
// (lead - 0x81) * 191 + (trail - 0x40), for a lead byte 0x81..0xFE and a
// trail byte 0x40..0xFE.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv::tables {

inline constexpr std::size_t kGbkPlaces = 126 * 191;

// The place of a lead/trail pair, or kGbkPlaces when the pair is outside the
// tables' range.
inline std::size_t GbkPlace(unsigned char lead, unsigned char trail) {
  if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE) return kGbkPlaces;
  return static_cast<std::size_t>(lead - 0x81) * 191 + static_cast<std::size_t>(trail - 0x40);
}

// What a character folds to: 0 for itself, below 0x80 an ASCII byte, else
// lead << 8 | trail.
extern const std::uint16_t kFoldTo[];

// The syllables, sorted, back to back: syllable i is
// kSyllableText[kSyllableStart[i] .. kSyllableStart[i + 1]).
extern const std::size_t kSyllableCount;
extern const char kSyllableText[];
extern const std::uint16_t kSyllableStart[];

// A character's set of readings (0: none); set s holds the syllables
// kReadingSetSyllables[kReadingSetStart[s] .. kReadingSetStart[s + 1]).
extern const std::size_t kReadingSetCount;
extern const std::uint16_t kReadingSetOf[];
extern const std::uint16_t kReadingSetStart[];
extern const std::uint16_t kReadingSetSyllables[];

}  // namespace kv::tables
