// The result list's own colours: the hits of a row and the text of close
// matches. The skin sets them (skin_look_qt.cpp); until it does, or when it
// names none, they come from the palette.
#pragma once

#include <QColor>

namespace kv::ui::qt {

struct ResultListColours {
  QColor hit;         // invalid: the palette's Link colour
  QColor closeMatch;  // invalid: the palette's PlaceholderText colour
};

void SetResultListColours(const ResultListColours& colours);

// The colours to draw with now.
QColor HitColour();
QColor CloseMatchColour();

}  // namespace kv::ui::qt
