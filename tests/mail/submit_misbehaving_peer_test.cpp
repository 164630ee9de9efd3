// 添加题目 against a server that answers with 10 MB of text and no line end:
// the message box shows a short first line, the question stays in the box,
// and the next submission goes through as usual.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include "main_form.hpp"
#include "message_box.hpp"
#include "scripted_peer.hpp"
#include "submit_question.hpp"
#include "qt/qt_window.hpp"

namespace {

using kv::test::Say;
using kv::test::ScriptedPeer;
using kv::test::StandardServer;

constexpr char kBox[] = "maintainer@kelvaro.localhost";

TEST(SubmitToMisbehavingPeer, HugeReplyShowsCappedTextAndKeepsTheQuestion) {
  static int argc = 1;
  static char name[] = "submit_misbehaving_peer_test";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  const auto window = kv::ui::Window::Create(kv::ui::MainForm::kDef);
  ASSERT_TRUE(window);
  QLineEdit* box = kv::ui::qt::Widget(*window, kv::ui::MainForm::questionBox);
  window->Show();
  const kv::QuestionControls controls{*window, kv::ui::MainForm::questionBox, kv::ui::MainForm::topmostBox};
  std::vector<std::string> shown;
  kv::ui::SetMessageHookForTesting([&](const kv::ui::MessageRequest& r) {
    shown.push_back(r.gbkText);
    return true;
  });

  kv::MailConnection conn;
  const QString question = QStringLiteral(u"请问经验值怎么算？");
  box->setText(question);
  {
    ScriptedPeer flood(ScriptedPeer::Reply{{std::string(10 << 20, 'z')}}, StandardServer({}), 6000);
    kv::SubmitQuestion(controls, {"127.0.0.1", flood.port(), "135790", "mintcloudsR7", kBox}, conn);
    flood.Finish();
  }
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "提交失败：" + std::string(200, 'z'));
  EXPECT_EQ(box->text(), question);
  EXPECT_EQ(conn.socket, -1);
  EXPECT_LE(conn.received.text().size(), kv::ReplyBuffer::kKeepBytes);

  // The same connection object serves the next submission.
  ScriptedPeer good(Say("220 peer\r\n"), StandardServer({}));
  kv::SubmitQuestion(controls, {"127.0.0.1", good.port(), "135790", "mintcloudsR7", kBox}, conn);
  good.Finish();
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_TRUE(box->text().isEmpty());
  EXPECT_NE(good.message().find(kv::EncodeBase64("请问经验值怎么算？", true)), std::string::npos);
  kv::ui::SetMessageHookForTesting({});
}

}  // namespace
