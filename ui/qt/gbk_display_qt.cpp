#include <QString>

#include "gbk.hpp"
#include "gbk_display.hpp"
#include "gbk_walk.hpp"

namespace kv::ui {

Text DisplayableGbk(std::string_view gbk, char replacement) {
  Text out;
  out.reserve(gbk.size());
  const auto maps = [](unsigned char lead, unsigned char trail) {
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    return FromGbk(std::string_view(pair, 2)) != QString(QChar::ReplacementCharacter);
  };
  WalkGbk(gbk, maps, [&](GbkPiece piece, std::size_t at) {
    switch (piece) {
      case GbkPiece::Single: out += gbk[at]; break;
      case GbkPiece::Pair: out.append(gbk.substr(at, 2)); break;
      case GbkPiece::BadPair:
      case GbkPiece::BadByte: out += replacement; break;
    }
  });
  return out;
}

}  // namespace kv::ui
