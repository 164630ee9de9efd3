// The result list's model: the rows of a keyword lookup, read straight from
// the bank lines (the rows are not copied). Cells are converted for display,
// and a row's hits asked for, only when the view asks for them, so a run that
// lists thousands of rows costs the lookup and little more.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <span>

#include "keyword_lookup.hpp"

namespace kv::ui {

// A hit in a question or answer cell as the display shows it: UTF-16 units
// [from, from + length) of the cell's text.
struct HitRange {
  int from = 0;
  int length = 0;
  bool operator==(const HitRange&) const = default;
};
using HitRanges = QList<HitRange>;

class ResultListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Beyond Qt's roles: the HitRanges of a question or answer cell.
  static constexpr int kHitsRole = Qt::UserRole + 1;

  // Three columns: number, question, answer, headed by `headers`.
  explicit ResultListModel(QStringList headers, QObject* parent = nullptr);

  // Shows the rows of `lookup` (none when null), which must stay unchanged
  // until the next SetLookup.
  void SetLookup(const KeywordLookup* lookup);
  const KeywordLookup* Lookup() const { return lookup_; }

  // Whether the rows shown are close matches.
  bool Close() const { return lookup_ != nullptr && lookup_->Close(); }
  // The hits of a cell; none in the number column.
  HitRanges Hits(int row, int column) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  std::span<const LookupRow> Rows() const;

  QStringList headers_;
  const KeywordLookup* lookup_ = nullptr;
};

}  // namespace kv::ui

Q_DECLARE_METATYPE(kv::ui::HitRange)
