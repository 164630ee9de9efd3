#include <QList>
#include <QString>

#include "gbk.hpp"
#include "gbk_display.hpp"

namespace kv::ui {

Text DisplayableGbk(std::string_view gbk, char replacement) {
  Text out;
  out.reserve(gbk.size());
  for (std::size_t i = 0; i < gbk.size(); ++i) {
    const auto c = static_cast<unsigned char>(gbk[i]);
    if (c < 0x80) {
      out += gbk[i];
      continue;
    }
    // A pair of the GBK form (lead 0x81..0xFE, trail 0x40..0xFE but 0x7F)
    // that the decoder maps to a character; anything else is one bad byte.
    const auto t = i + 1 < gbk.size() ? static_cast<unsigned char>(gbk[i + 1]) : 0;
    if (c >= 0x81 && c <= 0xFE && t >= 0x40 && t <= 0xFE && t != 0x7F) {
      const QString shown = FromGbk(gbk.substr(i, 2));
      if (shown.size() == 1 && shown.at(0) != QChar(QChar::ReplacementCharacter)) {
        out.append(gbk.substr(i, 2));
        ++i;
        continue;
      }
    }
    out += replacement;
  }
  return out;
}

}  // namespace kv::ui
