#include "mail_charset.hpp"

namespace kv {

namespace {

// The assigned trail bytes of the symbol rows 1 to 9 (lead 0xA1..0xA9).
struct TrailRun {
  unsigned char lead, first, last;
};
constexpr TrailRun kSymbolRuns[] = {
    {0xA1, 0xA1, 0xFE}, {0xA2, 0xB1, 0xE2}, {0xA2, 0xE5, 0xEE}, {0xA2, 0xF1, 0xFC}, {0xA3, 0xA1, 0xFE},
    {0xA4, 0xA1, 0xF3}, {0xA5, 0xA1, 0xF6}, {0xA6, 0xA1, 0xB8}, {0xA6, 0xC1, 0xD8}, {0xA7, 0xA1, 0xC1},
    {0xA7, 0xD1, 0xF1}, {0xA8, 0xA1, 0xBA}, {0xA8, 0xC5, 0xE9}, {0xA9, 0xA4, 0xEF},
};

bool InGb2312(unsigned char lead, unsigned char trail) {
  if (trail < 0xA1 || trail > 0xFE) return false;
  // The hanzi rows 16 to 87; row 55 stops at 0xF9.
  if (lead >= 0xB0 && lead <= 0xF7) return lead != 0xD7 || trail <= 0xF9;
  for (const TrailRun& run : kSymbolRuns)
    if (run.lead == lead && trail >= run.first && trail <= run.last) return true;
  return false;
}

}  // namespace

bool IsGb2312Text(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) continue;
    if (i + 1 == text.size() || !InGb2312(c, static_cast<unsigned char>(text[i + 1]))) return false;
    ++i;
  }
  return true;
}

std::string_view ChineseCharset(std::string_view text) { return IsGb2312Text(text) ? "gb2312" : "GBK"; }

}  // namespace kv
