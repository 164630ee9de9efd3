#include <gtest/gtest.h>

#include "lookup.hpp"

namespace {

struct Row {
  std::string ordinal, question, answer;
  bool operator==(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
  return os << "{" << r.ordinal << "," << r.question << "," << r.answer << "}";
}

std::vector<Row> Lookup(const kv::TextArray& bank, std::string_view keyword) {
  std::vector<kv::LookupRow> rows{{99, 99, "stale", "stale"}};
  kv::RunLookup(bank, keyword, rows);
  std::vector<Row> out;
  for (const auto& r : rows) out.push_back({kv::OrdinalText(r), std::string(r.question), std::string(r.answer)});
  return out;
}

const kv::TextArray kBank = {
    "apple|red",        // 1
    "",                 // 2: empty line
    "Apple pie|sweet",  // 3
    "apple apple|two",  // 4: keyword twice, one row
    "no bar here",      // 5
    "apple|red",        // 6: a repeated line
    "\x81\x7c|x",       // 7: trail byte 0x7C before the real bar
    "a|b|c",            // 8: two bars
    "only answer has kiwi|kiwi",
    "ends in bar|",
    "||",
};

TEST(Lookup, EmptyKeywordAndNoHitListNothing) {
  EXPECT_TRUE(Lookup(kBank, "").empty());
  EXPECT_TRUE(Lookup(kBank, "durian").empty());
  EXPECT_TRUE(Lookup({}, "apple").empty());
}

TEST(Lookup, RowsNumberedWithoutGapsInBankOrder) {
  EXPECT_EQ(Lookup(kBank, "apple"),
            (std::vector<Row>{{"1", "apple", "red"}, {"2", "apple apple", "two"}, {"3", "apple", "red"}}));
  // Case-sensitive: "Apple" finds only line 3, numbered 1 again.
  EXPECT_EQ(Lookup(kBank, "Apple"), (std::vector<Row>{{"1", "Apple pie", "sweet"}}));
}

TEST(Lookup, LinesWithoutExactlyTwoPiecesKeepEmptyCells) {
  EXPECT_EQ(Lookup(kBank, "no bar"), (std::vector<Row>{{"1", "", ""}}));
  EXPECT_EQ(Lookup(kBank, "a|b|c"), (std::vector<Row>{{"1", "", ""}}));
  EXPECT_EQ(Lookup(kBank, "ends in"), (std::vector<Row>{{"1", "", ""}}));
  // "||" splits into two empty pieces, exactly as SplitText cuts it.
  ASSERT_EQ(kv::SplitText("||", "|").size(), 2u);
  EXPECT_EQ(Lookup({"||"}, "|"), (std::vector<Row>{{"1", "", ""}}));
}

TEST(Lookup, BarKeywordSkipsTrailBytesAndSpansTheBar) {
  const auto rows = Lookup(kBank, "|");
  // Every line holding a real bar: all but the empty line and "no bar here".
  EXPECT_EQ(rows.size(), kBank.size() - 2);
  EXPECT_EQ(Lookup(kBank, "\x81\x7c|"), (std::vector<Row>{{"1", "\x81\x7c", "x"}}));
  EXPECT_EQ(Lookup(kBank, "e|r"), (std::vector<Row>{{"1", "apple", "red"}, {"2", "apple", "red"}}));
  EXPECT_EQ(Lookup(kBank, "kiwi"), (std::vector<Row>{{"1", "only answer has kiwi", "kiwi"}}));
}

// The cells agree with SplitText's pieces on arbitrary lines.
TEST(Lookup, CellsAgreeWithSplitText) {
  std::uint32_t seed = 7;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u, (seed >> 20) & 0xff; };
  const unsigned char alphabet[] = {'a', '|', 0x7c, 0x81, 0xd6, ' '};
  for (int round = 0; round < 5000; ++round) {
    std::string line;
    const int len = next() % 12;
    for (int i = 0; i < len; ++i) line += static_cast<char>(alphabet[next() % sizeof alphabet]);
    const auto pieces = kv::SplitText(line, "|");
    std::string_view q, a;
    const bool two = kv::SplitLookupCells(line, q, a);
    ASSERT_EQ(two, pieces.size() == 2) << line;
    if (two) {
      EXPECT_EQ(q, pieces[0]);
      EXPECT_EQ(a, pieces[1]);
    }
  }
}

}  // namespace
