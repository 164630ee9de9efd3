#include <gtest/gtest.h>

#include "gbk_bytes.hpp"
#include "text.hpp"

using kv::test::Bytes;

namespace {

// "亅" is 0x81 0x7C in GBK: its trail byte is the bar.
const std::string kBarTrail = "\x81\x7c";
// "中" is 0xD6 0xD0.
const std::string kZhong = "\xd6\xd0";

// Every text of the program is a narrow literal: each compiler that builds it
// (GCC here, mingw-w64 for Windows) must turn the UTF-8 source into GBK.
TEST(Literals, AreGbkBytes) {
  EXPECT_EQ(std::string("信息："), "\xd0\xc5\xcf\xa2\xa3\xba");
  EXPECT_EQ(std::string("运行时出错!"), "\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!");
  EXPECT_EQ(std::string("答题器|亅"), "\xb4\xf0\xcc\xe2\xc6\xf7|\x81\x7c");
  EXPECT_EQ(std::u16string(u"信息"), std::u16string({0x4fe1, 0x606f}));  // UTF-16 literals stay UTF-16
}

TEST(ToText, NumbersAndBlocks) {
  EXPECT_EQ(kv::ToText(3.0), "3");
  EXPECT_EQ(kv::ToText(2329.0), "2329");
  EXPECT_EQ(kv::ToText(9999999999999.0), "9999999999999");
  EXPECT_EQ(kv::ToText(1.5), "1.5");
  EXPECT_EQ(kv::ToText(std::int32_t{-5}), "-5");
  EXPECT_EQ(kv::ToText(std::int32_t{INT32_MIN}), "-2147483648");
  const std::string block = Bytes("ab\0c");
  EXPECT_EQ(kv::ToText(kv::ByteBlock(reinterpret_cast<const unsigned char*>(block.data()), block.size())), "ab");
  EXPECT_EQ(kv::ToText(kv::ByteBlock()), "");
}

TEST(CompareText, UnsignedBytesAndLength) {
  EXPECT_EQ(kv::CompareText("", {}), 0);
  EXPECT_NE(kv::CompareText("v1.9", "V1.9"), 0);
  EXPECT_LT(kv::CompareText("a", "ab"), 0);
  EXPECT_GT(kv::CompareText("ab", "a"), 0);
  // High bytes compare above ASCII, not below as signed chars would.
  EXPECT_GT(kv::CompareText(kZhong, "z"), 0);
}

TEST(FindText, BasicRules) {
  EXPECT_EQ(kv::FindText("abc", "c"), 3);
  EXPECT_EQ(kv::FindText("abc", ""), 1);
  EXPECT_EQ(kv::FindText("", ""), -1);
  EXPECT_EQ(kv::FindText("", "a"), -1);
  EXPECT_EQ(kv::FindText("AbC", "abc"), -1);
  EXPECT_EQ(kv::FindText("ab", "abc"), -1);
  EXPECT_EQ(kv::FindText("xabab", "ab"), 2);
}

TEST(FindText, MatchesStartOnlyAtCharacterBoundaries) {
  // The trail byte 0x7C is never a bar.
  EXPECT_EQ(kv::FindText(kBarTrail + "|x", "|"), 3);
  EXPECT_EQ(kv::FindText(kBarTrail, "|"), -1);
  // "\xd6\xd0\xd0\xd6": the bytes D0 D0 straddle two characters and must not match "\xd0\xd0"... as one.
  const std::string two = kZhong + "\xd0\xd6";
  EXPECT_EQ(kv::FindText(two, "\xd0\xd0"), -1);
  EXPECT_EQ(kv::FindText(two, "\xd0\xd6"), 3);
  // After an ASCII byte that is itself a trail byte, the walk goes on in step.
  const std::string mixed = std::string("\x81\x41") + "A" + kZhong;
  EXPECT_EQ(kv::FindText(mixed, "A"), 3);
  EXPECT_EQ(kv::FindText(mixed, kZhong), 4);
  // Long runs of double-byte text before the match (the word-wise scan).
  std::string longRun;
  for (int i = 0; i < 40; ++i) longRun += kZhong;
  EXPECT_EQ(kv::FindText(longRun + kBarTrail + "|", "|"), 40 * 2 + 3);
  // An odd run of high bytes leaves its last byte as a lead, which takes the bar.
  EXPECT_EQ(kv::FindText("x" + longRun.substr(1) + "|", "|"), -1);
}

TEST(SplitText, Pieces) {
  using V = kv::TextArray;
  EXPECT_EQ(kv::SplitText("a|b", "|"), (V{"a", "b"}));
  EXPECT_EQ(kv::SplitText("a|", "|"), (V{"a"}));
  EXPECT_EQ(kv::SplitText("|a", "|"), (V{"", "a"}));
  EXPECT_EQ(kv::SplitText("a||b", "|"), (V{"a", "", "b"}));
  EXPECT_EQ(kv::SplitText("a\r\n\r\nb", "\r\n"), (V{"a", "", "b"}));
  EXPECT_EQ(kv::SplitText("a\r\nb\r\n", "\r\n"), (V{"a", "b"}));
  EXPECT_TRUE(kv::SplitText("", "|").empty());
  EXPECT_EQ(kv::SplitText("ab", ""), (V{"ab"}));
  EXPECT_EQ(kv::SplitText(kBarTrail + "|x", "|"), (V{kBarTrail, "x"}));
}

TEST(SplitText, StrayLeadByteSwallowsTheCarriageReturn) {
  // A line ending in a lone lead byte takes the CR as its trail byte, so the
  // CR LF after it is not a separator and the two lines stay joined.
  const std::string text = "a\xd6\r\nb\r\nc";
  EXPECT_EQ(kv::SplitText(text, "\r\n"), (kv::TextArray{"a\xd6\r\nb", "c"}));
}

// The fast boundary test must agree with a plain walk from the first byte.
TEST(FindText, AgreesWithCharacterWalkOnRandomBytes) {
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0xff; };
  const unsigned char alphabet[] = {'a', '|', 0x7c, 0x81, 0xd6, 0xd0, '\r', '\n', 0xff, 0x40};
  for (int round = 0; round < 6000; ++round) {
    std::string text, key;
    // Half the rounds: long lines of mostly double-byte text, as in the bank.
    const bool longLines = round % 2 == 1;
    const int len = static_cast<int>(next() % (longLines ? 120 : 40)), klen = 1 + next() % 3;
    for (int i = 0; i < len; ++i) {
      const unsigned r = next();
      text += static_cast<char>(longLines && r % 8 != 0 ? 0xb0 + r % 16 : alphabet[r % sizeof alphabet]);
    }
    for (int i = 0; i < klen; ++i) key += static_cast<char>(alphabet[next() % sizeof alphabet]);
    int expected = -1;
    for (std::size_t p = 0; p + key.size() <= text.size();
         p += static_cast<unsigned char>(text[p]) >= 0x80 ? 2 : 1) {
      if (text.compare(p, key.size(), key) == 0) {
        expected = static_cast<int>(p + 1);
        break;
      }
    }
    ASSERT_EQ(kv::FindText(text, key), expected) << "round " << round;
  }
}

}  // namespace
