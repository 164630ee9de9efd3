// One Application for the Win32 window tests, and what a user's input sends.
#pragma once

#include <windows.h>

#include <string>

#include "application.hpp"
#include "win32/win32_window.hpp"

namespace kv::test {

inline ui::Application& App() {
  static int argc = 1;
  static char name[] = "kelvaro-test";
  static char* argv[] = {name, nullptr};
  static ui::Application* app = new ui::Application(argc, argv);
  return *app;
}

inline std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[1024] = {};
  ::GetWindowTextW(hwnd, buffer, 1024);
  return buffer;
}

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t buffer[64] = {};
  ::GetClassNameW(hwnd, buffer, 64);
  return buffer;
}

// Types `text` as the keyboard does: one WM_CHAR a character.
inline void Type(HWND hwnd, const std::wstring& text) {
  for (wchar_t c : text) ::SendMessageW(hwnd, WM_CHAR, c, 1);
}

// Holds Ctrl (or not) in this thread's keyboard state, as GetKeyState reads it.
inline void HoldCtrl(bool down) {
  BYTE keys[256];
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = keys[VK_LCONTROL] = down ? 0x80 : 0;
  ::SetKeyboardState(keys);
}

// Presses `key` on `hwnd` through the message loop's own handling.
inline void PressKey(HWND hwnd, WPARAM key) {
  ::PostMessageW(hwnd, WM_KEYDOWN, key, 1);
  ::PostMessageW(hwnd, WM_KEYUP, key, 1 | (3u << 30));
  ui::win::PumpMessages();
}

inline std::wstring ClipboardText() {
  std::wstring text;
  if (!::OpenClipboard(nullptr)) return L"(no clipboard)";
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* p = static_cast<const wchar_t*>(::GlobalLock(data))) {
      text = p;
      ::GlobalUnlock(data);
    }
  }
  ::CloseClipboard();
  return text;
}

inline void SetClipboardText(const std::wstring& text) {
  if (!::OpenClipboard(nullptr)) return;
  ::EmptyClipboard();
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  auto* p = static_cast<wchar_t*>(::GlobalLock(memory));
  text.copy(p, text.size());
  p[text.size()] = 0;
  ::GlobalUnlock(memory);
  ::SetClipboardData(CF_UNICODETEXT, memory);
  ::CloseClipboard();
}

}  // namespace kv::test
