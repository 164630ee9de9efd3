#include "question_bank.hpp"

#include "byte_block.hpp"

extern const unsigned char kBankBlock[];
extern const std::size_t kBankBlockSize;

namespace kv {

Text BankText;
TextArray QuestionBank;
TolerantIndex QuestionBankIndex;

ByteBlock EmbeddedBankBlock() { return ByteBlock(kBankBlock, kBankBlockSize); }

void LoadQuestionBank(ByteBlock block, Text& bankText, TextArray& lines) {
  const auto payload = BlockPayload(block);
  bankText = payload ? ToText(*payload) : Text();
  TextArray split = SplitText(bankText, "\r\n");
  lines.swap(split);
}

void LoadQuestionBank() {
  LoadQuestionBank(EmbeddedBankBlock(), BankText, QuestionBank);
  QuestionBankIndex = TolerantIndex(QuestionBank);
}

void ReleaseQuestionBank() {
  Text().swap(BankText);
  TextArray().swap(QuestionBank);
  QuestionBankIndex = TolerantIndex();
}

}  // namespace kv
