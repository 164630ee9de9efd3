// A window's always-on-top state.
#pragma once

class QWidget;

namespace kv::ui {

// Makes a top-level window always-on-top or normal, keeping its position,
// size and visibility.
void SetTopmost(QWidget* window, bool on);
bool IsTopmost(const QWidget* window);

}  // namespace kv::ui
