#include "gbk_display.hpp"
#include "gbk_walk.hpp"
#include "wide_text.hpp"

namespace kv::ui {

Text DisplayableGbk(std::string_view gbk, char replacement) { return KeepDisplayable(gbk, win::PairMaps, replacement); }

}  // namespace kv::ui
