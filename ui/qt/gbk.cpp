#include "gbk.hpp"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <vector>

#include "gbk_walk.hpp"

namespace kv::ui {

namespace {

// The character of every well-formed pair as the code page's decoder reads
// it, 0 where it reads none; built once, so a text is shown by table lookups.
class PairTable {
 public:
  PairTable() : characters_(kLeads * kTrails, 0) {
    QStringDecoder decoder("GBK");
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        if (!IsGbkTrailByte(static_cast<unsigned char>(trail))) continue;
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        decoder.resetState();
        const QString s = decoder.decode(QByteArrayView(pair, 2));
        const QList<uint> ucs = s.toUcs4();
        if (decoder.hasError() || ucs.size() != 1 || ucs[0] == QChar::ReplacementCharacter) continue;
        characters_[Index(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))] = ucs[0];
      }
    }
  }
  char32_t At(unsigned char lead, unsigned char trail) const { return characters_[Index(lead, trail)]; }

 private:
  static constexpr std::size_t kLeads = 0xFE - 0x81 + 1, kTrails = 0xFE - 0x40 + 1;
  static std::size_t Index(unsigned char lead, unsigned char trail) {
    return static_cast<std::size_t>(lead - 0x81) * kTrails + (trail - 0x40);
  }
  std::vector<char32_t> characters_;
};

const PairTable& Pairs() {
  static const PairTable table;
  return table;
}

}  // namespace

QString FromGbk(std::string_view bytes) {
  const PairTable& pairs = Pairs();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  // No piece gives more UTF-16 units than it has bytes.
  QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  char16_t* to = reinterpret_cast<char16_t*>(out.data());
  char16_t* const start = to;
  WalkGbk(
      bytes, [&](unsigned char lead, unsigned char trail) { return pairs.At(lead, trail) != 0; },
      [&](GbkPiece piece, std::size_t at) {
        switch (piece) {
          case GbkPiece::Single: *to++ = p[at]; break;
          case GbkPiece::Pair: {
            const char32_t c = pairs.At(p[at], p[at + 1]);
            if (QChar::requiresSurrogates(c)) {
              *to++ = QChar::highSurrogate(c);
              *to++ = QChar::lowSurrogate(c);
            } else {
              *to++ = static_cast<char16_t>(c);
            }
            break;
          }
          case GbkPiece::BadPair:
          case GbkPiece::BadByte: *to++ = QChar::ReplacementCharacter; break;
        }
      });
  out.truncate(to - start);
  return out;
}

void Utf16Positions(std::string_view bytes, std::span<const std::uint32_t> offsets, std::span<qsizetype> positions) {
  const PairTable& pairs = Pairs();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t count = std::min(offsets.size(), positions.size());
  std::size_t next = 0;
  qsizetype units = 0;
  WalkGbk(
      bytes, [&](unsigned char lead, unsigned char trail) { return pairs.At(lead, trail) != 0; },
      [&](GbkPiece piece, std::size_t at) {
        while (next < count && offsets[next] <= at) positions[next++] = units;
        units += piece == GbkPiece::Pair && QChar::requiresSurrogates(pairs.At(p[at], p[at + 1])) ? 2 : 1;
      });
  while (next < count) positions[next++] = units;
}

std::optional<std::string> ToGbk(const QString& text) {
  QStringEncoder encoder("GBK", QStringEncoder::Flag::Stateless);
  QByteArray out = encoder.encode(text);
  if (encoder.hasError()) return std::nullopt;
  return std::string(out.constData(), static_cast<std::size_t>(out.size()));
}

}  // namespace kv::ui
