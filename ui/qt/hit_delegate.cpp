#include "hit_delegate.hpp"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

#include "result_list_colours.hpp"
#include "result_list_model.hpp"

namespace kv::ui::qt {

void HitDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const HitRanges hits = index.data(ResultListModel::kHitsRole).value<HitRanges>();
  if (hits.isEmpty()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QWidget* widget = opt.widget;
  QStyle* style = widget != nullptr ? widget->style() : QApplication::style();

  // The text where the style would put it: inside its rectangle, less the
  // focus frame's margin, cut off with an ellipsis when it does not fit.
  QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
  const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
  textRect.adjust(margin, 0, -margin, 0);
  const QString text = opt.text;
  const QString shown = opt.fontMetrics.elidedText(text, opt.textElideMode, textRect.width());
  const qsizetype kept = shown == text ? text.size() : shown.size() - 1;  // less the ellipsis

  // Background, selection and focus as usual, without the text.
  opt.text.clear();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

  const bool selected = opt.state.testFlag(QStyle::State_Selected);
  const QPalette::ColorGroup group = !opt.state.testFlag(QStyle::State_Enabled) ? QPalette::Disabled
                                     : opt.state.testFlag(QStyle::State_Active) ? QPalette::Normal
                                                                                 : QPalette::Inactive;
  QTextCharFormat hit;
  if (selected) hit.setFontUnderline(true);
  else hit.setForeground(HitColour());
  QList<QTextLayout::FormatRange> ranges;
  ranges.reserve(hits.size());
  for (const HitRange& h : hits) {
    const int from = std::min<int>(h.from, static_cast<int>(kept));
    const int to = std::min<int>(h.from + h.length, static_cast<int>(kept));
    if (to > from) ranges.append({from, to - from, hit});
  }

  QTextLayout layout(shown, opt.font);
  QTextOption textOption;
  textOption.setWrapMode(QTextOption::NoWrap);
  textOption.setTextDirection(opt.direction);
  layout.setTextOption(textOption);
  layout.setFormats(ranges);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  if (!line.isValid()) {
    layout.endLayout();
    return;
  }
  line.setLineWidth(textRect.width());
  layout.endLayout();

  painter->save();
  painter->setClipRect(textRect, Qt::IntersectClip);
  painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  const qreal top = textRect.top() + (textRect.height() - line.height()) / 2;
  layout.draw(painter, QPointF(textRect.left(), top));
  painter->restore();
}

}  // namespace kv::ui::qt
