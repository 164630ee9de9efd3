// The result list's model: the rows of the last lookup, read straight from the
// bank lines (the rows are not copied). Cells are converted for display only
// when the view asks for them, so a run that lists thousands of rows costs the
// lookup and little more.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <span>

#include "lookup.hpp"

namespace kv::ui {

class ResultListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Three columns: number, question, answer, headed by `headers`.
  explicit ResultListModel(QStringList headers, QObject* parent = nullptr);

  // Shows `rows`, which must stay unchanged until the next SetRows.
  void SetRows(std::span<const LookupRow> rows);

  std::span<const LookupRow> Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  QStringList headers_;
  std::span<const LookupRow> rows_;
};

}  // namespace kv::ui
