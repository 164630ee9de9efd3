// The main window's definition.
#pragma once

#include "window_table.hpp"

namespace kv::ui {

const WindowDef& MainForm();

}  // namespace kv::ui
