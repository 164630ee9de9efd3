// The Calculator window's definition.
#pragma once

#include "window_table.hpp"

namespace kv::ui {

const WindowDef& CalculatorForm();

}  // namespace kv::ui
