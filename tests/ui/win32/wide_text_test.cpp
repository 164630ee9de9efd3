// GBK and UTF-16 with code page 936, and the DPI scaling of the tables' sizes.
#include <gtest/gtest.h>

#include "gbk_bytes.hpp"
#include "gbk_display.hpp"
#include "win32/dpi_win.hpp"
#include "win32/wide_text.hpp"

namespace {

using kv::test::Bytes;
namespace win = kv::ui::win;

TEST(WideText, ReadsGbkWithCodePage936AndMarksBrokenBytes) {
  const struct {
    std::string gbk;
    std::wstring wide;
  } cases[] = {
      {"", L""},
      {"abc 1", L"abc 1"},
      {"苹果是什么颜色？", L"苹果是什么颜色？"},
      {"Ｑ：１３５７９０", L"Ｑ：１３５７９０"},
      {Bytes("\x80z"), L"\xFFFDz"},            // a byte of no character, the next still shown
      {Bytes("a\xB0"), L"a\xFFFD"},            // a lead byte at the end
      {Bytes("\xB0 "), L"\xFFFD "},            // a lead byte before a byte that cannot trail it
      {Bytes("\xFF"), L"\xFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(win::FromGbk(c.gbk), c.wide) << c.gbk;
}

TEST(WideText, WritesGbkAndReadsAnEditBoxsTextWithItsQuestionMarks) {
  const struct {
    std::wstring wide;
    std::optional<std::string> gbk;
    std::string read;
    bool exact;
  } cases[] = {
      {L"", "", "", true},
      {L"长江 a?", "长江 a?", "长江 a?", true},  // a "?" of its own stays exact
      {L"a\x0E01" L"b", std::nullopt, "a?b", false},  // Thai: not in GBK
      {L"\xD83D\xDE00", std::nullopt, "?", false},  // one character beyond the basic plane: one "?"
      {L"\xD83D" L"x", std::nullopt, "?x", false},   // a lone surrogate
      {L"\x20AC", std::nullopt, "?", false},         // the euro sign's single byte 0x80 is no GBK character
  };
  for (const auto& c : cases) {
    EXPECT_EQ(win::ToGbk(c.wide), c.gbk);
    const win::GbkReading r = win::ReadAsGbk(c.wide);
    EXPECT_EQ(r.gbk, c.read);
    EXPECT_EQ(r.exact, c.exact);
  }
}

TEST(WideText, PlacesByteOffsetsInTheUtf16Text) {
  const std::string text = Bytes("a颜色\x80" "b");  // pieces at 0, 1, 3, 5, 6
  const std::uint32_t offsets[] = {0, 1, 3, 5, 6, 7, 99};
  std::size_t positions[std::size(offsets)];
  win::Utf16Positions(text, offsets, positions);
  const std::size_t expected[] = {0, 1, 2, 3, 4, 5, 5};
  for (std::size_t i = 0; i < std::size(offsets); ++i) EXPECT_EQ(positions[i], expected[i]) << offsets[i];
}

TEST(WideText, DisplayableGbkReplacesWhatTheCodePageCannotShow) {
  EXPECT_EQ(kv::ui::DisplayableGbk("颜色 ok"), "颜色 ok");
  EXPECT_EQ(kv::ui::DisplayableGbk(Bytes("x\x80y\xFF"), '#'), "x#y#");
  // A pair shows as what the code page makes of it, or as one mark.
  for (int lead = 0x81; lead <= 0xFE; ++lead)
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::wstring shown = win::FromGbk(std::string_view(pair, 2));
      ASSERT_EQ(shown.size(), 1u);
      ASSERT_EQ(shown[0] != 0xFFFD, win::PairMaps(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)));
      ASSERT_EQ(kv::ui::DisplayableGbk(std::string_view(pair, 2)), shown[0] != 0xFFFD ? std::string(pair, 2) : "?");
    }
}

TEST(Dpi, ScalesTheTablesSizesByDpiOver96) {
  const struct {
    int pixels;
    UINT dpi;
    int scaled;
  } cases[] = {
      {510, 96, 510}, {510, 120, 638}, {510, 144, 765}, {510, 192, 1020},
      {25, 144, 38},  // 37.5 rounds up
      {1, 120, 1},    {1, 144, 2},    {0, 192, 0},     {-12, 144, -18},
  };
  for (const auto& c : cases) EXPECT_EQ(win::Scale(c.pixels, c.dpi), c.scaled) << c.pixels << " at " << c.dpi;
}

TEST(Dpi, OuterSizeKeepsTheWholeClientArea) {
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  for (UINT dpi : {96u, 144u}) {
    const SIZE outer = win::OuterSize(504, 285, style, 0, dpi);
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    EXPECT_GE(outer.cx, 504 + (frame.right - frame.left)) << dpi;
    EXPECT_GE(outer.cy, 285 + (frame.bottom - frame.top)) << dpi;
  }
}

}  // namespace
