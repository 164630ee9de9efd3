#include <QString>

#include "gbk.hpp"
#include "gbk_display.hpp"
#include "gbk_walk.hpp"

namespace kv::ui {

Text DisplayableGbk(std::string_view gbk, char replacement) {
  const auto maps = [](unsigned char lead, unsigned char trail) {
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    return FromGbk(std::string_view(pair, 2)) != QString(QChar::ReplacementCharacter);
  };
  return KeepDisplayable(gbk, maps, replacement);
}

}  // namespace kv::ui
