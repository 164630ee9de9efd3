// The lookup as the result list runs it: exact rows first, the tolerant look
// only when they are none, and the hits each row draws.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "keyword_lookup.hpp"
#include "question_bank.hpp"

namespace {

using Spans = std::vector<kv::CellSpan>;

struct Listed {
  std::vector<std::string> questions;
  bool close = false;
};

Listed List(const kv::TextArray& bank, std::string_view keyword) {
  kv::KeywordLookup lookup;
  const kv::TolerantIndex index(bank);
  lookup.Run(bank, index, keyword);
  Listed out{{}, lookup.Close()};
  std::uint32_t ordinal = 0;
  for (const auto& row : lookup.Rows()) {
    EXPECT_EQ(row.ordinal, ++ordinal);
    EXPECT_EQ(row.question.data(), bank[row.line].data());
    out.questions.emplace_back(row.question);
  }
  return out;
}

const kv::TextArray kBank = {
    "长江的源头在哪里？|唐古拉山",     // 0
    "銀行長是做什么的？|管银行",      // 1: traditional
    "ABC是什么|字母",               // 2: upper case
    "１＋１等于几？|２",             // 3: full-width digits
    "黄河和长江哪条更长？|长江",       // 4
    "行长|人",                      // 5
    "Apple|red",                    // 6
    "apple pie|sweet",              // 7
    "问号?|是",                     // 8: half-width question mark
};

TEST(TolerantLookup, RunsOnlyWhenTheExactLookupListsNothing) {
  // Each keyword finds a line exactly; the lines it would find folded stay out.
  const struct {
    const char* keyword;
    std::vector<std::string> questions;
  } cases[] = {
      {"Apple", {"Apple"}},
      {"apple", {"apple pie"}},
      {"？", {"长江的源头在哪里？", "銀行長是做什么的？", "１＋１等于几？", "黄河和长江哪条更长？"}},
      {"长江", {"长江的源头在哪里？", "黄河和长江哪条更长？"}},
  };
  for (const auto& c : cases) {
    const Listed got = List(kBank, c.keyword);
    EXPECT_FALSE(got.close) << c.keyword;
    EXPECT_EQ(got.questions, c.questions) << c.keyword;
  }
}

TEST(TolerantLookup, FoldedKeywordsFindTheirLines) {
  const struct {
    const char* what;
    const char* keyword;
    std::vector<std::string> questions;
  } cases[] = {
      {"width", "1+1", {"１＋１等于几？"}},
      {"width", "问号？", {"问号?"}},
      {"width", "？|是", {"问号?"}},
      {"case", "abc", {"ABC是什么"}},
      {"case", "APPLE PIE", {"apple pie"}},
      {"traditional", "银行长", {"銀行長是做什么的？"}},
      {"simplified in the line", "黃河", {"黄河和长江哪条更长？"}},
      {"several", "长江 黄河", {"黄河和长江哪条更长？"}},
      {"several, any order, full-width space", "长　哪条 黄", {"黄河和长江哪条更长？"}},
      {"several, all must occur", "长江 源头 黄河", {}},
      {"pinyin", "cj", {"长江的源头在哪里？", "黄河和长江哪条更长？"}},
      {"pinyin", "changjiang", {"长江的源头在哪里？", "黄河和长江哪条更长？"}},
      {"pinyin", "hangzhang", {"銀行長是做什么的？", "行长"}},
      {"pinyin", "xingzhang", {"銀行長是做什么的？", "行长"}},
      {"pinyin, upper case", "HH", {"黄河和长江哪条更长？"}},
      {"pinyin with a folded piece", "hh 长江", {"黄河和长江哪条更长？"}},
      {"nothing", "长城", {}},
      {"nothing", "qqqq", {}},
      {"only spaces", "　 ", {}},
  };
  for (const auto& c : cases) {
    const Listed got = List(kBank, c.keyword);
    EXPECT_EQ(got.questions, c.questions) << c.what << ": " << c.keyword;
    EXPECT_EQ(got.close, !c.questions.empty()) << c.what << ": " << c.keyword;
  }
}

TEST(TolerantLookup, AnIndexOfAnotherBankIsNotUsed) {
  const kv::TolerantIndex stale(kv::TextArray{"長江|x"});
  kv::KeywordLookup lookup;
  lookup.Run(kBank, stale, "cj");
  ASSERT_EQ(lookup.Rows().size(), 2u);
  EXPECT_EQ(lookup.Rows()[1].line, 4u);
  EXPECT_EQ(lookup.Highlights(1).question, (Spans{{6, 10}}));
}

kv::RowHighlights Highlights(const kv::TextArray& bank, std::string_view keyword, std::size_t row = 0) {
  kv::KeywordLookup lookup;
  const kv::TolerantIndex index(bank);
  lookup.Run(bank, index, keyword);
  return lookup.Highlights(row);
}

TEST(Highlights, ExactHitsInBothCells) {
  const struct {
    const char* what;
    std::string line, keyword;
    Spans question, answer;
  } cases[] = {
      {"twice", "长江长江|江", "长江", {{0, 4}, {4, 8}}, {}},
      {"twice, apart", "长江和长江|江", "长江", {{0, 4}, {6, 10}}, {}},
      {"overlapping", "aaa|b", "aa", {{0, 3}}, {}},
      {"in the answer", "问|长江长江", "江", {}, {{2, 4}, {6, 8}}},
      {"both cells", "江|江", "江", {{0, 2}}, {{0, 2}}},
      // B0A1 B1B0 A1A2: after the hit at 0 the keyword's bytes B0 A1 come
      // again at 3, the trail byte of B1B0 and the lead byte of A1A2.
      {"trail byte like the first byte", "\xb0\xa1\xb1\xb0\xa1\xa2|\xb1\xb0\xa1", "\xb0\xa1", {{0, 2}}, {}},
      {"trail byte 0x7C", "\x81\x7c|\x81\x7c", "|", {}, {}},
      {"across the bar", "ab|cd", "b|c", {{1, 2}}, {{0, 1}}},
      {"no two cells", "长江", "长江", {}, {}},
      {"keyword ending in a lead byte", "a\xb4\xcd|x", "a\xb4", {{0, 3}}, {}},
  };
  for (const auto& c : cases) {
    const auto h = Highlights({c.line}, c.keyword);
    EXPECT_EQ(h.question, c.question) << c.what;
    EXPECT_EQ(h.answer, c.answer) << c.what;
  }
}

TEST(Highlights, CloseHitsMapBackToTheLinesBytes) {
  const struct {
    const char* what;
    std::string line, keyword;
    Spans question, answer;
  } cases[] = {
      // Ａ and Ｂ are two bytes in the line, one in the folded text.
      {"width", "xＡＢ長|AB", "ab", {{1, 5}}, {{0, 2}}},
      {"traditional", "銀行長|行长", "银行长", {{0, 6}}, {}},
      {"several", "长江黄河|江", "河 长", {{0, 2}, {6, 8}}, {}},
      {"pinyin", "长江和长江|长江", "cj", {{0, 4}, {6, 10}}, {{0, 4}}},
      {"pinyin, typing", "长江|x", "changji", {{0, 4}}, {}},
      {"pinyin and letters", "ＣＪ长江|x", "cj", {{0, 4}, {4, 8}}, {}},
  };
  for (const auto& c : cases) {
    kv::KeywordLookup lookup;
    const kv::TextArray bank{c.line};
    const kv::TolerantIndex index(bank);
    lookup.Run(bank, index, c.keyword);
    ASSERT_TRUE(lookup.Close()) << c.what;
    ASSERT_EQ(lookup.Rows().size(), 1u) << c.what;
    EXPECT_EQ(lookup.Highlights(0).question, c.question) << c.what;
    EXPECT_EQ(lookup.Highlights(0).answer, c.answer) << c.what;
  }
}

TEST(Highlights, KeptUntilTheNextRun) {
  const kv::TextArray bank{"长江|江", "江|长江"};
  kv::KeywordLookup lookup;
  const kv::TolerantIndex index(bank);
  lookup.Run(bank, index, "长江");
  const kv::RowHighlights* first = &lookup.Highlights(1);
  EXPECT_EQ(first->answer, (Spans{{0, 4}}));
  EXPECT_EQ(&lookup.Highlights(1), first);  // not searched again
  EXPECT_TRUE(lookup.Highlights(2).question.empty());
  lookup.Run(bank, index, "江");
  EXPECT_EQ(lookup.Highlights(1).question, (Spans{{0, 2}}));
  lookup.Clear();
  EXPECT_TRUE(lookup.Rows().empty());
  EXPECT_TRUE(lookup.Highlights(0).answer.empty());
}

// On the shipped bank, through the index built when it loads.
TEST(TolerantLookup, ShippedBank) {
  kv::LoadQuestionBank();
  ASSERT_TRUE(kv::QuestionBankIndex.Describes(kv::QuestionBank));
  kv::KeywordLookup lookup;
  std::vector<kv::LookupRow> exact;
  kv::RunLookup(kv::QuestionBank, "长江", exact);
  ASSERT_FALSE(exact.empty());
  for (const char* keyword : {"cj", "changjiang", "長江"}) {
    lookup.Run(kv::QuestionBank, keyword);
    EXPECT_TRUE(lookup.Close()) << keyword;
    // Every line holding 长江 is among the rows.
    std::size_t found = 0;
    for (const auto& row : lookup.Rows())
      for (const auto& e : exact) found += row.line == e.line;
    EXPECT_EQ(found, exact.size()) << keyword;
  }
  lookup.Run(kv::QuestionBank, "?");  // the bank spells it full-width only
  EXPECT_TRUE(lookup.Close());
  EXPECT_GT(lookup.Rows().size(), 4000u);
  lookup.Run(kv::QuestionBank, "的");
  EXPECT_FALSE(lookup.Close());
  lookup.Run(kv::QuestionBank, "qxzqxz 无此问题");
  EXPECT_TRUE(lookup.Rows().empty());
  EXPECT_FALSE(lookup.Close());
  kv::ReleaseQuestionBank();
  EXPECT_EQ(kv::QuestionBankIndex.LineCount(), 0u);
}

}  // namespace
