// What every backend shares: the handlers bound to a window's events.
#include "window.hpp"

namespace kv::ui {

void Window::Bind(std::size_t control, Event event, Handler handler) {
  if (handler) bindings_.push_back({control, event, std::move(handler)});
}

void Window::Raise(std::size_t control, Event event) {
  // A handler may bind further handlers; those run from the next event on.
  const std::size_t count = bindings_.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (bindings_[i].control != control || bindings_[i].event != event) continue;
    const Handler handler = bindings_[i].handler;  // the list may grow while it runs
    handler();
  }
}

}  // namespace kv::ui
