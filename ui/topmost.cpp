#include "topmost.hpp"

#include <QWidget>
#include <QWindow>

namespace kv::ui {

void SetTopmost(QWidget* window, bool on) {
  if (window == nullptr) return;
  window = window->window();
  Qt::WindowFlags flags = window->windowFlags();
  if (flags.testFlag(Qt::WindowStaysOnTopHint) == on) return;
  flags.setFlag(Qt::WindowStaysOnTopHint, on);
  if (QWindow* handle = window->windowHandle()) {
    // Changing the flags through the widget would re-create and hide the
    // native window; the native window takes the new flags in place.
    window->overrideWindowFlags(flags);
    handle->setFlags(flags);
  } else {
    window->setWindowFlags(flags);
  }
}

bool IsTopmost(const QWidget* window) {
  if (window == nullptr) return false;
  window = window->window();
  if (const QWindow* handle = window->windowHandle())
    return handle->flags().testFlag(Qt::WindowStaysOnTopHint);
  return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

}  // namespace kv::ui
