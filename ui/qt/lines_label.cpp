#include "lines_label.hpp"

#include <QLabel>
#include <QPainter>
#include <algorithm>

namespace kv::ui::qt {

namespace {

class LinesLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override {
    const QStringList lines = text().split(u'\n');
    if (lines.size() < 2) {
      QLabel::paintEvent(event);
      return;
    }
    const QFontMetrics metrics(font());
    const int em = QFontInfo(font()).pixelSize();
    const int pitch = std::max(em + 1, std::min(metrics.lineSpacing(), height() / static_cast<int>(lines.size())));
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.setFont(font());
    // Ideographs reach from about 0.88 em above the baseline to 0.12 em below
    // it; centre that box in each line.
    const int baseline = (pitch + em * 76 / 100) / 2;
    for (int i = 0; i < lines.size(); ++i) painter.drawText(QPoint(0, i * pitch + baseline), lines[i]);
  }
};

}  // namespace

QLabel* CreateLinesLabel(QWidget* parent) { return new LinesLabel(parent); }

}  // namespace kv::ui::qt
