// The game calculators: experience between two levels (character, skill and
// cultivation) and the gold cap of a quest level, computed from built-in
// tables. Plain computation on GBK texts; the Calculator window only passes
// the texts of its boxes in and shows the texts that come back.
#pragma once

#include <cstdint>
#include <string_view>

#include "text.hpp"

namespace kv {

// The tables, program-wide: empty until LoadCalculatorTables runs, rebuilt by
// it each time the Calculator window opens, released by the exit clean-up.
// Every entry is a decimal text; entry k ([k - 1]) is the experience from
// level k to level k + 1. GoldCapTable holds one line per quest level: the
// level left-aligned in four columns, then the gold cap.
extern TextArray LevelExpTable;        // 119 entries
extern TextArray SkillExpTable;        // 114 entries
extern TextArray TechniqueExpTable;    // 20 entries
extern TextArray CultivationExpTable;  // 20 entries
extern TextArray GoldCapTable;         // 120 lines

// The built-in texts the tables are split from (CR LF between lines).
extern const std::string_view kLevelExpText;
extern const std::string_view kSkillExpText;
extern const std::string_view kTechniqueExpText;
extern const std::string_view kCultivationExpText;
extern const std::string_view kGoldCapText;

// Rebuilds the five tables from their built-in texts, replacing the previous ones.
void LoadCalculatorTables();
// Empties the five tables and gives back their memory (exit clean-up).
void ReleaseCalculatorTables();

// The calculators' one text-to-number rule. Full-width ASCII forms (0xA3 0xA1
// to 0xA3 0xFE) read as their ASCII characters and the full-width space as a
// space; leading white space is skipped, one "+" or "-" is taken, then digits
// up to the first other character, in 32 bits with wrap-around. No digits: 0.
std::int32_t ToInteger(std::string_view text);

// Experience from level `current` to level `target` in `table`, as decimal
// text. Empty when current < 1, current > n, target < 2 or target > n + 1
// (n = entries of the table); "0" when target <= current.
Text SumLevelSpan(std::string_view current, std::string_view target, const TextArray& table);

// The level group's output: the span in LevelExpTable, raised by half (cut to
// a whole number) when `times15`; an unusable pair gives "" or, with the half,
// "0".
Text RecalcLevelGroup(std::string_view current, std::string_view target, bool times15);

// The skill group's output: the span in SkillExpTable, raised by half and cut
// to a whole number when `times15`, then multiplied by the skill count. An
// unusable pair gives "0".
Text RecalcSkillGroup(std::string_view current, std::string_view target, bool times15, std::string_view count);

struct CultivationResult {
  Text technique;  // "功法修炼："
  Text other;      // each of the six other cultivation and command skills
  Text total;      // technique + 6 * other; "0" when the pair is unusable
};

// The cultivation group's outputs for levels `current` to `target`.
CultivationResult RecalcCultivationGroup(std::string_view current, std::string_view target);

// The gold cap of a quest level from 1 to 120 as decimal text, else "".
Text LookupGoldCap(std::string_view questLevel);

}  // namespace kv
