#include "submit_question.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLineEdit>
#include <QWidget>

#include "gbk.hpp"
#include "kelvaro_config.hpp"
#include "message_box.hpp"
#include "topmost.hpp"
#include "window_table.hpp"

namespace kv {

namespace {

constexpr char kSubject[] = "添加的题目";
constexpr std::size_t kMostErrorBytes = 200;

// The wait cursor while the mail dialogue blocks the window.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// A message box over an always-on-top main window would hide behind it: the
// window steps down while the box is up and then follows 选择框1 again.
void Tell(QWidget* mainWindow, std::string_view text) {
  ui::SetTopmost(mainWindow, false);
  ui::ShowMessage(text);
  const QCheckBox* topmost = ui::FindCheckBox(mainWindow, "选择框1");
  ui::SetTopmost(mainWindow, topmost != nullptr && topmost->isChecked());
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
  // A byte pair of the GBK form: lead 0x81..0xFE, trail 0x40..0xFE but 0x7F.
  Text checked;
  for (std::size_t i = 0; i < error.size(); ++i) {
    const auto c = static_cast<unsigned char>(error[i]);
    if (c < 0x80) {
      checked += error[i];
      continue;
    }
    const auto t = i + 1 < error.size() ? static_cast<unsigned char>(error[i + 1]) : 0;
    if (c >= 0x81 && c <= 0xFE && t >= 0x40 && t <= 0xFE && t != 0x7F) {
      checked.append(error.substr(i, 2));
      ++i;
    } else {
      checked += '?';
    }
  }
  // Pairs of that form that name no character come back from the decoder as
  // U+FFFD.
  QString shown = ui::FromGbk(checked);
  shown.replace(QChar(QChar::ReplacementCharacter), QLatin1Char('?'));
  return "提交失败：" + ui::ToGbk(shown).value_or(Text());
}

void SubmitQuestion(QWidget* mainWindow) {
  SubmitQuestion(mainWindow, SubmissionAccount(), ProgramMailConnection());
}

void SubmitQuestion(QWidget* mainWindow, const MailAccount& account, MailConnection& connection) {
  QLineEdit* box = ui::FindEditBox(mainWindow, "编辑框_添加的");
  if (box == nullptr) return;
  if (box->text().isEmpty()) {
    Tell(mainWindow, "题目不可以空！！");
    return;
  }
  // The question goes out as GBK bytes; one that GBK cannot carry whole is not
  // sent in a damaged form.
  const std::optional<Text> question = ui::ToGbk(box->text());
  if (!question) {
    Tell(mainWindow, SubmitFailureText("题目中有无法提交的字符!"));
    return;
  }
  Text error;
  {
    BusyCursor busy;
    const MailResult connected =
        ConnectMailServer(connection, account.host, account.port, account.login, account.password);
    if (connected) {
      error = SendMail(connection, kSubject, *question, account.mailbox, "", "", account.mailbox).error();
      DisconnectMailServer(connection);
    } else {
      error = connected.error();
    }
  }
  if (!error.empty()) {
    Tell(mainWindow, SubmitFailureText(error));
    return;
  }
  box->clear();
}

}  // namespace kv
