#include "wide_text.hpp"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "gbk_walk.hpp"

namespace kv::ui::win {

namespace {

constexpr UINT kGbk = 936;

// The character of every well-formed pair as code page 936 reads it, 0 where
// it reads none; built once, so a text is shown by table lookups.
class PairTable {
 public:
  PairTable() : characters_(kLeads * kTrails, 0) {
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (!IsGbkTrailByte(static_cast<unsigned char>(trail))) continue;
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        wchar_t out[2] = {};
        const int n = ::MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, pair, 2, out, 2);
        if (n != 1 || out[0] == 0xFFFD || out[0] == 0) continue;
        characters_[Index(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))] = out[0];
      }
    }
  }
  wchar_t At(unsigned char lead, unsigned char trail) const { return characters_[Index(lead, trail)]; }

 private:
  static constexpr std::size_t kLeads = 0xFE - 0x81 + 1, kTrails = 0xFE - 0x40 + 1;
  static std::size_t Index(unsigned char lead, unsigned char trail) {
    return static_cast<std::size_t>(lead - 0x81) * kTrails + (trail - 0x40);
  }
  std::vector<wchar_t> characters_;
};

const PairTable& Pairs() {
  static const PairTable table;
  return table;
}

}  // namespace

bool PairMaps(unsigned char lead, unsigned char trail) {
  return IsGbkLeadByte(lead) && IsGbkTrailByte(trail) && Pairs().At(lead, trail) != 0;
}

std::wstring FromGbk(std::string_view bytes) {
  const PairTable& pairs = Pairs();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::wstring out;
  out.reserve(bytes.size());
  WalkGbk(
      bytes, [&](unsigned char lead, unsigned char trail) { return pairs.At(lead, trail) != 0; },
      [&](GbkPiece piece, std::size_t at) {
        switch (piece) {
          case GbkPiece::Single: out += static_cast<wchar_t>(p[at]); break;
          case GbkPiece::Pair: out += pairs.At(p[at], p[at + 1]); break;
          case GbkPiece::BadPair:
          case GbkPiece::BadByte: out += L'\xFFFD'; break;
        }
      });
  return out;
}

void Utf16Positions(std::string_view bytes, std::span<const std::uint32_t> offsets, std::span<std::size_t> positions) {
  const std::size_t count = std::min(offsets.size(), positions.size());
  std::size_t next = 0;
  std::size_t units = 0;
  // Code page 936 maps every pair inside the basic plane: one unit a piece.
  WalkGbk(
      bytes, [](unsigned char lead, unsigned char trail) { return Pairs().At(lead, trail) != 0; },
      [&](GbkPiece, std::size_t at) {
        while (next < count && offsets[next] <= at) positions[next++] = units;
        ++units;
      });
  while (next < count) positions[next++] = units;
}

namespace {

// One character (one or two units) to GBK, or nothing.
std::optional<Text> CharacterToGbk(std::wstring_view c) {
  if (c.size() == 1 && c[0] < 0x80) return Text(1, static_cast<char>(c[0]));
  char out[8];
  BOOL usedDefault = FALSE;
  const int n = ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, c.data(), static_cast<int>(c.size()), out,
                                      sizeof out, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  // Code page 936 writes the euro sign as the single byte 0x80, which is no
  // GBK character.
  if (n == 1 && static_cast<unsigned char>(out[0]) >= 0x80) return std::nullopt;
  return Text(out, static_cast<std::size_t>(n));
}

template <class Each>
void ForEachCharacter(std::wstring_view text, Each&& each) {
  for (std::size_t i = 0; i < text.size();) {
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                      text[i + 1] <= 0xDFFF;
    const std::size_t n = pair ? 2 : 1;
    each(text.substr(i, n));
    i += n;
  }
}

}  // namespace

std::optional<Text> ToGbk(std::wstring_view text) {
  Text out;
  out.reserve(text.size() * 2);
  bool ok = true;
  ForEachCharacter(text, [&](std::wstring_view c) {
    if (!ok) return;
    if (auto g = CharacterToGbk(c)) out += *g;
    else ok = false;
  });
  if (!ok) return std::nullopt;
  return out;
}

GbkReading ReadAsGbk(std::wstring_view text) {
  GbkReading r;
  r.gbk.reserve(text.size() * 2);
  ForEachCharacter(text, [&](std::wstring_view c) {
    if (auto g = CharacterToGbk(c)) {
      r.gbk += *g;
    } else {
      r.gbk += '?';
      r.exact = false;
    }
  });
  return r;
}

}  // namespace kv::ui::win
