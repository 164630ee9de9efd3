// The look the Win32 controls are drawn with: the system's colours and
// default font until a skin names its own (skin_look_win.cpp).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kv::ui::win {

struct Look {
  // 0xRRGGBB each; none keeps the system's colour.
  std::optional<std::uint32_t> window, windowText, base, text, highlight, highlightedText, disabledText;
  std::optional<std::uint32_t> hit;         // "accent"
  std::optional<std::uint32_t> closeMatch;  // "closeMatch"
  std::wstring fontFamily;                  // empty: 宋体
  int fontPixelSize = 0;                    // 0: 12
};

const Look& CurrentLook();
void SetLook(Look look);

// The colours to draw with now (COLORREF).
COLORREF WindowColour();
COLORREF WindowTextColour();
COLORREF BaseColour();
COLORREF TextColour();
COLORREF HighlightColour();
COLORREF HighlightedTextColour();
COLORREF DisabledTextColour();
COLORREF HitColour();
COLORREF CloseMatchColour();
COLORREF ToCOLORREF(std::uint32_t rgb);

// Brushes of the window's and the fields' background, kept until the look
// changes.
HBRUSH WindowBrush();
HBRUSH BaseBrush();

// The program's default font at `dpi` (the caller deletes it), and a font of
// `family` (empty: the default's), `pixelSize` (0: the default's) and
// `weight` (0: normal) at `dpi`.
HFONT CreateDefaultFont(UINT dpi);
HFONT CreateControlFont(const std::wstring& family, int pixelSize, int weight, UINT dpi);

// Every window of the program takes the look again (windows_win.cpp).
void RefreshLookOfAllWindows();

}  // namespace kv::ui::win
