// GBK bytes to display strings: what is shown for broken bytes, and that every
// character of GBK comes through unchanged.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "qt/gbk.hpp"
#include "gbk_walk.hpp"
#include "ui/qt_app.hpp"

namespace {

using kv::test::Q;

// The pieces of `bytes` as letters: S single, P pair, X bad pair, B bad byte;
// "!" where a piece does not start right after the one before.
std::string Pieces(std::string_view bytes) {
  std::string out;
  std::size_t next = 0;
  // A code page with one hole: the pair A1 40 stands for nothing.
  auto maps = [](unsigned char lead, unsigned char trail) { return !(lead == 0xA1 && trail == 0x40); };
  kv::ui::WalkGbk(bytes, maps, [&](kv::ui::GbkPiece piece, std::size_t at) {
    if (at != next) out += '!';
    using P = kv::ui::GbkPiece;
    out += piece == P::Single ? 'S' : piece == P::Pair ? 'P' : piece == P::BadPair ? 'X' : 'B';
    next = at + (piece == P::Pair || piece == P::BadPair ? 2 : 1);
  });
  return out;
}

TEST(GbkWalk, SplitsBytesIntoCharactersBadPairsAndBadBytes) {
  struct Case {
    std::string_view bytes;
    const char* pieces;
  } cases[] = {
      {"", ""},
      {std::string_view("a\0\x7f", 3), "SSS"},
      {"\x81\x40\xfe\xfe\x81\x80", "PPP"},              // trails 0x40..0xFE, 0x80 among them
      {"\x81\x3f", "BS"},                               // below the trails
      {"\x81\x7f", "BS"},                               // the one gap in them
      {"\x81\xff", "BB"},
      {"\x81", "B"},                                    // a lead byte at the end
      {"ab\xd0", "SSB"},
      {"\x80\xff\x40", "BBS"},                          // 0x80 and 0xFF lead nothing
      {"\x81\x81\x81", "PB"},                           // a lead byte is taken as a trail first
      {"\xa1\x40\xa1\x41", "XP"},                       // a pair the code page lacks: one piece
      {"\xa1\xa1\x81\x30\xa1", "PBSB"},
  };
  for (const Case& c : cases) EXPECT_EQ(Pieces(c.bytes), c.pieces) << testing::PrintToString(std::string(c.bytes));
}

TEST(FromGbk, ShowsEachByteOutsideACharacterAsOneReplacementCharacter) {
  struct Case {
    std::string_view bytes;
    const char16_t* shown;
  } cases[] = {
      {"", u""},
      {"\xd0\xc5\xcf\xa2\xa3\xba", u"信息："},
      {"A\x81", u"A\uFFFD"},                            // a lead byte at the end
      {"\xd0\xc5\xd0", u"信\uFFFD"},
      {"\xff", u"\uFFFD"},                              // never a lead byte
      {"a\xff" "b", u"a\uFFFDb"},
      {"\x80", u"\uFFFD"},                              // nor is 0x80
      {"\x81\x30", u"\uFFFD0"},                         // a lead byte before ASCII: the ASCII stays
      {"\x81\x7f", u"\uFFFD\u007F"},
      {"\x81\xff", u"\uFFFD\uFFFD"},                    // a lead byte before a byte that is no trail
      {"\x81\x81\x41", u"\u4E96A"},                     // a lead byte may be a trail byte too
      {"\xfe\xfe\x81\x40", u"\uE4C5\u4E02"},            // the corners of the double-byte range
      {"\xaa\xa1", u"\uE000"},                          // user-defined area: private use, kept
      {"\xd0\xc5\x7c\xb4\xf0", u"信|答"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kv::ui::FromGbk(c.bytes), Q(c.shown)) << testing::PrintToString(std::string(c.bytes));
  }
}

TEST(FromGbk, KeepsEveryCharacterOfGbk) {
  for (int b = 0; b < 0x80; ++b) {
    const std::string single(1, static_cast<char>(b));
    ASSERT_EQ(kv::ui::FromGbk(single), QString(QChar(b))) << b;
  }
  int pairs = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
      const QString shown = kv::ui::FromGbk(pair);
      ASSERT_EQ(shown.size(), 1) << lead << " " << trail;
      ASSERT_NE(shown.at(0), QChar::ReplacementCharacter) << lead << " " << trail;
      ASSERT_EQ(kv::ui::ToGbk(shown), pair) << lead << " " << trail;  // the very same bytes back
      ++pairs;
    }
  }
  EXPECT_EQ(pairs, 126 * 190);
}

TEST(Utf16Positions, PlacesByteOffsetsWhereTheirCharactersLandInTheShownText) {
  struct Case {
    std::string_view bytes;
    std::vector<std::uint32_t> offsets;
    std::vector<qsizetype> positions;
  } cases[] = {
      {"a\xd0\xc5" "b\xcf\xa2", {0, 1, 3, 4, 6}, {0, 1, 2, 3, 4}},  // a信b息: one unit per character
      {"\xd0\xc5\xcf\xa2", {1, 2, 3}, {1, 1, 2}},                 // inside a character: after it
      {"\x81" "0\xd0\xc5", {1, 2, 4}, {1, 2, 3}},                  // a bad byte shows as one unit
      {"\xa1\xa1\xa1", {2, 3, 9}, {1, 2, 2}},                      // a lead byte at the end; past the end
      {"", {0, 5}, {0, 0}},
  };
  for (const Case& c : cases) {
    std::vector<qsizetype> positions(c.offsets.size(), -1);
    kv::ui::Utf16Positions(c.bytes, c.offsets, positions);
    EXPECT_EQ(positions, c.positions) << testing::PrintToString(std::string(c.bytes));
    // As long as the text before the offset is when converted on its own.
    for (std::size_t i = 0; i < c.offsets.size(); ++i) {
      if (c.offsets[i] > c.bytes.size()) continue;
      EXPECT_EQ(kv::ui::FromGbk(c.bytes.substr(0, c.offsets[i])).size(), positions[i]) << c.offsets[i];
    }
  }
}

}  // namespace
