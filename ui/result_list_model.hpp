// The result list's model: the rows of the last lookup, read straight from the
// bank lines. Cells are converted for display only when the view asks for them,
// so a run that lists thousands of rows costs the lookup and little more.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <string_view>
#include <vector>

#include "lookup.hpp"

namespace kv::ui {

class ResultListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Three columns: number, question, answer, headed by `headers`.
  explicit ResultListModel(QStringList headers, QObject* parent = nullptr);

  // Replaces the rows with the hits of `gbkKeyword` in `bank`. The bank must
  // stay unchanged while the rows are shown.
  void Fill(const TextArray& bank, std::string_view gbkKeyword);
  // Deletes every row.
  void Clear();

  const std::vector<LookupRow>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  QStringList headers_;
  std::vector<LookupRow> rows_;
};

}  // namespace kv::ui
