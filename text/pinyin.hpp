// Pinyin for the tolerant lookup: each character's readings, and a keyword of
// letters matched against runs of characters.
//
// A run of characters c1 .. cn spells a keyword when the keyword is the
// concatenation of one piece per character, each taken from one reading of
// that character (every reading counts, 行 as hang and as xing):
//   - the reading's first letter ("c" for chang);
//   - for a reading that begins with zh, ch or sh, those two letters;
//   - the whole reading ("chang");
//   - for the last character cn only, any beginning of a reading ("chan",
//     "jia"), so the hits stay while the player is still typing.
// So "cj", "chj", "changj", "changjia" and "changjiang" all spell 长江, while
// "cjiang" does too (c, then jiang) and "chanjiang" does not (chan is not a
// piece of 长 unless 长 ends the run). Readings are toneless; ü is spelt v.
// Characters without a reading (ASCII, punctuation) end a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

// The number of a character's set of readings, 0 for a character without one.
std::uint16_t ReadingSetOf(unsigned char lead, unsigned char trail);
// The syllable numbers of a set of readings.
std::span<const std::uint16_t> ReadingSyllables(std::uint16_t set);
// The text of syllable `number` ("chang").
std::string_view SyllableText(std::uint16_t number);

// Appends the reading set of every character of `text` to `out`, one entry
// per character of the walk (0 for single bytes and for pairs without one).
void AppendReadingSets(std::string_view text, std::vector<std::uint16_t>& out);

// A keyword of lower-case ASCII letters, prepared once for matching runs of
// characters given by their reading sets.
class PinyinPattern {
 public:
  // Longer keywords are matched only as letters.
  static constexpr std::size_t kMaxLetters = 63;
  // Whether `keyword` is 1 to kMaxLetters letters a-z.
  static bool Applies(std::string_view keyword);

  // `keyword` must satisfy Applies.
  explicit PinyinPattern(std::string_view keyword);

  // Whether some run of consecutive characters of `sets` spells the keyword.
  bool Matches(std::span<const std::uint16_t> sets) const;
  // Every character index pair [first, last] such that the run from first to
  // last spells the keyword, longest per first character, in order of first.
  void Runs(std::span<const std::uint16_t> sets, std::vector<std::pair<std::size_t, std::size_t>>& out) const;

 private:
  // For one syllable, the keyword positions p (bit p) where a piece of it
  // can stand: its first letter, its zh/ch/sh, the whole of it, and where
  // the rest of the keyword from p begins it (the run may end there).
  struct Step {
    std::uint64_t one = 0, two = 0, full = 0, end = 0;
    unsigned len = 0;
  };
  std::uint64_t Advance(std::uint16_t set, std::uint64_t at, bool& ends) const;

  std::vector<Step> steps_;  // by syllable number
  // By reading set: whether a run can begin with the character, which lets
  // the scan step over the many characters that cannot.
  std::vector<std::uint8_t> starts_;
  std::uint64_t live_ = 0;   // positions before the keyword's end
};

}  // namespace kv
