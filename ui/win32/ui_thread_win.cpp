#include <windows.h>

#include <functional>
#include <memory>

#include "ui_thread.hpp"
#include "ui_thread_win.hpp"

namespace kv::ui {

namespace {

constexpr UINT kRunQueued = WM_APP + 1;
constexpr UINT kRunBlocking = WM_APP + 2;
constexpr wchar_t kClass[] = L"KelvaroUiThread";

HWND uiWindow = nullptr;
DWORD uiThread = 0;

LRESULT CALLBACK UiWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kRunQueued: {
      std::unique_ptr<std::function<void()>> fn(reinterpret_cast<std::function<void()>*>(lParam));
      (*fn)();
      return 0;
    }
    case kRunBlocking:
      (*reinterpret_cast<std::function<void()>*>(lParam))();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) win::OnEndSession();
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

namespace win {

void StartUiThread() {
  if (uiWindow != nullptr) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = UiWindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  ::RegisterClassExW(&wc);
  // Top-level and never shown: the session's end is sent to top-level windows.
  uiWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW, kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  uiThread = ::GetCurrentThreadId();
}

void StopUiThread() {
  if (uiWindow == nullptr) return;
  // Calls still queued run now rather than leak.
  MSG msg;
  while (::PeekMessageW(&msg, uiWindow, kRunQueued, kRunQueued, PM_REMOVE)) ::DispatchMessageW(&msg);
  ::DestroyWindow(uiWindow);
  uiWindow = nullptr;
  uiThread = 0;
}

}  // namespace win

bool OnUiThread() { return uiWindow == nullptr || ::GetCurrentThreadId() == uiThread; }

void RunOnUiThread(std::function<void()> fn) {
  if (uiWindow == nullptr) {
    fn();
    return;
  }
  auto* queued = new std::function<void()>(std::move(fn));
  if (!::PostMessageW(uiWindow, kRunQueued, 0, reinterpret_cast<LPARAM>(queued))) delete queued;
}

void RunOnUiThreadBlocking(std::function<void()> fn) {
  if (OnUiThread()) {
    fn();
    return;
  }
  // A message sent from another thread is handled by the user-interface
  // thread's next look at its queue, and the sender waits for it.
  ::SendMessageW(uiWindow, kRunBlocking, 0, reinterpret_cast<LPARAM>(&fn));
}

}  // namespace kv::ui
