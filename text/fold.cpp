#include "fold.hpp"

#include "gbk_tables.hpp"

namespace kv {

void AppendFolded(std::string_view text, Text& out) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!IsLeadByte(c) || i + 1 == text.size()) {
      out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
      ++i;
      continue;
    }
    const auto t = static_cast<unsigned char>(text[i + 1]);
    const std::size_t place = tables::GbkPlace(c, t);
    const std::uint16_t to = place < tables::kGbkPlaces ? tables::kFoldTo[place] : 0;
    if (to == 0) {
      out += static_cast<char>(c);
      out += static_cast<char>(t);
    } else if (to < 0x80) {
      out += static_cast<char>(to);
    } else {
      out += static_cast<char>(to >> 8);
      out += static_cast<char>(to & 0xFF);
    }
    i += 2;
  }
}

}  // namespace kv
