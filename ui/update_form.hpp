// The Update window's definition.
#pragma once

#include "window_table.hpp"

namespace kv::ui {

const WindowDef& UpdateForm();

}  // namespace kv::ui
