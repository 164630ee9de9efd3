#include "report_list.hpp"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

#include "gbk.hpp"
#include "hit_delegate.hpp"

namespace kv::ui {

ReportList::ReportList(QWidget* parent) : QTableView(parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setTabKeyNavigation(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  verticalHeader()->hide();
  // Every row the same height: the view never measures rows, whatever their count.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setItemDelegate(new qt::HitDelegate(this));  // the hits in the lookup's colours

  copyAction_ = new QAction(FromGbk("复制"), this);
  copyAction_->setShortcut(QKeySequence::Copy);
  copyAction_->setShortcutContext(Qt::WidgetShortcut);
  connect(copyAction_, &QAction::triggered, this, [this] { CopySelectedRows(); });
  selectAllAction_ = new QAction(FromGbk("全选"), this);
  selectAllAction_->setShortcut(QKeySequence::SelectAll);
  selectAllAction_->setShortcutContext(Qt::WidgetShortcut);
  connect(selectAllAction_, &QAction::triggered, this, [this] { selectAll(); });
}

void ReportList::SetColumns(std::span<const ColumnDef> columns) {
  headers_.clear();
  widths_.clear();
  for (const ColumnDef& c : columns) {
    headers_.append(FromGbk(c.header));
    widths_.push_back(c.width);
  }
  ApplyColumnWidths();
}

void ReportList::setModel(QAbstractItemModel* model) {
  QTableView::setModel(model);
  ApplyColumnWidths();
}

void ReportList::ApplyColumnWidths() {
  for (std::size_t i = 0; i < widths_.size(); ++i) setColumnWidth(static_cast<int>(i), widths_[i]);
}

QString ReportList::SelectedRowsText() const {
  const QAbstractItemModel* m = model();
  if (m == nullptr || selectionModel() == nullptr) return {};
  QModelIndexList rows = selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList lines;
  lines.reserve(rows.size());
  const int columns = m->columnCount();
  for (const QModelIndex& r : rows) {
    QStringList cells;
    for (int c = 0; c < columns; ++c) cells.append(m->index(r.row(), c).data().toString());
    lines.append(cells.join(u'\t'));
  }
  return lines.join(u'\n');
}

bool ReportList::CopySelectedRows() {
  const QString text = SelectedRowsText();
  if (text.isEmpty()) return false;
  QApplication::clipboard()->setText(text);
  return true;
}

void ReportList::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelectedRows();
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void ReportList::contextMenuEvent(QContextMenuEvent* event) {
  const bool any = selectionModel() != nullptr && selectionModel()->hasSelection();
  copyAction_->setEnabled(any);
  selectAllAction_->setEnabled(model() != nullptr && model()->rowCount() > 0);
  QMenu menu(this);
  menu.addAction(copyAction_);
  menu.addAction(selectAllAction_);
  menu.exec(event->globalPos());
}

}  // namespace kv::ui
