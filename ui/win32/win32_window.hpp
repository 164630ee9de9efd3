// The Win32 backend of the window API: each window is a top-level window of
// the class "KelvaroWindow" with one child control per row of its table (all
// children of the top-level window, placed where their group box puts them).
// This header is for the backend's own files and for tests that drive the
// controls as a user would.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "window.hpp"

namespace kv::ui {

namespace win {
class ReportListView;
class Picture;
}  // namespace win

struct Window::Impl {
  Window* window = nullptr;
  HWND hwnd = nullptr;
  std::vector<HWND> controls;                                    // one per table row
  std::vector<std::unique_ptr<win::ReportListView>> lists;       // per row; null but for report lists
  std::vector<std::wstring> editTexts;                           // per row: an edit box's text as last reported
  std::vector<std::optional<std::uint32_t>> colours;             // per row: the text colour, none for the skin's
  std::vector<HFONT> fonts;                                      // per row: a font of its own, or null
  UINT dpi = 96;
  HFONT defaultFont = nullptr;  // the window's font at its DPI
  std::unique_ptr<win::Picture> picture;
  HWND focus = nullptr;     // the control that had the keyboard when the window was left
  bool open = true;         // from Create until closed
  bool modal = false;       // while ShowModal runs
  std::vector<HWND> disabled;  // the windows ShowModal disabled
  ~Impl();
};

namespace win {

// Control identifiers: the row's index plus this (clear of IDOK and IDCANCEL).
inline constexpr int kFirstControlId = 100;

HWND TopLevel(const Window& window);
HWND Control(const Window& window, std::size_t index);
template <class Tag>
HWND Handle(const Window& window, ControlId<Tag> id) {
  return Control(window, id.index);
}

// The window whose top-level window is `hwnd`, or null.
Window* WindowOf(HWND hwnd);

// What the message loop does with a message before it is dispatched: Tab and
// Shift+Tab move the focus along the tab stops, Esc that the focused control
// does not take closes the window. True when the message was used up.
bool PreTranslate(MSG& msg);
// Handles every message waiting on this thread, as the message loop does.
void PumpMessages();

// The DPI the window is laid out at.
UINT DpiOf(const Window& window);

// Whether a window of the program is open and shown.
bool AnyOpen();

}  // namespace win
}  // namespace kv::ui
