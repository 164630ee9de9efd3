// The question bank: the embedded bank block turned into one line per question.
#pragma once

#include "text.hpp"
#include "tolerant_index.hpp"

namespace kv {

// The whole bank as one text, and its lines ("question|answer"), in bank order.
// Both are program-wide: empty until LoadQuestionBank runs, released at exit.
extern Text BankText;
extern TextArray QuestionBank;
// What the tolerant lookup reads of QuestionBank, built with it.
extern TolerantIndex QuestionBankIndex;

// The bank block compiled into the program.
ByteBlock EmbeddedBankBlock();

// Builds `bankText` and `lines` from a bank block (marker, count, bytes). A
// block that cannot be read gives an empty bank.
void LoadQuestionBank(ByteBlock block, Text& bankText, TextArray& lines);

// Fills BankText, QuestionBank and QuestionBankIndex from the embedded block.
void LoadQuestionBank();

// Releases BankText, QuestionBank and QuestionBankIndex (exit clean-up).
void ReleaseQuestionBank();

}  // namespace kv
