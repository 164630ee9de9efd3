// The skin file: the look of every window, as a data block.
//
// The bytes start with the five bytes ".SHE" and NUL; what follows is UTF-8
// text in lines (LF or CR LF):
//
//   kelvaro-skin 1
//   [colours]
//   paper = #F6F1E4          named colours, #RRGGBB only
//   [palette]
//   Window = paper           palette role = colour name; "Disabled." before
//   Disabled.Text = muted    a role sets it for disabled widgets only
//   [style]
//   base = Fusion            the widget style the sheet is drawn over
//   font = DejaVu Sans, Noto Sans CJK SC     the default font: families in
//   font-size = 12                           order of preference, pixel size
//   [style sheet]
//   QPushButton { background: @paper; }     everything to the end of the
//                                            file; @name stands for a colour
//
// Blank lines and lines starting with ';' are skipped outside the style
// sheet. A file that breaks any rule (unknown colour name, bad colour, section
// out of order, a line that is no key = value) is not a skin at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kv::skin {

struct SkinFile {
  // Name to 0xRRGGBB, in file order.
  std::vector<std::pair<std::string, std::uint32_t>> colours;
  // Role as written ("Window", "Disabled.Text") to 0xRRGGBB.
  std::vector<std::pair<std::string, std::uint32_t>> palette;
  std::string baseStyle;   // may be empty: keep the current style
  std::vector<std::string> fontFamilies;  // empty: keep the default font's
  int fontPixelSize = 0;                  // 0: keep the default font's
  std::string styleSheet;  // UTF-8, every @name replaced by #rrggbb
};

inline constexpr std::size_t kMaxSkinFileSize = std::size_t{1} << 20;

// Reads the bytes of a skin file; nothing when they are not one.
std::optional<SkinFile> ParseSkinFile(std::span<const unsigned char> bytes);

}  // namespace kv::skin
