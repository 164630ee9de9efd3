// The About window's definition.
#pragma once

#include <string_view>

#include "window_table.hpp"

namespace kv::ui {

const WindowDef& AboutForm();

// The text of the About window's only label (GBK, CR LF breaks).
std::string_view AboutText();

}  // namespace kv::ui
