// Draws a result list cell with its hits (the model's kHitsRole) in the hit
// colour: the cell's plain text laid out once, the hits given another colour
// (underlined instead in a selected row, whose background is the accent).
// Cells without hits are drawn as any item view draws them.
#pragma once

#include <QStyledItemDelegate>

namespace kv::ui::qt {

class HitDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace kv::ui::qt
