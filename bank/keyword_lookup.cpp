#include "keyword_lookup.hpp"

#include "question_bank.hpp"

namespace kv {

void KeywordLookup::Run(const TextArray& bank, const TolerantIndex& index, std::string_view keyword) {
  Clear();
  bank_ = &bank;
  RunLookup(bank, keyword, rows_);
  if (!rows_.empty()) {
    keyword_.assign(keyword);
    return;
  }
  query_.emplace(keyword);
  if (query_->Empty()) return;
  if (index.Describes(bank)) {
    index_ = &index;
  } else {
    if (!own_.Describes(bank)) own_ = TolerantIndex(bank);
    index_ = &own_;
  }
  RunTolerantLookup(bank, *index_, *query_, rows_);
  close_ = !rows_.empty();
}

void KeywordLookup::Run(const TextArray& bank, std::string_view keyword) { Run(bank, QuestionBankIndex, keyword); }

void KeywordLookup::Clear() {
  rows_.clear();
  close_ = false;
  query_.reset();
  keyword_.clear();
  index_ = nullptr;
  highlights_.clear();
}

const RowHighlights& KeywordLookup::Highlights(std::size_t row) const {
  static const RowHighlights kNone;
  if (row >= rows_.size() || !bank_) return kNone;
  if (highlights_.size() != rows_.size()) highlights_.resize(rows_.size());
  auto& slot = highlights_[row];
  if (!slot) {
    const std::size_t line = rows_[row].line;
    if (line >= bank_->size()) return kNone;
    slot = std::make_unique<RowHighlights>(close_ ? CloseHighlights((*bank_)[line], *index_, line, *query_)
                                                  : ExactHighlights((*bank_)[line], keyword_));
  }
  return *slot;
}

}  // namespace kv
