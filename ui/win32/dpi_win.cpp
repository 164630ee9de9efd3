#include "dpi_win.hpp"

namespace kv::ui::win {

namespace {

// The per-monitor DPI functions exist from Windows 10 1607 on: taken by name.
template <class F>
F User32(const char* name) {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

int Scale(int pixels, UINT dpi) {
  if (pixels == 0 || dpi == kBaseDpi) return pixels;
  const long long scaled = (static_cast<long long>(pixels) * dpi + (pixels > 0 ? 48 : -48)) / kBaseDpi;
  if (scaled == 0) return pixels > 0 ? 1 : -1;
  return static_cast<int>(scaled);
}

UINT SystemDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT WindowDpi(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && hwnd != nullptr) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi != 0) return dpi;
  }
  return SystemDpi();
}

SIZE OuterSize(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, UINT dpi) {
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = User32<AdjustForDpiFn>("AdjustWindowRectExForDpi");
  RECT r{0, 0, clientWidth, clientHeight};
  if (adjustForDpi == nullptr || !adjustForDpi(&r, style, FALSE, exStyle, dpi))
    ::AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return {r.right - r.left, r.bottom - r.top};
}

void BecomeDpiAware() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  if (const auto setContext = User32<SetContextFn>("SetProcessDpiAwarenessContext")) {
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then the first version.
    // Both fail when the manifest has set the awareness already: it stays.
    if (!setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))))
      setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)));
    return;
  }
  using SetAwareFn = BOOL(WINAPI*)();
  if (const auto setAware = User32<SetAwareFn>("SetProcessDPIAware")) setAware();
}

}  // namespace kv::ui::win
