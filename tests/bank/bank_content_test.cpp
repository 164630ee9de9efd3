// Checks the shipped question bank, assets/bank.txt, line by line: its shape,
// its encoding, and every arithmetic answer recomputed from its question.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>

#include "gbk_decode.hpp"
#include "lookup.hpp"
#include "text.hpp"

namespace {

std::string ReadBank() {
  std::ifstream in(KELVARO_BANK_FILE, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A small evaluator for the arithmetic puzzles: integers, + - and the times
// signs X, × and *, ÷ (exact only), brackets. Nothing else is an expression.
class Expr {
 public:
  explicit Expr(std::string_view s) : s_(s) {}
  // The value and the length of the expression at the start of the text,
  // when it holds at least one operator.
  std::optional<std::pair<std::int64_t, std::size_t>> Parse() {
    auto v = Sum();
    if (!v || ops_ == 0) return std::nullopt;
    return std::make_pair(*v, pos_);
  }

 private:
  bool Eat(std::string_view tok) {
    if (s_.substr(pos_, tok.size()) != tok) return false;
    pos_ += tok.size();
    return true;
  }
  std::optional<std::int64_t> Sum() {
    auto v = Product();
    while (v) {
      if (Eat("+")) {
        auto r = Product();
        if (!r) return std::nullopt;
        *v += *r;
      } else if (Eat("-")) {
        auto r = Product();
        if (!r) return std::nullopt;
        *v -= *r;
      } else {
        break;
      }
      ++ops_;
    }
    return v;
  }
  std::optional<std::int64_t> Product() {
    auto v = Atom();
    while (v) {
      if (Eat("X") || Eat("×") || Eat("*")) {
        auto r = Atom();
        if (!r) return std::nullopt;
        *v *= *r;
      } else if (Eat("÷")) {
        auto r = Atom();
        if (!r || *r == 0 || *v % *r != 0) return std::nullopt;
        *v /= *r;
      } else {
        break;
      }
      ++ops_;
    }
    return v;
  }
  std::optional<std::int64_t> Atom() {
    if (Eat("(")) {
      auto v = Sum();
      if (!v || !Eat(")")) return std::nullopt;
      return v;
    }
    std::int64_t v = 0;
    std::size_t digits = 0;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9' && digits < 12) {
      v = v * 10 + (s_[pos_++] - '0');
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    return v;
  }

  std::string_view s_;
  std::size_t pos_ = 0;
  int ops_ = 0;
};

const char* const kAsks[] = {"结果等于多少？", "等于多少？", "的结果是多少？", "等于几？",
                             "=？",            "结果是多少？", "得多少？"};

TEST(ShippedBank, EveryLineHasTheRightShape) {
  const std::string bank = ReadBank();
  ASSERT_FALSE(bank.empty());
  EXPECT_EQ(bank.find('\0'), std::string::npos);
  ASSERT_FALSE(bank.ends_with("\r\n")) << "no CR LF after the last line";

  const kv::TextArray lines = kv::SplitText(bank, "\r\n");
  EXPECT_GE(lines.size(), 3476u);
  std::set<std::string> questions;
  std::size_t arithmetic = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    SCOPED_TRACE("line " + std::to_string(i + 1));
    ASSERT_FALSE(line.empty());
    EXPECT_LE(line.size(), 309u);
    for (std::size_t p = 0; p < line.size();) {
      const auto c = static_cast<unsigned char>(line[p]);
      if (c >= 0x80) {
        ASSERT_TRUE(c >= 0x81 && c <= 0xFE) << "lone byte " << int(c);
        ASSERT_LT(p + 1, line.size()) << "lead byte without a trail byte";
        const auto t = static_cast<unsigned char>(line[p + 1]);
        ASSERT_TRUE(t >= 0x40 && t <= 0xFE && t != 0x7F) << "bad trail byte " << int(t);
        p += 2;
      } else {
        ASSERT_GE(c, 0x20) << "control byte " << int(c);  // no bare CR or LF, no TAB
        p += 1;
      }
    }
    EXPECT_TRUE(kv::test::DecodesAsGbk(line));

    std::string_view q, a;
    ASSERT_TRUE(kv::SplitLookupCells(line, q, a));
    ASSERT_EQ(kv::SplitText(line, "|").size(), 2u) << "exactly one bar";
    EXPECT_FALSE(q.empty());
    EXPECT_FALSE(a.empty());
    // The answer column is 150 px wide: at most 10 double-byte characters.
    EXPECT_LE(a.size(), 20u) << a;
    EXPECT_TRUE(questions.emplace(q).second) << "question given twice: " << q;

    if (auto parsed = Expr(q).Parse()) {
      const std::string_view rest = q.substr(parsed->second);
      bool asks = false;
      for (const char* ask : kAsks) asks = asks || rest == ask;
      if (asks) {
        ++arithmetic;
        EXPECT_EQ(std::string(a), std::to_string(parsed->first)) << q;
      }
    }
  }
  EXPECT_GT(arithmetic, 0u);
  EXPECT_LE(arithmetic * 3, lines.size()) << "arithmetic puzzles are at most a third of the bank";
}

// The evaluator itself, so a broken one cannot wave wrong answers through.
TEST(ShippedBank, ArithmeticCheckerEvaluates) {
  auto value = [](std::string_view s) { return Expr(s).Parse(); };
  EXPECT_EQ(value("(45X73-45X53)÷2结果")->first, 450);
  EXPECT_EQ(value("2+3×4")->first, 14);
  EXPECT_EQ(value("(2+3)*4")->first, 20);
  EXPECT_EQ(value("10-4-3")->first, 3);
  EXPECT_FALSE(value("7÷2"));      // not exact
  EXPECT_FALSE(value("1949年"));   // no operator: not a puzzle
  EXPECT_FALSE(value("(1+2"));
}

// And the encoding check: the platform's converter refuses what is not GBK.
TEST(ShippedBank, EncodingCheckRefusesBrokenBytes) {
  EXPECT_TRUE(kv::test::DecodesAsGbk("\xd0\xc5\xcf\xa2|ok"));  // 信息
  for (std::string_view bad : {"\xd0", "ab\xd0", "\xd0\x20", "\xff\xff", "\xd0\x7f"})
    EXPECT_FALSE(kv::test::DecodesAsGbk(bad)) << testing::PrintToString(std::string(bad));
}

}  // namespace
