// The Win32 application: common controls, per-monitor DPI awareness, the
// message loop (Tab between the tab stops, Esc closing a window), and the end
// of the session, which ends the loop like closing the last window and runs
// the exit clean-up before Windows ends the process.
#include <windows.h>

#include <commctrl.h>

#include "application.hpp"
#include "dpi_win.hpp"
#include "exit_cleanup.hpp"
#include "ui_thread_win.hpp"
#include "win32_window.hpp"

namespace kv::ui {

namespace {

std::atomic<bool> terminationRequested{false};
bool ready = false;

}  // namespace

namespace win {

void OnEndSession() {
  terminationRequested.store(true);
  // Windows may end the process as soon as this message returns.
  RunExitCleanup();
  ::PostQuitMessage(0);
}

}  // namespace win

struct Application::Impl {};

Application::Application(int&, char**) : impl_(std::make_unique<Impl>()) {
  win::BecomeDpiAware();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_PROGRESS_CLASS | ICC_TAB_CLASSES};
  ::InitCommonControlsEx(&controls);
  win::StartUiThread();
  ready = true;
}

Application::~Application() {
  ready = false;
  win::StopUiThread();
}

void Application::Run() {
  MSG msg;
  while (win::AnyOpen() && !terminationRequested) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) break;
    if (win::PreTranslate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool UiReady() { return ready; }

const std::atomic<bool>& TerminationRequested() { return terminationRequested; }

bool AnyWindowOpen() { return win::AnyOpen(); }

}  // namespace kv::ui
