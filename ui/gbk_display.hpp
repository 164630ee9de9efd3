// What the display makes of GBK bytes.
#pragma once

#include <string_view>

#include "text.hpp"

namespace kv::ui {

// `gbk` with every byte that is not part of a character the display can show
// replaced by `replacement`.
Text DisplayableGbk(std::string_view gbk, char replacement = '?');

}  // namespace kv::ui
