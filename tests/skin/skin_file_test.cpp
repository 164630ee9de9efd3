// The skin file reader, and the built-in skin itself.
#include <gtest/gtest.h>

#include <cstring>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "skin_file.hpp"

namespace kv::skin {
namespace {

std::vector<unsigned char> Skin(std::string_view text) {
  std::vector<unsigned char> b(5 + text.size());
  std::memcpy(b.data(), ".SHE", 5);  // with its NUL
  std::memcpy(b.data() + 5, text.data(), text.size());
  return b;
}

constexpr std::string_view kSmall =
    "kelvaro-skin 1\n"
    "; a comment\n"
    "[colours]\n"
    "paper = #F0E0D0\n"
    "ink=#102030\n"
    "\n"
    "[palette]\n"
    "Window = paper\n"
    "Disabled.Text = ink\n"
    "[style]\n"
    "base = Fusion\n"
    "font = DejaVu Sans ,Noto Sans CJK SC\n"
    "font-size = 12\n"
    "[style sheet]\n"
    "QWidget { background: @paper; border: 1px solid @ink; } /* @ink; again */\n"
    "; not a comment here\n";

TEST(SkinFile, ReadsColoursPaletteStyleAndSheet) {
  const auto skin = ParseSkinFile(Skin(kSmall));
  ASSERT_TRUE(skin);
  EXPECT_EQ(skin->colours, (decltype(skin->colours){{"paper", 0xF0E0D0}, {"ink", 0x102030}}));
  EXPECT_EQ(skin->palette, (decltype(skin->palette){{"Window", 0xF0E0D0}, {"Disabled.Text", 0x102030}}));
  EXPECT_EQ(skin->baseStyle, "Fusion");
  EXPECT_EQ(skin->fontFamilies, (std::vector<std::string>{"DejaVu Sans", "Noto Sans CJK SC"}));
  EXPECT_EQ(skin->fontPixelSize, 12);
  EXPECT_EQ(skin->styleSheet,
            "QWidget { background: #f0e0d0; border: 1px solid #102030; } /* #102030; again */\n"
            "; not a comment here\n");
}

TEST(SkinFile, AcceptsCrLfAndOptionalSections) {
  std::string crlf;
  for (char c : kSmall) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const auto skin = ParseSkinFile(Skin(crlf));
  ASSERT_TRUE(skin);
  EXPECT_EQ(skin->colours.size(), 2u);
  EXPECT_EQ(skin->baseStyle, "Fusion");

  const auto sheetOnly = ParseSkinFile(Skin("kelvaro-skin 1\n[style sheet]\nQLabel {}"));
  ASSERT_TRUE(sheetOnly);
  EXPECT_TRUE(sheetOnly->baseStyle.empty());
  EXPECT_EQ(sheetOnly->styleSheet, "QLabel {}");
  EXPECT_TRUE(ParseSkinFile(Skin("kelvaro-skin 1")));
}

TEST(SkinFile, RefusesAnythingElse) {
  const std::pair<const char*, std::string> cases[] = {
      {"no first line", "[colours]\na = #000000\n"},
      {"other version", "kelvaro-skin 2\n"},
      {"unknown section", "kelvaro-skin 1\n[fonts]\n"},
      {"sections out of order", "kelvaro-skin 1\n[palette]\n[colours]\n"},
      {"section twice", "kelvaro-skin 1\n[colours]\n[colours]\n"},
      {"short colour", "kelvaro-skin 1\n[colours]\na = #FFF\n"},
      {"colour word", "kelvaro-skin 1\n[colours]\na = red\n"},
      {"colour not hex", "kelvaro-skin 1\n[colours]\na = #12345G\n"},
      {"colour twice", "kelvaro-skin 1\n[colours]\na = #000000\na = #111111\n"},
      {"dotted colour name", "kelvaro-skin 1\n[colours]\na.b = #000000\n"},
      {"no equals sign", "kelvaro-skin 1\n[colours]\na #000000\n"},
      {"empty value", "kelvaro-skin 1\n[colours]\na =\n"},
      {"palette of unknown colour", "kelvaro-skin 1\n[palette]\nWindow = paper\n"},
      {"key before any section", "kelvaro-skin 1\na = #000000\n"},
      {"unknown style key", "kelvaro-skin 1\n[style]\ncolour = x\n"},
      {"empty font family", "kelvaro-skin 1\n[style]\nfont = A,,B\n"},
      {"font size too small", "kelvaro-skin 1\n[style]\nfont-size = 5\n"},
      {"font size too large", "kelvaro-skin 1\n[style]\nfont-size = 73\n"},
      {"font size not a number", "kelvaro-skin 1\n[style]\nfont-size = 12px\n"},
      {"font size overflowing", "kelvaro-skin 1\n[style]\nfont-size = 99999999999999999999\n"},
      {"unknown colour in sheet", "kelvaro-skin 1\n[colours]\na = #000000\n[style sheet]\nQLabel { color: @b; }"},
      {"bare @ in sheet", "kelvaro-skin 1\n[style sheet]\nQLabel { color: @; }"},
      {"invalid UTF-8", "kelvaro-skin 1\n[style sheet]\n\xC3("},
      {"overlong UTF-8", "kelvaro-skin 1\n[style sheet]\n\xC0\xAF"},
      {"NUL in the text", std::string("kelvaro-skin 1\n\0", 16)},
  };
  for (const auto& [what, text] : cases) EXPECT_FALSE(ParseSkinFile(Skin(text))) << what;

  EXPECT_FALSE(ParseSkinFile(std::vector<unsigned char>{'.', 'S', 'H', 'E'}));
  auto noNul = Skin(kSmall);
  noNul[4] = ' ';
  EXPECT_FALSE(ParseSkinFile(noNul));
  auto big = Skin("kelvaro-skin 1\n[style sheet]\n");
  big.resize(kMaxSkinFileSize + 1, ' ');
  EXPECT_FALSE(ParseSkinFile(big));
}

// Contrast ratio of two colours as the web's accessibility rules define it.
double Contrast(std::uint32_t a, std::uint32_t b) {
  auto luminance = [](std::uint32_t rgb) {
    auto channel = [](unsigned v) {
      const double c = v / 255.0;
      return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(rgb >> 16 & 0xFF) + 0.7152 * channel(rgb >> 8 & 0xFF) + 0.0722 * channel(rgb & 0xFF);
  };
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(BuiltInSkin, IsASkinFileWithReadableText) {
  std::ifstream in(KELVARO_SKIN_FILE, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto skin = ParseSkinFile(bytes);
  ASSERT_TRUE(skin);
  std::map<std::string, std::uint32_t> role(skin->palette.begin(), skin->palette.end());
  // Normal text on every surface it is drawn on, and selected text.
  const std::pair<const char*, const char*> pairs[] = {
      {"WindowText", "Window"}, {"Text", "Base"},           {"Text", "AlternateBase"},
      {"ButtonText", "Button"}, {"HighlightedText", "Highlight"}, {"ToolTipText", "ToolTipBase"},
  };
  for (const auto& [fg, bg] : pairs) {
    ASSERT_TRUE(role.count(fg) && role.count(bg)) << fg << " on " << bg;
    EXPECT_GE(Contrast(role[fg], role[bg]), 4.5) << fg << " on " << bg;
  }
  // The windows' own text colours stay legible: red and blue labels on the
  // window, the pink output of the calculator in its edit box.
  for (std::uint32_t label : {0xFF0000u, 0x0000FFu}) EXPECT_GE(Contrast(label, role["Window"]), 3.0) << std::hex << label;
  EXPECT_GE(Contrast(0xFF5080u, role["Base"]), 3.0);
  // The result list's hits (accent) and close-match rows (closeMatch) are
  // text on the list's rows too.
  std::map<std::string, std::uint32_t> colour(skin->colours.begin(), skin->colours.end());
  for (const char* name : {"accent", "closeMatch"}) {
    ASSERT_TRUE(colour.count(name)) << name;
    for (const char* bg : {"Base", "AlternateBase"}) EXPECT_GE(Contrast(colour[name], role[bg]), 4.5) << name << " on " << bg;
  }
  EXPECT_NE(colour["closeMatch"], role["Text"]);
  EXPECT_NE(colour["closeMatch"], colour["accent"]);
  // Disabled text is dimmer than normal text, yet still readable.
  EXPECT_LT(Contrast(role["Disabled.Text"], role["Base"]), Contrast(role["Text"], role["Base"]));
  EXPECT_GE(Contrast(role["Disabled.Text"], role["Base"]), 3.0);
  // The sheet leaves text colours to the palette, so the windows' own label
  // colours are never overridden.
  EXPECT_EQ(skin->styleSheet.find(" color:"), std::string::npos);
  EXPECT_EQ(skin->styleSheet.find("\tcolor:"), std::string::npos);
  EXPECT_EQ(skin->styleSheet.find("{color:"), std::string::npos);
}

}  // namespace
}  // namespace kv::skin
