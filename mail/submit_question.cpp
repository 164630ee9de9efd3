#include "submit_question.hpp"

#include "application.hpp"
#include "gbk_display.hpp"
#include "kelvaro_config.hpp"
#include "message_box.hpp"

namespace kv {

namespace {

constexpr char kSubject[] = "添加的题目";
constexpr std::size_t kMostErrorBytes = 200;

// A message box over an always-on-top main window would hide behind it: the
// window steps down while the box is up and then follows the switch again.
void Tell(const QuestionControls& c, std::string_view text) {
  c.window.SetTopmost(false);
  ui::ShowMessage(text);
  c.window.SetTopmost(c.window.IsChecked(c.topmostBox));
}

}  // namespace

MailAccount SubmissionAccount() {
  return MailAccount{config::kSmtpHost, config::kSmtpPort, "135790", "mintcloudsR7", config::kMailbox};
}

Text SubmitFailureText(std::string_view error) {
  error = error.substr(0, error.find_first_of("\r\n"));
  if (error.size() > kMostErrorBytes) {
    std::size_t cut = kMostErrorBytes;
    if (!IsWalkPosition(error, 0, cut)) --cut;
    error = error.substr(0, cut);
  }
  return "提交失败：" + ui::DisplayableGbk(error, '?');
}

void SubmitQuestion(const QuestionControls& controls) {
  SubmitQuestion(controls, SubmissionAccount(), ProgramMailConnection());
}

void SubmitQuestion(const QuestionControls& c, const MailAccount& account, MailConnection& connection) {
  const ui::EditText question = c.window.GetText(c.questionBox);
  if (question.gbk.empty()) {
    Tell(c, "题目不可以空！！");
    return;
  }
  // The question goes out as GBK bytes; one that GBK cannot carry whole is not
  // sent in a damaged form.
  if (!question.exact) {
    Tell(c, SubmitFailureText("题目中有无法提交的字符!"));
    return;
  }
  MailResult result = MailResult::Ok();
  {
    ui::BusyCursor busy;
    result = ConnectMailServer(connection, account.host, account.port, account.login, account.password);
    if (result) {
      result = SendMail(connection, kSubject, question.gbk, account.mailbox, "", "", account.mailbox);
      DisconnectMailServer(connection);
    }
  }
  if (!result) {
    Tell(c, SubmitFailureText(result.error()));
    return;
  }
  c.window.SetText(c.questionBox, "");
}

}  // namespace kv
