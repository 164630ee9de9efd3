// A report list: a read-only table with fixed column widths whose rows can be
// selected and copied. Ctrl+A selects every row; Ctrl+C and the context menu
// copy the selected rows as lines of tab-separated cells, as plain text. The
// cells' hits are drawn by a HitDelegate.
#pragma once

#include <QStringList>
#include <QTableView>
#include <span>
#include <vector>

#include "window_def.hpp"

class QAction;

namespace kv::ui {

class ReportList : public QTableView {
  Q_OBJECT

 public:
  explicit ReportList(QWidget* parent = nullptr);

  // Column headers (GBK in the table) and widths; applied to every model set.
  void SetColumns(std::span<const ColumnDef> columns);
  const QStringList& ColumnHeaders() const { return headers_; }

  void setModel(QAbstractItemModel* model) override;

  // The selected rows, top to bottom, as "cell TAB cell TAB cell" lines joined
  // by LF (no break after the last); empty when nothing is selected.
  QString SelectedRowsText() const;
  // Puts SelectedRowsText on the clipboard; false when nothing is selected.
  bool CopySelectedRows();

  QAction* CopyAction() const { return copyAction_; }
  QAction* SelectAllAction() const { return selectAllAction_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ApplyColumnWidths();

  QStringList headers_;
  std::vector<int> widths_;
  QAction* copyAction_;
  QAction* selectAllAction_;
};

}  // namespace kv::ui
