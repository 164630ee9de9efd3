// Hot keys on Windows: RegisterHotKey on a hidden message-only window of the
// user-interface thread, whose WM_HOTKEY runs the handler. A combination that
// another program (or this one) holds fails with
// ERROR_HOTKEY_ALREADY_REGISTERED: it is taken. A combination held down fires
// once: MOD_NOREPEAT says so to Windows, and since Wine repeats regardless, a
// fired hot key stays held (a timer watches its key) until the key is up.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "application.hpp"
#include "ui_thread.hpp"

namespace kv::ui {

namespace {

struct Registration {
  HotKey hotKey;
  int id;
  std::function<void()> handler;
  bool held = false;  // fired, and its key not yet released
};

// User-interface thread only.
struct HotKeys {
  HWND window = nullptr;
  int nextId = 1;
  std::vector<Registration> registrations;
};

HotKeys& State() {
  static HotKeys keys;
  return keys;
}

constexpr wchar_t kClassName[] = L"KelvaroHotKeys";

constexpr UINT kReleaseCheckMs = 30;

UINT VirtualKey(char key) { return static_cast<UINT>(static_cast<unsigned char>(key)); }  // 'A'..'Z', '0'..'9'

Registration* Find(int id) {
  for (Registration& r : State().registrations)
    if (r.id == id) return &r;
  return nullptr;
}

LRESULT CALLBACK HotKeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_HOTKEY:
      if (Registration* r = Find(static_cast<int>(wParam)); r != nullptr && !r->held) {
        r->held = true;
        SetTimer(window, static_cast<UINT_PTR>(r->id), kReleaseCheckMs, nullptr);
        const std::function<void()> handler = r->handler;  // it may unregister itself
        handler();
      }
      return 0;
    case WM_TIMER:
      if (Registration* r = Find(static_cast<int>(wParam))) {
        if (GetAsyncKeyState(static_cast<int>(VirtualKey(r->hotKey.key))) & 0x8000) return 0;
        r->held = false;
      }
      KillTimer(window, wParam);
      return 0;
    case WM_NCDESTROY:
      if (State().window == window) {
        // Hot keys go with their window.
        State().window = nullptr;
        State().registrations.clear();
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MessageWindow() {
  HotKeys& keys = State();
  if (keys.window != nullptr) return keys.window;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof cls;
  cls.lpfnWndProc = &HotKeyProc;
  cls.hInstance = instance;
  cls.lpszClassName = kClassName;
  RegisterClassExW(&cls);  // fails harmlessly when registered already
  keys.window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  return keys.window;
}

UINT Modifiers(std::uint8_t m) {
  UINT mods = 0;
  if (m & HotKey::kCtrl) mods |= MOD_CONTROL;
  if (m & HotKey::kAlt) mods |= MOD_ALT;
  if (m & HotKey::kShift) mods |= MOD_SHIFT;
  return mods;
}

bool Register(HotKey hotKey, std::function<void()> handler) {
  HotKeys& keys = State();
  if (std::any_of(keys.registrations.begin(), keys.registrations.end(),
                  [&](const Registration& r) { return r.hotKey == hotKey; }))
    return false;
  const HWND window = MessageWindow();
  if (window == nullptr) return false;
  const int id = keys.nextId++;
  if (!::RegisterHotKey(window, id, Modifiers(hotKey.modifiers) | MOD_NOREPEAT, VirtualKey(hotKey.key))) return false;
  keys.registrations.push_back({hotKey, id, std::move(handler)});
  return true;
}

void Unregister(HotKey hotKey) {
  HotKeys& keys = State();
  const auto it = std::find_if(keys.registrations.begin(), keys.registrations.end(),
                               [&](const Registration& r) { return r.hotKey == hotKey; });
  if (it == keys.registrations.end()) return;
  ::UnregisterHotKey(keys.window, it->id);
  KillTimer(keys.window, static_cast<UINT_PTR>(it->id));
  keys.registrations.erase(it);
}

}  // namespace

bool RegisterHotKey(HotKey hotKey, std::function<void()> handler) {
  if (!hotKey.Usable() || !handler || !UiReady()) return false;
  bool done = false;
  RunOnUiThreadBlocking([&] { done = Register(hotKey, std::move(handler)); });
  return done;
}

void UnregisterHotKey(HotKey hotKey) {
  if (!UiReady()) return;
  RunOnUiThreadBlocking([&] { Unregister(hotKey); });
}

}  // namespace kv::ui
