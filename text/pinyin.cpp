#include "pinyin.hpp"

#include "gbk_tables.hpp"
#include "text.hpp"

namespace kv {

std::uint16_t ReadingSetOf(unsigned char lead, unsigned char trail) {
  const std::size_t place = tables::GbkPlace(lead, trail);
  return place < tables::kGbkPlaces ? tables::kReadingSetOf[place] : 0;
}

std::span<const std::uint16_t> ReadingSyllables(std::uint16_t set) {
  if (set >= tables::kReadingSetCount) return {};
  return {tables::kReadingSetSyllables + tables::kReadingSetStart[set],
          tables::kReadingSetSyllables + tables::kReadingSetStart[set + 1]};
}

std::string_view SyllableText(std::uint16_t number) {
  if (number >= tables::kSyllableCount) return {};
  return {tables::kSyllableText + tables::kSyllableStart[number],
          static_cast<std::size_t>(tables::kSyllableStart[number + 1] - tables::kSyllableStart[number])};
}

void AppendReadingSets(std::string_view text, std::vector<std::uint16_t>& out) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!IsLeadByte(c) || i + 1 == text.size()) {
      out.push_back(0);
      ++i;
    } else {
      out.push_back(ReadingSetOf(c, static_cast<unsigned char>(text[i + 1])));
      i += 2;
    }
  }
}

bool PinyinPattern::Applies(std::string_view keyword) {
  if (keyword.empty() || keyword.size() > kMaxLetters) return false;
  for (const char c : keyword)
    if (c < 'a' || c > 'z') return false;
  return true;
}

PinyinPattern::PinyinPattern(std::string_view k) : steps_(tables::kSyllableCount) {
  const std::size_t m = k.size() <= kMaxLetters ? k.size() : 0;
  live_ = (std::uint64_t{1} << m) - 1;
  for (std::uint16_t y = 0; y < steps_.size(); ++y) {
    const std::string_view s = SyllableText(y);
    Step& t = steps_[y];
    t.len = static_cast<unsigned>(s.size());
    const bool cluster = s.size() > 2 && s[1] == 'h' && (s[0] == 'z' || s[0] == 'c' || s[0] == 's');
    for (std::size_t p = 0; p < m; ++p) {
      const std::uint64_t bit = std::uint64_t{1} << p;
      const std::string_view rest = k.substr(p);
      if (!s.empty() && rest[0] == s[0]) t.one |= bit;
      if (cluster && rest.size() >= 2 && rest.substr(0, 2) == s.substr(0, 2)) t.two |= bit;
      if (!s.empty() && rest.substr(0, s.size()) == s) t.full |= bit;
      if (rest.size() <= s.size() && s.substr(0, rest.size()) == rest) t.end |= bit;
    }
  }
  starts_.assign(tables::kReadingSetCount, 0);
  for (std::uint16_t set = 1; set < starts_.size(); ++set)
    for (const std::uint16_t y : ReadingSyllables(set))
      if ((steps_[y].one | steps_[y].two | steps_[y].full | steps_[y].end) & 1) starts_[set] = 1;
}

std::uint64_t PinyinPattern::Advance(std::uint16_t set, std::uint64_t at, bool& ends) const {
  std::uint64_t next = 0;
  for (const std::uint16_t y : ReadingSyllables(set)) {
    const Step& t = steps_[y];
    ends |= (at & t.end) != 0;
    next |= (at & t.one) << 1 | (at & t.two) << 2 | (at & t.full) << t.len;
  }
  return next & live_;
}

bool PinyinPattern::Matches(std::span<const std::uint16_t> sets) const {
  if (live_ == 0) return false;
  // Bit p of `at`: some run ending just before this character spells the
  // keyword's first p letters; bit 0 starts a run here.
  std::uint64_t at = 1;
  for (const std::uint16_t set : sets) {
    if (at == 1) {
      if (!starts_[set]) continue;  // also for set 0, which has no readings
    } else if (set == 0) {
      at = 1;
      continue;
    }
    bool ends = false;
    at = Advance(set, at, ends) | 1;
    if (ends) return true;
  }
  return false;
}

void PinyinPattern::Runs(std::span<const std::uint16_t> sets,
                         std::vector<std::pair<std::size_t, std::size_t>>& out) const {
  if (live_ == 0) return;
  for (std::size_t first = 0; first < sets.size(); ++first) {
    std::uint64_t at = 1;
    bool found = false;
    std::size_t last = 0;
    for (std::size_t j = first; j < sets.size() && at != 0 && sets[j] != 0; ++j) {
      bool ends = false;
      at = Advance(sets[j], at, ends);
      if (ends) found = true, last = j;
    }
    if (found) out.emplace_back(first, last);
  }
}

}  // namespace kv
