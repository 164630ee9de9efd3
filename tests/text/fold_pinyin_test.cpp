// Folding and pinyin: the generated tables and the matcher of runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "fold.hpp"
#include "pinyin.hpp"

namespace {

std::size_t CountCharacters(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); i = kv::NextCharacter(s, i)) ++n;
  return n;
}

TEST(Fold, WidthCaseAndTraditionalForms) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"ＡＢｃ", "abc"},
      {"Hello", "hello"},
      {"０１９", "019"},
      {"？！（）", "?!()"},
      {"　", " "},
      {"長江後來", "长江后来"},
      {"长江", "长江"},                // simplified stays
      {"乾隆", "干隆"},                // OpenCC's first candidate
      {"\xb3", "\xb3"},               // a lead byte that ends the text
      {"\x81\x20x", "\x81\x20x"},     // a pair that is no GBK character
      {"\xff\xff", "\xff\xff"},       // outside the tables
  };
  for (const auto& c : cases) EXPECT_EQ(kv::FoldText(c.in), c.out) << c.in;
}

// Over every lead/trail pair: one character in, one character out, and a
// folded character folds to itself.
TEST(Fold, KeepsCharacterCountAndIsStable) {
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    for (int trail = 0x00; trail <= 0xFF; ++trail) {
      const std::string ch{static_cast<char>(lead), static_cast<char>(trail)};
      const std::string once = kv::FoldText(ch);
      ASSERT_EQ(CountCharacters(once), 1u) << lead << " " << trail;
      ASSERT_EQ(kv::FoldText(once), once) << lead << " " << trail;
    }
  }
}

std::set<std::string> Readings(const std::string& ch) {
  std::set<std::string> out;
  for (const auto y : kv::ReadingSyllables(kv::ReadingSetOf(static_cast<unsigned char>(ch[0]),
                                                            static_cast<unsigned char>(ch[1]))))
    out.emplace(kv::SyllableText(y));
  return out;
}

TEST(Pinyin, EveryReadingOfACharacter) {
  using S = std::set<std::string>;
  EXPECT_EQ(Readings("行"), (S{"hang", "xing"}));
  EXPECT_EQ(Readings("长"), (S{"chang", "zhang"}));
  EXPECT_EQ(Readings("長"), (S{"chang", "zhang"}));
  EXPECT_EQ(Readings("江"), (S{"jiang"}));
  EXPECT_EQ(Readings("绿"), (S{"lu", "lv"}));
  EXPECT_TRUE(Readings("？").empty());
  EXPECT_TRUE(Readings("Ａ").empty());
  // Every character of the GB2312 hanzi rows has a reading.
  for (int lead = 0xB0; lead <= 0xF7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      if (lead == 0xD7 && trail >= 0xFA) continue;  // no characters there
      ASSERT_NE(kv::ReadingSetOf(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)), 0)
          << std::hex << lead << trail;
    }
  }
}

std::vector<std::uint16_t> Sets(std::string_view text) {
  std::vector<std::uint16_t> sets;
  kv::AppendReadingSets(text, sets);
  return sets;
}

TEST(Pinyin, WhatACharacterContributes) {
  const struct {
    const char* keyword;
    const char* text;
    bool match;
  } cases[] = {
      {"cj", "长江", true},          {"chj", "长江", true},         {"changj", "长江", true},
      {"changjiang", "长江", true},  {"changjia", "长江", true},     {"cjiang", "长江", true},
      {"zj", "长江", true},          {"zhangjiang", "长江", true},  {"chanjiang", "长江", false},
      {"jc", "长江", false},         {"changjiangx", "长江", false}, {"cj", "长 江", false},
      {"cj", "长?江", false},        {"hangzhang", "行长", true},   {"xingzhang", "行长", true},
      {"xingchang", "行长", true},   {"hz", "行长", true},          {"h", "行", true},
      {"xin", "行", true},           {"xingz", "银行长", true},     {"yhz", "银行长", true},
      {"cj", "ＡＢ長江？", true},      {"sh", "上", true},            {"sa", "上", false},
      {"hh", "huanghe", false},      {"lv", "绿", true},            {"jiang", "", false},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(kv::PinyinPattern::Applies(c.keyword));
    EXPECT_EQ(kv::PinyinPattern(c.keyword).Matches(Sets(c.text)), c.match) << c.keyword << " " << c.text;
  }
  EXPECT_FALSE(kv::PinyinPattern::Applies(""));
  EXPECT_FALSE(kv::PinyinPattern::Applies("Cj"));
  EXPECT_FALSE(kv::PinyinPattern::Applies("c j"));
  EXPECT_TRUE(kv::PinyinPattern::Applies(std::string(63, 'a')));
  EXPECT_FALSE(kv::PinyinPattern::Applies(std::string(64, 'a')));
}

// A plain recursive reading of the rule, to check the bit-parallel matcher:
// whether characters i..last of `sets` spell `k`, each contributing a piece.
bool Spells(const std::vector<std::uint16_t>& sets, std::size_t i, std::size_t last, std::string_view k) {
  if (sets[i] == 0 || k.empty()) return false;
  for (const auto y : kv::ReadingSyllables(sets[i])) {
    const std::string_view s = kv::SyllableText(y);
    if (i == last) {
      if (s.substr(0, k.size()) == k) return true;  // any beginning of a reading
      continue;
    }
    std::vector<std::size_t> pieces = {1, s.size()};
    if (s.size() > 2 && s[1] == 'h' && (s[0] == 'z' || s[0] == 'c' || s[0] == 's')) pieces.push_back(2);
    for (const std::size_t n : pieces)
      if (n <= k.size() && k.substr(0, n) == s.substr(0, n) && Spells(sets, i + 1, last, k.substr(n))) return true;
  }
  return false;
}

TEST(Pinyin, AgreesWithAPlainReadingOfTheRule) {
  const char* chars[] = {"长", "江", "行", "银", "上", "海", "中", "国", "重", "庆", "的", "?", "绿", "安"};
  const char* keys[] = {"c", "ch", "cha", "chang", "z", "zh", "zhang", "j", "jiang", "x", "h", "hang",
                        "y", "s", "sh", "shang", "g", "guo", "a", "an", "l", "lv", "d", "de", "q"};
  std::uint32_t seed = 11;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  for (int round = 0; round < 5000; ++round) {
    std::string text, key;
    for (int i = static_cast<int>(next() % 7); i > 0; --i) text += chars[next() % std::size(chars)];
    for (int i = 1 + static_cast<int>(next() % 3); i > 0; --i) key += keys[next() % std::size(keys)];
    const auto sets = Sets(text);
    std::vector<std::pair<std::size_t, std::size_t>> expected;
    for (std::size_t first = 0; first < sets.size(); ++first) {
      for (std::size_t last = sets.size(); last-- > first;) {
        if (Spells(sets, first, last, key)) {
          expected.emplace_back(first, last);  // the longest run from `first`
          break;
        }
      }
    }
    const kv::PinyinPattern pattern(key);
    ASSERT_EQ(pattern.Matches(sets), !expected.empty()) << key << " in " << text;
    runs.clear();
    pattern.Runs(sets, runs);
    ASSERT_EQ(runs, expected) << key << " in " << text;
  }
}

}  // namespace
