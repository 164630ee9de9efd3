#include "result_list_colours.hpp"

#include <QGuiApplication>
#include <QPalette>

namespace kv::ui::qt {

namespace {

ResultListColours colours;

}  // namespace

void SetResultListColours(const ResultListColours& c) { colours = c; }

QColor HitColour() { return colours.hit.isValid() ? colours.hit : QGuiApplication::palette().color(QPalette::Link); }

QColor CloseMatchColour() {
  return colours.closeMatch.isValid() ? colours.closeMatch
                                      : QGuiApplication::palette().color(QPalette::PlaceholderText);
}

}  // namespace kv::ui::qt
