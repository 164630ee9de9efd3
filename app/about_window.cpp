#include "about_window.hpp"

#include "about_form.hpp"

namespace kv {

void OpenAboutWindow(ui::Window& owner) {
  const std::unique_ptr<ui::Window> about = ui::Window::Create(ui::AboutForm::kDef);
  if (about) about->ShowModal(owner);
}

}  // namespace kv
