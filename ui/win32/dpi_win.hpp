// Sizes of the tables are pixels at 96 DPI; above it they grow by DPI / 96.
#pragma once

#include <windows.h>

namespace kv::ui::win {

inline constexpr UINT kBaseDpi = 96;

// `pixels` at 96 DPI as pixels at `dpi`, rounded to the nearest; a length
// that is not 0 stays at least 1.
int Scale(int pixels, UINT dpi);

// The DPI of the monitor a window is on (its system's DPI where the platform
// has no per-monitor DPI).
UINT WindowDpi(HWND hwnd);
// The DPI of the primary monitor, for a window not yet placed.
UINT SystemDpi();

// The outer size of a window of `style` whose client area is
// clientWidth x clientHeight at `dpi`, with the frame the platform draws at
// that DPI: the client area is never cut short by a thicker frame.
SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi);

// Asks for per-monitor DPI awareness (version 2 where there is one).
void BecomeDpiAware();

}  // namespace kv::ui::win
