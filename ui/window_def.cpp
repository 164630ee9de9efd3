#include "window_def.hpp"

namespace kv::ui {

bool TableIsConsistent(const WindowDef& def) {
  const auto& controls = def.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlDef& c = controls[i];
    if (c.formName.empty()) return false;
    bool parentFound = c.parent.empty();
    for (std::size_t j = 0; j < i; ++j) {
      if (controls[j].formName == c.formName) return false;
      if (controls[j].formName == c.parent && controls[j].kind == ControlKind::GroupBox) parentFound = true;
    }
    if (!parentFound) return false;
  }
  return true;
}

std::optional<std::size_t> ParentIndex(const WindowDef& def, std::size_t control) {
  const std::string_view parent = def.controls[control].parent;
  if (parent.empty()) return std::nullopt;
  for (std::size_t j = 0; j < control; ++j)
    if (def.controls[j].formName == parent) return j;
  return std::nullopt;
}

}  // namespace kv::ui
