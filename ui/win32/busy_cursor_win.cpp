#include <windows.h>

#include "application.hpp"

namespace kv::ui {

namespace {
HCURSOR before = nullptr;
int depth = 0;
}  // namespace

// The wait cursor now, and until the handler returns (the loop does not run
// meanwhile, so no WM_SETCURSOR puts the arrow back).
BusyCursor::BusyCursor() {
  HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  if (depth++ == 0) before = previous;
}

BusyCursor::~BusyCursor() {
  if (--depth == 0) ::SetCursor(before ? before : ::LoadCursorW(nullptr, IDC_ARROW));
}

}  // namespace kv::ui
