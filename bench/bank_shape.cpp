#include "bank_shape.hpp"

#include <cstdint>

namespace kv::bench {

namespace {
// Common GBK characters, none of them 的 (0xB5 0xC4) or ？ (0xA3 0xBF).
const char* const kChars[] = {"中", "国", "人", "大", "天", "水", "山", "年", "什", "么", "哪", "里",
                              "是", "在", "有", "个", "上", "下", "和", "字", "生", "长", "江", "河",
                              "花", "月", "春", "秋", "书", "诗", "名", "城", "朝", "代", "东", "西"};
}  // namespace

TextArray MakeBankShape(int copies) {
  TextArray lines;
  lines.reserve(static_cast<std::size_t>(copies) * 3476);
  std::uint32_t seed = 20261208;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (int c = 0; c < copies; ++c) {
    for (int i = 0; i < 3476; ++i) {
      Text q;
      const int chars = 18 + static_cast<int>(next() % 14);
      const bool withDe = next() % 1000 < 670;
      const int dePos = static_cast<int>(next() % static_cast<std::uint32_t>(chars));
      for (int k = 0; k < chars; ++k) {
        if (withDe && k == dePos) q += "的";
        else q += kChars[next() % (sizeof kChars / sizeof *kChars)];
        if (next() % 23 == 0) q += static_cast<char>('0' + next() % 10);
      }
      if (next() % 1000 < 860) q += "？";
      Text a;
      const int answerChars = 1 + static_cast<int>(next() % 5);
      for (int k = 0; k < answerChars; ++k) a += kChars[next() % (sizeof kChars / sizeof *kChars)];
      lines.push_back(q + "|" + a);
    }
  }
  return lines;
}

}  // namespace kv::bench
