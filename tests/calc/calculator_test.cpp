#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "calculator.hpp"

namespace {

class Calculator : public ::testing::Test {
 protected:
  void SetUp() override { kv::LoadCalculatorTables(); }
  void TearDown() override { kv::ReleaseCalculatorTables(); }
};

// ---------------------------------------------------------------- ToInteger

TEST(ToInteger, ReadsLeadingDigitsAfterSpaceAndSign) {
  EXPECT_EQ(kv::ToInteger(""), 0);
  EXPECT_EQ(kv::ToInteger("abc"), 0);
  EXPECT_EQ(kv::ToInteger("-"), 0);
  EXPECT_EQ(kv::ToInteger("+"), 0);
  EXPECT_EQ(kv::ToInteger("42"), 42);
  EXPECT_EQ(kv::ToInteger("+42"), 42);
  EXPECT_EQ(kv::ToInteger("-42"), -42);
  EXPECT_EQ(kv::ToInteger(" \t\r\n\v\f17"), 17);
  EXPECT_EQ(kv::ToInteger("12abc"), 12);
  EXPECT_EQ(kv::ToInteger("1 2"), 1);
  EXPECT_EQ(kv::ToInteger("0001"), 1);
  EXPECT_EQ(kv::ToInteger("+-5"), 0);   // one sign only
  EXPECT_EQ(kv::ToInteger("- 5"), 0);   // no space after the sign
  EXPECT_EQ(kv::ToInteger("x5"), 0);
  EXPECT_EQ(kv::ToInteger("\xd6\xd0" "5"), 0);  // a Chinese character first
}

TEST(ToInteger, FullWidthFormsReadAsAscii) {
  EXPECT_EQ(kv::ToInteger("\xa3\xb1\xa3\xb2\xa3\xb0"), 120);                 // full-width 120
  EXPECT_EQ(kv::ToInteger("\xa3\xad\xa3\xb7"), -7);                          // full-width minus
  EXPECT_EQ(kv::ToInteger("\xa3\xab\xa3\xb5"), 5);                           // full-width plus
  EXPECT_EQ(kv::ToInteger("\xa1\xa1\xa1\xa1" "8"), 8);                       // full-width spaces
  EXPECT_EQ(kv::ToInteger("1\xa3\xb2" "3"), 123);                            // mixed widths
  EXPECT_EQ(kv::ToInteger("\xa3\xb4\xa3\xb5\xa3\xe1\xa3\xb6"), 45);          // full-width "45a6"
  EXPECT_EQ(kv::ToInteger("9\xa3"), 9);                                      // lone lead byte at the end
}

TEST(ToInteger, WrapsAroundIn32Bits) {
  EXPECT_EQ(kv::ToInteger("2147483647"), 2147483647);
  EXPECT_EQ(kv::ToInteger("2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(kv::ToInteger("-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(kv::ToInteger("4294967296"), 0);
  EXPECT_EQ(kv::ToInteger("4294967297"), 1);
  EXPECT_EQ(kv::ToInteger("-4294967295"), 1);
  EXPECT_EQ(kv::ToInteger("99999999999"), 1215752191);
  EXPECT_EQ(kv::ToInteger("18446744073709551617"), 1);  // 2^64 + 1
}

// ------------------------------------------------------------------- tables

TEST_F(Calculator, TablesHoldTheirEntries) {
  ASSERT_EQ(kv::LevelExpTable.size(), 119u);
  ASSERT_EQ(kv::SkillExpTable.size(), 114u);
  ASSERT_EQ(kv::TechniqueExpTable.size(), 20u);
  ASSERT_EQ(kv::CultivationExpTable.size(), 20u);
  ASSERT_EQ(kv::GoldCapTable.size(), 120u);
  EXPECT_EQ(kv::LevelExpTable.front(), "140");
  EXPECT_EQ(kv::LevelExpTable[98], "3344730");
  EXPECT_EQ(kv::LevelExpTable.back(), "10292622");
  EXPECT_EQ(kv::SkillExpTable.front(), "20");
  EXPECT_EQ(kv::SkillExpTable.back(), "947681");
  EXPECT_EQ(kv::TechniqueExpTable.back(), "65066");
  EXPECT_EQ(kv::CultivationExpTable.back(), "32533");
  // No entry keeps a CR or LF of its text.
  for (const auto* table : {&kv::LevelExpTable, &kv::SkillExpTable, &kv::TechniqueExpTable, &kv::CultivationExpTable})
    for (const auto& entry : *table) EXPECT_EQ(kv::ToText(kv::ToInteger(entry)), entry);
}

TEST_F(Calculator, CultivationCostsHalfOfTechnique) {
  for (std::size_t i = 0; i < kv::TechniqueExpTable.size(); ++i)
    EXPECT_EQ(kv::ToInteger(kv::TechniqueExpTable[i]), 2 * kv::ToInteger(kv::CultivationExpTable[i])) << "level " << i + 1;
}

TEST_F(Calculator, GoldCapLinesPadTheLevelToFourColumns) {
  EXPECT_EQ(kv::GoldCapTable[0], "1   10550");
  EXPECT_EQ(kv::GoldCapTable[1], "2   12200");
  EXPECT_EQ(kv::GoldCapTable[2], "3   14950");
  EXPECT_EQ(kv::GoldCapTable[9], "10  65000");
  EXPECT_EQ(kv::GoldCapTable[119], "120 7930000");
  for (int t = 1; t <= 120; ++t) {
    char line[32];
    std::snprintf(line, sizeof line, "%-4d%d", t, 550 * t * t + 10000);
    EXPECT_EQ(kv::GoldCapTable[static_cast<std::size_t>(t - 1)], line);
  }
}

TEST_F(Calculator, ReloadingReplacesAndReleaseEmpties) {
  kv::LevelExpTable.push_back("stale");
  kv::GoldCapTable.clear();
  kv::LoadCalculatorTables();
  EXPECT_EQ(kv::LevelExpTable.size(), 119u);
  EXPECT_EQ(kv::GoldCapTable.size(), 120u);
  kv::ReleaseCalculatorTables();
  EXPECT_TRUE(kv::LevelExpTable.empty() && kv::SkillExpTable.empty() && kv::TechniqueExpTable.empty() &&
              kv::CultivationExpTable.empty() && kv::GoldCapTable.empty());
  EXPECT_EQ(kv::LevelExpTable.capacity(), 0u);
}

// Before the window ever opened (or after the clean-up) the tables are empty:
// every calculation gives its "unusable" answer and reads nothing.
TEST(CalculatorWithoutTables, GivesEmptyOutputs) {
  kv::ReleaseCalculatorTables();
  EXPECT_EQ(kv::RecalcLevelGroup("1", "2", false), "");
  EXPECT_EQ(kv::RecalcSkillGroup("1", "2", false, "1"), "0");
  EXPECT_EQ(kv::RecalcCultivationGroup("1", "2").total, "0");
  EXPECT_EQ(kv::LookupGoldCap("1"), "");
  EXPECT_EQ(kv::LookupGoldCap("120"), "");
}

// ------------------------------------------------------------ SumLevelSpan

TEST(SumLevelSpan, UsablePairsOnly) {
  const kv::TextArray table{"10", "20", "30"};
  EXPECT_EQ(kv::SumLevelSpan("1", "4", table), "60");
  EXPECT_EQ(kv::SumLevelSpan("2", "3", table), "20");
  EXPECT_EQ(kv::SumLevelSpan("3", "4", table), "30");
  EXPECT_EQ(kv::SumLevelSpan("3", "2", table), "0");
  EXPECT_EQ(kv::SumLevelSpan("3", "3", table), "0");
  EXPECT_EQ(kv::SumLevelSpan("0", "2", table), "");
  EXPECT_EQ(kv::SumLevelSpan("4", "4", table), "");  // current beyond the last entry
  EXPECT_EQ(kv::SumLevelSpan("1", "5", table), "");  // target beyond n + 1
  EXPECT_EQ(kv::SumLevelSpan("1", "1", table), "");  // target below 2
  EXPECT_EQ(kv::SumLevelSpan("1", "-4294967292", table), "60");  // wraps to 4
  EXPECT_EQ(kv::SumLevelSpan("1", "2", kv::TextArray{}), "");
  EXPECT_EQ(kv::SumLevelSpan("1", "2147483647", table), "");
}

TEST(SumLevelSpan, SumWrapsAroundInsteadOfOverflowing) {
  const kv::TextArray table{"2147483647", "1", "2147483647", "2"};
  EXPECT_EQ(kv::SumLevelSpan("1", "3", table), "-2147483648");
  EXPECT_EQ(kv::SumLevelSpan("1", "5", table), "1");
}

// ------------------------------------------------------------- level group

TEST_F(Calculator, LevelGroupExamples) {
  EXPECT_EQ(kv::RecalcLevelGroup("1", "2", false), "140");
  EXPECT_EQ(kv::RecalcLevelGroup("1", "2", true), "210");
  EXPECT_EQ(kv::RecalcLevelGroup("2", "3", false), "215");
  EXPECT_EQ(kv::RecalcLevelGroup("2", "3", true), "322");
  EXPECT_EQ(kv::RecalcLevelGroup("5", "5", false), "0");
  EXPECT_EQ(kv::RecalcLevelGroup("10", "3", false), "0");
  EXPECT_EQ(kv::RecalcLevelGroup("1", "120", false), "183385630");
  EXPECT_EQ(kv::RecalcLevelGroup("1", "120", true), "275078445");
}

TEST_F(Calculator, LevelGroupBoundaries) {
  EXPECT_EQ(kv::RecalcLevelGroup("1", "1", false), "");
  EXPECT_EQ(kv::RecalcLevelGroup("119", "120", false), "10292622");
  EXPECT_EQ(kv::RecalcLevelGroup("118", "120", false), "20080422");
  EXPECT_EQ(kv::RecalcLevelGroup("119", "121", false), "");
  EXPECT_EQ(kv::RecalcLevelGroup("120", "120", false), "");
  EXPECT_EQ(kv::RecalcLevelGroup("121", "2", false), "");
  EXPECT_EQ(kv::RecalcLevelGroup("120", "121", true), "0");
}

TEST_F(Calculator, LevelGroupUnusableCurrentLevel) {
  for (const char* current : {"", "0", "-", "-1", "abc"}) {
    EXPECT_EQ(kv::RecalcLevelGroup(current, "10", false), "") << current;
    EXPECT_EQ(kv::RecalcLevelGroup(current, "10", true), "0") << current;
    EXPECT_EQ(kv::RecalcSkillGroup(current, "10", false, "1"), "0") << current;
  }
}

TEST_F(Calculator, LevelGroupReadsPastedText) {
  EXPECT_EQ(kv::RecalcLevelGroup("\xa3\xb1", "\xa3\xb3", false), "355");  // full-width 1 and 3
  EXPECT_EQ(kv::RecalcLevelGroup("1abc", "2xyz", false), "140");
  EXPECT_EQ(kv::RecalcLevelGroup("  2", " 3", false), "215");
  EXPECT_EQ(kv::RecalcLevelGroup("abc", "2", false), "");
  EXPECT_EQ(kv::RecalcLevelGroup("4294967297", "2", false), "140");  // 2^32 + 1
}

// ------------------------------------------------------------- skill group

TEST_F(Calculator, SkillGroupExamples) {
  EXPECT_EQ(kv::RecalcSkillGroup("1", "2", false, "1"), "20");
  EXPECT_EQ(kv::RecalcSkillGroup("1", "2", false, "7"), "140");
  EXPECT_EQ(kv::RecalcSkillGroup("1", "2", true, "3"), "90");
  EXPECT_EQ(kv::RecalcSkillGroup("5", "5", false, "1"), "0");
  EXPECT_EQ(kv::RecalcSkillGroup("10", "3", true, "7"), "0");
  EXPECT_EQ(kv::RecalcSkillGroup("1", "1", false, "1"), "0");
  EXPECT_EQ(kv::RecalcSkillGroup("1", "115", true, "7"), "183520393");
}

TEST_F(Calculator, SkillGroupCutsTheHalfBeforeCounting) {
  EXPECT_EQ(kv::RecalcSkillGroup("3", "4", true, "3"), "174");  // 39 * 1.5 = 58.5 -> 58, * 3
  kv::SkillExpTable = {"215"};
  EXPECT_EQ(kv::RecalcSkillGroup("1", "2", true, "3"), "966");
}

TEST_F(Calculator, SkillGroupBoundaries) {
  EXPECT_EQ(kv::RecalcSkillGroup("114", "115", false, "1"), "947681");
  EXPECT_EQ(kv::RecalcSkillGroup("114", "115", false, "4"), "3790724");
  EXPECT_EQ(kv::RecalcSkillGroup("114", "116", false, "1"), "0");
  EXPECT_EQ(kv::RecalcSkillGroup("115", "115", false, "1"), "0");
  EXPECT_EQ(kv::RecalcSkillGroup("116", "2", false, "1"), "0");
  EXPECT_EQ(kv::RecalcSkillGroup("1", "2", false, ""), "0");
}

// A product beyond 32 bits cannot come from the count box's items; it wraps
// around like every other number rather than being undefined.
TEST_F(Calculator, SkillGroupProductWrapsAround) {
  EXPECT_EQ(kv::RecalcSkillGroup("1", "2", false, "2147483647"), "-20");
  EXPECT_EQ(kv::RecalcSkillGroup("1", "2", false, "-2"), "-40");
}

// ------------------------------------------------------- cultivation group

TEST_F(Calculator, CultivationGroupExamples) {
  auto r = kv::RecalcCultivationGroup("1", "2");
  EXPECT_EQ(r.technique, "318");
  EXPECT_EQ(r.other, "159");
  EXPECT_EQ(r.total, "1272");
  r = kv::RecalcCultivationGroup("1", "21");
  EXPECT_EQ(r.technique, "374698");
  EXPECT_EQ(r.other, "187349");
  EXPECT_EQ(r.total, "1498792");
  r = kv::RecalcCultivationGroup("20", "21");
  EXPECT_EQ(r.technique, "65066");
  EXPECT_EQ(r.other, "32533");
  EXPECT_EQ(r.total, "260264");
}

TEST_F(Calculator, CultivationGroupUnusablePairs) {
  const std::pair<const char*, const char*> pairs[] = {{"", "5"}, {"0", "5"}, {"21", "22"}, {"1", "1"}, {"1", "22"}, {"-1", "5"}};
  for (const auto& [current, target] : pairs) {
    const auto r = kv::RecalcCultivationGroup(current, target);
    EXPECT_EQ(r.technique, "") << current << ".." << target;
    EXPECT_EQ(r.other, "") << current << ".." << target;
    EXPECT_EQ(r.total, "0") << current << ".." << target;
  }
}

TEST_F(Calculator, CultivationGroupBackwardSpansGiveZero) {
  for (const char* target : {"2", "3", "4", "5", "6", "7"}) {
    const auto r = kv::RecalcCultivationGroup("7", target);
    EXPECT_EQ(r.technique, "0") << target;
    EXPECT_EQ(r.other, "0") << target;
    EXPECT_EQ(r.total, "0") << target;
  }
}

// ------------------------------------------------------------ gold cap

TEST_F(Calculator, GoldCapExamples) {
  EXPECT_EQ(kv::LookupGoldCap("1"), "10550");
  EXPECT_EQ(kv::LookupGoldCap("60"), "1990000");
  EXPECT_EQ(kv::LookupGoldCap("120"), "7930000");
  EXPECT_EQ(kv::LookupGoldCap("0001"), "10550");
  EXPECT_EQ(kv::LookupGoldCap("4294967297"), "10550");  // 2^32 + 1 typed in full
  EXPECT_EQ(kv::LookupGoldCap("\xa3\xb6\xa3\xb0"), "1990000");  // full-width 60
  EXPECT_EQ(kv::LookupGoldCap("60abc"), "1990000");
}

TEST_F(Calculator, GoldCapOutOfRange) {
  for (const char* level : {"", "0", "-1", "-", "121", "abc", "4294967296"}) EXPECT_EQ(kv::LookupGoldCap(level), "") << level;
}

}  // namespace
