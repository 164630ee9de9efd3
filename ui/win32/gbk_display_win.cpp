#include "gbk_display.hpp"
#include "gbk_walk.hpp"
#include "wide_text.hpp"

namespace kv::ui {

Text DisplayableGbk(std::string_view gbk, char replacement) {
  Text out;
  out.reserve(gbk.size());
  WalkGbk(gbk, win::PairMaps, [&](GbkPiece piece, std::size_t at) {
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
