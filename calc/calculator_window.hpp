// The Calculator window, opened by the main window's "经验计算" button.
#pragma once

#include <memory>

#include "window.hpp"

namespace kv {

// Opens the Calculator window modal over the main window and returns when it
// is closed. While one is open another cannot be opened: a second call only
// brings the open one to the front.
void OpenCalculatorWindow(ui::Window& mainWindow);

// Builds the Calculator window (not yet shown) with its handlers bound, and
// runs its created handler: the calculator tables are rebuilt. Nothing is
// calculated until an input changes. Null when the window cannot be built.
std::unique_ptr<ui::Window> CreateCalculatorWindow();

}  // namespace kv
