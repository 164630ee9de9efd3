#include "calculator.hpp"

#include <cmath>

namespace kv {

TextArray LevelExpTable;
TextArray SkillExpTable;
TextArray TechniqueExpTable;
TextArray CultivationExpTable;
TextArray GoldCapTable;

namespace {

void Rebuild(TextArray& table, std::string_view text) {
  TextArray fresh = SplitText(text, "\r\n");
  table.swap(fresh);  // the previous array goes with `fresh`
}

// A double brought back to 32 bits by truncation toward zero. Values outside
// the 32-bit range wrap around modulo 2^32 like every other number here (a
// plain conversion would be undefined); NaN gives 0.
std::int32_t Truncate(double value) {
  if (std::isnan(value)) return 0;
  double whole = std::trunc(value);
  if (whole >= -2147483648.0 && whole <= 2147483647.0) return static_cast<std::int32_t>(whole);
  if (std::isinf(whole)) return 0;
  whole = std::fmod(whole, 4294967296.0);  // exact, |whole| < 2^32, sign of value
  if (whole < 0) whole += 4294967296.0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(whole));
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Gold-cap lines: quest levels 1 to 120, the level takes the first four bytes.
constexpr std::int32_t kGoldCapLevels = 120;
constexpr std::size_t kGoldCapLevelColumns = 4;

}  // namespace

void LoadCalculatorTables() {
  Rebuild(LevelExpTable, kLevelExpText);
  Rebuild(SkillExpTable, kSkillExpText);
  Rebuild(TechniqueExpTable, kTechniqueExpText);
  Rebuild(CultivationExpTable, kCultivationExpText);
  Rebuild(GoldCapTable, kGoldCapText);
}

void ReleaseCalculatorTables() {
  TextArray().swap(LevelExpTable);
  TextArray().swap(SkillExpTable);
  TextArray().swap(TechniqueExpTable);
  TextArray().swap(CultivationExpTable);
  TextArray().swap(GoldCapTable);
}

std::int32_t ToInteger(std::string_view text) {
  // Full-width forms to ASCII, walking the text character by character so that
  // a trail byte of 0xA3 is never taken for a lead byte.
  Text ascii;
  ascii.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!IsLeadByte(c) || i + 1 == text.size()) {
      ascii.push_back(text[i]);
      continue;
    }
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (c == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
      ascii.push_back(static_cast<char>(trail - 0x80));
    } else if (c == 0xA1 && trail == 0xA1) {
      ascii.push_back(' ');
    } else {
      ascii.push_back(text[i]);
      ascii.push_back(text[i + 1]);
    }
    ++i;
  }

  std::size_t i = 0;
  while (i < ascii.size() && IsSpace(ascii[i])) ++i;
  bool negative = false;
  if (i < ascii.size() && (ascii[i] == '+' || ascii[i] == '-')) negative = ascii[i++] == '-';
  std::uint32_t value = 0;
  for (; i < ascii.size() && ascii[i] >= '0' && ascii[i] <= '9'; ++i)
    value = value * 10u + static_cast<std::uint32_t>(ascii[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

Text SumLevelSpan(std::string_view current, std::string_view target, const TextArray& table) {
  const std::int32_t c = ToInteger(current);
  const std::int32_t t = ToInteger(target);
  // Compared in 64 bits so that n + 1 cannot overflow for any table.
  const auto n = static_cast<std::int64_t>(table.size());
  if (c < 1 || t > n + 1 || t < 2 || c > n) return Text();
  std::uint32_t sum = 0;  // wraps around instead of overflowing
  for (std::int32_t level = c; level < t; ++level)
    sum += static_cast<std::uint32_t>(ToInteger(table[static_cast<std::size_t>(level - 1)]));
  return ToText(static_cast<std::int32_t>(sum));
}

Text RecalcLevelGroup(std::string_view current, std::string_view target, bool times15) {
  Text r = SumLevelSpan(current, target, LevelExpTable);
  if (times15) r = ToText(Truncate(ToInteger(r) * 1.5));
  return r;
}

Text RecalcSkillGroup(std::string_view current, std::string_view target, bool times15, std::string_view count) {
  Text r = SumLevelSpan(current, target, SkillExpTable);
  if (times15) r = ToText(Truncate(ToInteger(r) * 1.5));
  return ToText(Truncate(static_cast<double>(ToInteger(r)) * ToInteger(count)));
}

CultivationResult RecalcCultivationGroup(std::string_view current, std::string_view target) {
  CultivationResult r;
  r.technique = SumLevelSpan(current, target, TechniqueExpTable);
  r.other = SumLevelSpan(current, target, CultivationExpTable);
  double total = ToInteger(r.technique);
  for (int i = 0; i < 6; ++i) total += ToInteger(r.other);
  r.total = ToText(total);
  return r;
}

Text LookupGoldCap(std::string_view questLevel) {
  const std::int32_t t = ToInteger(questLevel);
  if (t < 1 || t > kGoldCapLevels) return Text();
  // A table that has not been loaded (or was released) has no line to read.
  if (static_cast<std::size_t>(t) > GoldCapTable.size()) return Text();
  const Text& line = GoldCapTable[static_cast<std::size_t>(t - 1)];
  if (line.size() <= kGoldCapLevelColumns) return Text();
  return line.substr(kGoldCapLevelColumns);
}

}  // namespace kv
