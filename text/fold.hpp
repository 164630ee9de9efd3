// Folding for the tolerant lookup: two texts that differ only in the width of
// their forms, in the case of ASCII letters or in traditional against
// simplified characters fold to the same text.
//
// Every character folds to exactly one character, so the folded text has as
// many characters as the text, in the same order: the n-th character of the
// one stands for the n-th of the other.
#pragma once

#include <string_view>

#include "text.hpp"

namespace kv {

// Appends the folded form of `text` to `out`:
//  - ASCII letters in lower case;
//  - a full-width form as its half-width form (Ａ as a, ０ as 0, ？ as ?, the
//    full-width space as a space);
//  - a traditional character as its simplified one.
// Every other character, and every byte pair that is no GBK character, is
// copied as it is. Folding a folded text changes nothing.
void AppendFolded(std::string_view text, Text& out);

inline Text FoldText(std::string_view text) {
  Text out;
  AppendFolded(text, out);
  return out;
}

}  // namespace kv
