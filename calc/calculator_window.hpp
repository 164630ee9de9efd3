// The Calculator window, opened by the main window's "经验计算" button.
#pragma once

class QDialog;
class QWidget;

namespace kv {

// Opens the Calculator window modal over the main window and returns when it
// is closed. While one is open another cannot be opened: a second call only
// brings the open one to the front.
void OpenCalculatorWindow(QWidget* mainWindow);

// Builds the Calculator window (not yet shown) with its handlers connected and
// the calculator tables rebuilt; the caller owns it. Nothing is calculated
// until an input changes. Nullptr when the window cannot be built.
QDialog* CreateCalculatorWindow(QWidget* mainWindow);

}  // namespace kv
