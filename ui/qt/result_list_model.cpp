#include "result_list_model.hpp"

#include <QBrush>
#include <array>

#include "gbk.hpp"
#include "result_list_colours.hpp"

namespace kv::ui {

namespace {

// The mark of a close match on its cells.
QString CloseMatchTip() { return FromGbk("近似匹配"); }

}  // namespace

ResultListModel::ResultListModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)) {
  while (headers_.size() < 3) headers_.append(QString());
}

void ResultListModel::SetLookup(const KeywordLookup* lookup) {
  if (Rows().empty() && (lookup == nullptr || lookup->Rows().empty())) {
    lookup_ = lookup;  // no row to show before or after
    return;
  }
  beginResetModel();
  lookup_ = lookup;
  endResetModel();
}

std::span<const LookupRow> ResultListModel::Rows() const {
  if (lookup_ == nullptr) return {};
  return lookup_->Rows();
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(Rows().size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

HitRanges ResultListModel::Hits(int row, int column) const {
  const std::span<const LookupRow> rows = Rows();
  if (row < 0 || static_cast<std::size_t>(row) >= rows.size() || (column != 1 && column != 2)) return {};
  const LookupRow& r = rows[static_cast<std::size_t>(row)];
  const RowHighlights& h = lookup_->Highlights(static_cast<std::size_t>(row));
  const std::string_view cell = column == 1 ? r.question : r.answer;
  const std::vector<CellSpan>& spans = column == 1 ? h.question : h.answer;
  HitRanges out;
  out.reserve(static_cast<qsizetype>(spans.size()));
  // A cell holds few hits: their ends are converted in small batches.
  constexpr std::size_t kBatch = 16;
  std::array<std::uint32_t, 2 * kBatch> offsets;
  std::array<qsizetype, 2 * kBatch> positions;
  for (std::size_t first = 0; first < spans.size(); first += kBatch) {
    const std::size_t n = std::min(kBatch, spans.size() - first);
    for (std::size_t i = 0; i < n; ++i) {
      offsets[2 * i] = spans[first + i].begin;
      offsets[2 * i + 1] = spans[first + i].end;
    }
    Utf16Positions(cell, std::span(offsets).first(2 * n), std::span(positions).first(2 * n));
    for (std::size_t i = 0; i < n; ++i) {
      const qsizetype from = positions[2 * i], to = positions[2 * i + 1];
      if (to > from) out.append({static_cast<int>(from), static_cast<int>(to - from)});
    }
  }
  return out;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
  const std::span<const LookupRow> rows = Rows();
  if (!index.isValid() || index.row() >= static_cast<int>(rows.size())) return {};
  const LookupRow& row = rows[static_cast<std::size_t>(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      switch (column) {
        case 0: return QString::number(row.ordinal);
        case 1: return FromGbk(row.question);
        case 2: return FromGbk(row.answer);
        default: return {};
      }
    case Qt::ToolTipRole: {
      // The cell's whole text (the columns are narrow), under the close
      // match's mark.
      QString text = column == 1 ? FromGbk(row.question) : column == 2 ? FromGbk(row.answer) : QString();
      if (!Close()) return text.isEmpty() ? QVariant() : QVariant(text);
      return text.isEmpty() ? CloseMatchTip() : CloseMatchTip() + u'\n' + text;
    }
    case Qt::ForegroundRole:
      if (Close()) return QBrush(qt::CloseMatchColour());
      return {};
    case kHitsRole:
      if (column != 1 && column != 2) return {};
      return QVariant::fromValue(Hits(index.row(), column));
    default:
      return {};
  }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
    return headers_.at(section);
  return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace kv::ui
