// 添加题目: mails the question typed into the main window's submission box
// to the maintainer's mailbox.
#pragma once

#include <string_view>

#include "mail_client.hpp"
#include "text.hpp"
#include "window.hpp"

namespace kv {

// Where submitted questions go and the account that sends them.
struct MailAccount {
  Text host;
  int port = kDefaultMailPort;
  Text login, password;
  Text mailbox;  // recipient and sender alike
};

// The account built into the program.
MailAccount SubmissionAccount();

// The two controls of the main window that a submission uses: the box with
// the question, and the always-on-top switch the window follows.
struct QuestionControls {
  ui::Window& window;
  ui::EditBoxId questionBox;
  ui::CheckBoxId topmostBox;
};

// The click handler of 添加题目. An empty box is refused with "题目不可以空！！".
// Otherwise the question is sent with the built-in account on the program's
// mail connection; the box is emptied only when the server took the mail. A
// failure, or a question with characters GBK cannot carry, keeps the text and
// says "提交失败：" and why. Around every message the window leaves
// always-on-top and then takes again the state that the switch shows.
void SubmitQuestion(const QuestionControls& controls);
void SubmitQuestion(const QuestionControls& controls, const MailAccount& account, MailConnection& connection);

// "提交失败：" and the first line of `error`, at most 200 bytes of it (never half
// a character), with bytes that are not GBK replaced by "?".
Text SubmitFailureText(std::string_view error);

}  // namespace kv
