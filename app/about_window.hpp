// The About window: modal over its owner, Esc closes it.
#pragma once

#include "window.hpp"

namespace kv {

// Shows the About window modal over `owner` and returns when it has been closed.
void OpenAboutWindow(ui::Window& owner);

}  // namespace kv
