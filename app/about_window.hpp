// The About window: modal over its owner, Esc closes it.
#pragma once

class QWidget;

namespace kv {

// Shows the About window modal and returns when it has been closed.
void OpenAboutWindow(QWidget* owner);

}  // namespace kv
