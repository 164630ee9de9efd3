#include "result_list_model.hpp"

#include "gbk.hpp"

namespace kv::ui {

ResultListModel::ResultListModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)) {
  while (headers_.size() < 3) headers_.append(QString());
}

void ResultListModel::SetRows(std::span<const LookupRow> rows) {
  if (rows.empty() && rows_.empty()) return;
  beginResetModel();
  rows_ = rows;
  endResetModel();
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  const LookupRow& row = rows_[static_cast<std::size_t>(index.row())];
  switch (index.column()) {
    case 0: return role == Qt::DisplayRole ? QVariant(QString::number(row.ordinal)) : QVariant();
    case 1: return FromGbk(row.question);
    case 2: return FromGbk(row.answer);
    default: return {};
  }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
    return headers_.at(section);
  return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace kv::ui
