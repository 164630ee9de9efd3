// What the tolerant lookup reads of each bank line, computed once when the
// bank loads: the line's folded text and the reading set of each character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "text.hpp"

namespace kv {

class TolerantIndex {
 public:
  TolerantIndex() = default;
  explicit TolerantIndex(const TextArray& bank);

  std::size_t LineCount() const { return sizes_.size(); }
  // Whether the index was built from a bank of these lines: same count and
  // the same length of every line. (A bank edited in place to lines of the
  // same lengths is not noticed.)
  bool Describes(const TextArray& bank) const;

  // Line `line` folded (AppendFolded): one character per character of the line.
  std::string_view Folded(std::size_t line) const {
    return std::string_view(folded_).substr(foldedStart_[line], foldedStart_[line + 1] - foldedStart_[line]);
  }
  // The reading set of every character of line `line` (AppendReadingSets).
  std::span<const std::uint16_t> ReadingSets(std::size_t line) const {
    return std::span<const std::uint16_t>(readings_).subspan(readingStart_[line],
                                                              readingStart_[line + 1] - readingStart_[line]);
  }

  // Whether the folded line holds an ASCII letter: a keyword of letters can
  // occur in it as letters only then.
  bool HasLetters(std::size_t line) const { return letters_[line] != 0; }

  // Bytes held for the index.
  std::size_t MemoryBytes() const;

 private:
  Text folded_;
  std::vector<std::uint32_t> foldedStart_{0};
  std::vector<std::uint16_t> readings_;
  std::vector<std::uint32_t> readingStart_{0};
  std::vector<std::uint32_t> sizes_;
  std::vector<std::uint8_t> letters_;
};

}  // namespace kv
