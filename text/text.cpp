#include "text.hpp"

#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv {

namespace {

// First occurrence of needle[0..k) in hay[0..n), k >= 1, byte for byte.
// With SSE2 it tests 16 candidate positions at once on the needle's first and
// last bytes and compares the rest only where both agree.
const char* FindBytes(const char* hay, std::size_t n, const char* needle, std::size_t k) {
  if (k == 1) return static_cast<const char*>(std::memchr(hay, needle[0], n));
  if (n < k) return nullptr;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(needle[0]);
  const __m128i last = _mm_set1_epi8(needle[k - 1]);
  std::size_t i = 0;
  const std::size_t candidates = n - k + 1;
  for (; i + 16 <= candidates; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i + k - 1));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
    while (mask) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(mask));
      if (k == 2 || std::memcmp(hay + i + bit + 1, needle + 1, k - 2) == 0) return hay + i + bit;
      mask &= mask - 1;
    }
  }
  for (; i < candidates; ++i)
    if (hay[i] == needle[0] && hay[i + k - 1] == needle[k - 1] && std::memcmp(hay + i, needle, k) == 0) return hay + i;
  return nullptr;
#else
  return static_cast<const char*>(memmem(hay, n, needle, k));
#endif
}

}  // namespace

Text ToText(ByteBlock block) {
  const void* nul = block.empty() ? nullptr : std::memchr(block.data(), 0, block.size());
  const std::size_t n = nul ? static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - block.data())
                            : block.size();
  return Text(reinterpret_cast<const char*>(block.data()), n);
}

Text ToText(double value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 13);
  return Text(buf, res.ptr);
}

Text ToText(std::int32_t value) {
  char buf[16];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return Text(buf, res.ptr);
}

int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp compares as unsigned char
  if (c != 0) return c < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool IsWalkPosition(std::string_view text, std::size_t from, std::size_t pos) {
  // A byte below 0x80 always ends a character (it is a single-byte character
  // or a trail byte), so the byte after the last such byte before `pos` is a
  // walk position, and only lead/trail pairs of high bytes lie between it and
  // `pos`: `pos` is reached exactly when that run of high bytes has even length.
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = pos;
#if defined(__SSE2__)
  while (i - from >= 16) {
    // One bit per byte of the 16 before i, set for the high bytes.
    const unsigned high = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 16))));
    if (high != 0xFFFFu) {
      const unsigned last = 31u - static_cast<unsigned>(__builtin_clz(~high & 0xFFFFu));
      i = i - 16 + last + 1;
      return ((pos - i) & 1u) == 0;
    }
    i -= 16;
  }
#endif
  while (i - from >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i - 8, 8);
    if ((w & 0x8080808080808080ull) != 0x8080808080808080ull) break;
    i -= 8;
  }
  while (i > from && p[i - 1] >= 0x80) --i;
  return ((pos - i) & 1u) == 0;
}

std::size_t FindOnBoundary(std::string_view text, std::string_view keyword, std::size_t from) {
  const std::size_t k = keyword.size();
  if (k == 0) return from < text.size() ? from : std::string_view::npos;
  const char* base = text.data();
  std::size_t at = from;
  while (text.size() >= k && at <= text.size() - k) {
    const char* hit = FindBytes(base + at, text.size() - at, keyword.data(), k);
    if (!hit) return std::string_view::npos;
    const std::size_t q = static_cast<std::size_t>(hit - base);
    if (IsWalkPosition(text, from, q)) return q;
    at = q + 1;  // q is a trail byte, so q + 1 is a walk position
    from = at;
  }
  return std::string_view::npos;
}

int FindText(std::string_view text, std::string_view keyword) {
  if (keyword.empty()) return text.empty() ? -1 : 1;
  const std::size_t q = FindOnBoundary(text, keyword, 0);
  return q == std::string_view::npos ? -1 : static_cast<int>(q + 1);
}

TextArray SplitText(std::string_view text, std::string_view separator) {
  TextArray pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t cut = 0;
  for (;;) {
    const std::size_t q = FindOnBoundary(text, separator, cut);
    if (q == std::string_view::npos) break;
    pieces.emplace_back(text.substr(cut, q - cut));
    cut = q + separator.size();
  }
  if (cut < text.size()) pieces.emplace_back(text.substr(cut));
  return pieces;
}

}  // namespace kv
