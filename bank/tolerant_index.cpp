#include "tolerant_index.hpp"

#include "fold.hpp"
#include "pinyin.hpp"

namespace kv {

namespace {

bool HoldsLetter(std::string_view folded) {
  for (std::size_t i = 0; i < folded.size(); i = NextCharacter(folded, i))
    if (folded[i] >= 'a' && folded[i] <= 'z') return true;
  return false;
}

}  // namespace

TolerantIndex::TolerantIndex(const TextArray& bank) {
  std::size_t bytes = 0;
  for (const Text& line : bank) bytes += line.size();
  folded_.reserve(bytes);
  readings_.reserve(bytes);
  foldedStart_.reserve(bank.size() + 1);
  readingStart_.reserve(bank.size() + 1);
  sizes_.reserve(bank.size());
  letters_.reserve(bank.size());
  for (const Text& line : bank) {
    const std::size_t from = folded_.size();
    AppendFolded(line, folded_);
    letters_.push_back(HoldsLetter(std::string_view(folded_).substr(from)));
    AppendReadingSets(line, readings_);
    foldedStart_.push_back(static_cast<std::uint32_t>(folded_.size()));
    readingStart_.push_back(static_cast<std::uint32_t>(readings_.size()));
    sizes_.push_back(static_cast<std::uint32_t>(line.size()));
  }
  folded_.shrink_to_fit();
  readings_.shrink_to_fit();
}

bool TolerantIndex::Describes(const TextArray& bank) const {
  if (bank.size() != sizes_.size()) return false;
  for (std::size_t i = 0; i < bank.size(); ++i)
    if (bank[i].size() != sizes_[i]) return false;
  return true;
}

std::size_t TolerantIndex::MemoryBytes() const {
  return sizeof *this + folded_.capacity() + readings_.capacity() * sizeof(std::uint16_t) +
         (foldedStart_.capacity() + readingStart_.capacity() + sizes_.capacity()) * sizeof(std::uint32_t) +
         letters_.capacity();
}

}  // namespace kv
