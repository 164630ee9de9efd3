#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "gbk_bytes.hpp"
#include "question_bank.hpp"

using kv::test::Bytes;

namespace {

std::string Block(std::string_view text, std::int32_t length) {
  std::string b(8, '\0');
  b[0] = 1;
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<char>((static_cast<std::uint32_t>(length) >> (8 * i)) & 0xff);
  return b + std::string(text);
}

kv::TextArray Load(const std::string& block, kv::Text* text = nullptr) {
  kv::Text t;
  kv::TextArray lines{"stale"};
  kv::LoadQuestionBank(kv::ByteBlock(reinterpret_cast<const unsigned char*>(block.data()), block.size()), t, lines);
  if (text) *text = t;
  return lines;
}

TEST(QuestionBank, SplitsAtCrLfKeepingEmptyLines) {
  const std::string text = "q1|a1\r\n\r\nq3|a3";
  EXPECT_EQ(Load(Block(text, static_cast<std::int32_t>(text.size()))), (kv::TextArray{"q1|a1", "", "q3|a3"}));
  const std::string trailing = "q1|a1\r\nq2|a2\r\n";
  EXPECT_EQ(Load(Block(trailing, static_cast<std::int32_t>(trailing.size()))), (kv::TextArray{"q1|a1", "q2|a2"}));
}

TEST(QuestionBank, BadOrEmptyBlocksGiveAnEmptyBank) {
  EXPECT_TRUE(Load(Block("", 0)).empty());
  EXPECT_TRUE(Load(Block("abc", 4)).empty());   // count runs past the bytes
  EXPECT_TRUE(Load(Block("abc", -1)).empty());  // negative count
  std::string wrongMarker = Block("abc", 3);
  wrongMarker[0] = 2;
  EXPECT_TRUE(Load(wrongMarker).empty());
  EXPECT_TRUE(Load("").empty());
}

TEST(QuestionBank, NulCutsTheBank) {
  const std::string text = Bytes("q1|a1\r\nq2\0|a2\r\nq3|a3");
  kv::Text bankText;
  EXPECT_EQ(Load(Block(text, static_cast<std::int32_t>(text.size())), &bankText), (kv::TextArray{"q1|a1", "q2"}));
  EXPECT_EQ(bankText, "q1|a1\r\nq2");
}

TEST(QuestionBank, StrayLeadByteJoinsTwoLines) {
  const std::string text = "q1\xd6\r\nq2|a2\r\nq3|a3";
  EXPECT_EQ(Load(Block(text, static_cast<std::int32_t>(text.size()))),
            (kv::TextArray{"q1\xd6\r\nq2|a2", "q3|a3"}));
}

// The embedded block carries assets/bank.txt byte for byte.
TEST(QuestionBank, EmbeddedBlockMatchesTheAsset) {
  std::ifstream in(KELVARO_BANK_FILE, std::ios::binary);
  ASSERT_TRUE(in) << KELVARO_BANK_FILE;
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto block = kv::EmbeddedBankBlock();
  ASSERT_EQ(block.size(), file.size() + 8);
  EXPECT_EQ(Block(file, static_cast<std::int32_t>(file.size())),
            std::string(reinterpret_cast<const char*>(block.data()), block.size()));

  kv::ReleaseQuestionBank();
  EXPECT_TRUE(kv::QuestionBank.empty());
  kv::LoadQuestionBank();
  EXPECT_EQ(kv::BankText, file);
  EXPECT_EQ(kv::QuestionBank, kv::SplitText(file, "\r\n"));
  kv::ReleaseQuestionBank();
  EXPECT_TRUE(kv::QuestionBank.empty());
  EXPECT_TRUE(kv::BankText.empty());
}

}  // namespace
