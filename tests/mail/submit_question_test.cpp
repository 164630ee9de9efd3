// 添加题目 on a window built from the main window's table, offscreen.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QWidget>

#include "main_form.hpp"
#include "message_box.hpp"
#include "qt/qt_window.hpp"
#include "scripted_peer.hpp"
#include "submit_question.hpp"

namespace {

using kv::test::Say;
using kv::test::ScriptedPeer;
using kv::test::ServerScript;
using kv::test::StandardServer;

constexpr char kBox[] = "maintainer@kelvaro.localhost";

struct Shown {
  std::string text, caption;
  bool topmost_while_shown;
};

class SubmitQuestion : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "submit_question_test";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) app_ = new QApplication(argc, argv);
  }

  void SetUp() override {
    window_ = kv::ui::Window::Create(kv::ui::MainForm::kDef);
    ASSERT_TRUE(window_);
    box_ = kv::ui::qt::Widget(*window_, kv::ui::MainForm::questionBox);
    topmost_ = kv::ui::qt::Widget(*window_, kv::ui::MainForm::topmostBox);
    window_->Show();
    kv::ui::SetMessageHookForTesting([this](const kv::ui::MessageRequest& r) {
      shown_.push_back({r.gbkText, r.gbkCaption, window_->IsTopmost()});
      return true;
    });
  }
  void TearDown() override { kv::ui::SetMessageHookForTesting({}); }

  kv::QuestionControls Controls() { return {*window_, kv::ui::MainForm::questionBox, kv::ui::MainForm::topmostBox}; }
  kv::MailAccount Account(int port) { return {"127.0.0.1", port, "135790", "mintcloudsR7", kBox}; }

  // Always-on-top as the check box shows it, before the click.
  void SetTopmost(bool on) {
    topmost_->setChecked(on);
    window_->SetTopmost(on);
  }

  static QApplication* app_;
  std::unique_ptr<kv::ui::Window> window_;
  QLineEdit* box_ = nullptr;
  QCheckBox* topmost_ = nullptr;
  std::vector<Shown> shown_;
  kv::MailConnection conn_;
};
QApplication* SubmitQuestion::app_ = nullptr;

TEST_F(SubmitQuestion, EmptyBoxIsRefusedAndTheWindowFollowsTheCheckBox) {
  for (bool on : {false, true}) {
    shown_.clear();
    SetTopmost(on);
    ScriptedPeer peer(Say("220 peer\r\n"), StandardServer({}), 200);
    box_->clear();
    kv::SubmitQuestion(Controls(), Account(peer.port()), conn_);
    peer.Finish();
    EXPECT_FALSE(peer.accepted());
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, "题目不可以空！！");
    EXPECT_EQ(shown_[0].caption, "信息：");
    EXPECT_FALSE(shown_[0].topmost_while_shown);
    EXPECT_EQ(window_->IsTopmost(), on);
  }
}

TEST_F(SubmitQuestion, SentQuestionEmptiesTheBox) {
  SetTopmost(true);
  ScriptedPeer peer(Say("220 peer\r\n"), StandardServer({}));
  box_->setText(QStringLiteral(u"王者之剑的主人是谁？"));
  kv::SubmitQuestion(Controls(), Account(peer.port()), conn_);
  EXPECT_TRUE(box_->text().isEmpty());
  EXPECT_TRUE(shown_.empty());
  EXPECT_TRUE(window_->IsTopmost());
  const auto& lines = peer.Finish();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 5, lines.end()),
            (std::vector<std::string>{std::string("MAIL FROM:<") + kBox + ">", std::string("RCPT TO:<") + kBox + ">",
                                      "DATA", ".", "QUIT"}));
  const std::string& m = peer.message();
  EXPECT_NE(m.find("Subject: =?gb2312?B?zO2807XEzOLEvw==?=\r\n"), std::string::npos) << m;
  EXPECT_NE(m.find("charset=\"gb2312\""), std::string::npos);
  EXPECT_TRUE(m.ends_with("\r\n\r\n" + kv::EncodeBase64("王者之剑的主人是谁？", true) + "\r\n")) << m;

  // Spaces alone are a question too.
  ScriptedPeer peer2(Say("220 peer\r\n"), StandardServer({}));
  box_->setText(QStringLiteral("   "));
  kv::SubmitQuestion(Controls(), Account(peer2.port()), conn_);
  EXPECT_TRUE(box_->text().isEmpty());
  peer2.Finish();
  EXPECT_NE(peer2.message().find("charset=\"us-ascii\""), std::string::npos);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(SubmitQuestion, FailureKeepsTheTextAndSaysWhy) {
  SetTopmost(false);
  const QString question = QStringLiteral(u"经验值怎么算？");
  ServerScript script;
  script.replies[std::string("RCPT TO:<") + kBox + ">"] = Say("550 5.1.1 Mailbox unavailable\r\n");
  ScriptedPeer peer(Say("220 peer\r\n"), StandardServer(script));
  box_->setText(question);
  kv::SubmitQuestion(Controls(), Account(peer.port()), conn_);
  EXPECT_EQ(box_->text(), question);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "提交失败：5.1.1 Mailbox unavailable");
  EXPECT_EQ(shown_[0].caption, "信息：");
  EXPECT_FALSE(window_->IsTopmost());
  peer.Finish();
  EXPECT_EQ(conn_.socket, -1);  // disconnected all the same

  // Nobody listening: the connect's own reason.
  const int port = kv::test::UnusedPort();
  SetTopmost(true);
  kv::SubmitQuestion(Controls(), Account(port), conn_);
  EXPECT_EQ(box_->text(), question);
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[1].text, "提交失败：连接指定SMTP邮件服务器“127.0.0.1”失败!");
  EXPECT_FALSE(shown_[1].topmost_while_shown);
  EXPECT_TRUE(window_->IsTopmost());
}

TEST_F(SubmitQuestion, QuestionThatGbkCannotCarryIsNotSent) {
  ScriptedPeer peer(Say("220 peer\r\n"), StandardServer({}), 200);
  const QString question = QStringLiteral(u"เกม 题目 😀");
  box_->setText(question);
  kv::SubmitQuestion(Controls(), Account(peer.port()), conn_);
  peer.Finish();
  EXPECT_FALSE(peer.accepted());
  EXPECT_EQ(box_->text(), question);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_TRUE(shown_[0].text.starts_with("提交失败：")) << shown_[0].text;
}

TEST(SubmitFailureText, FirstLineAtMost200BytesValidGbk) {
  EXPECT_EQ(kv::SubmitFailureText("5.7.1 rejected\r\nsecond line"), "提交失败：5.7.1 rejected");
  EXPECT_EQ(kv::SubmitFailureText("bare\nlf"), "提交失败：bare");
  EXPECT_EQ(kv::SubmitFailureText("bad \x80 byte \xff"), "提交失败：bad ? byte ?");
  // 199 ASCII bytes and a double-byte character across the 200-byte mark.
  const std::string long_text = std::string(199, 'a') + "题目";
  EXPECT_EQ(kv::SubmitFailureText(long_text), "提交失败：" + std::string(199, 'a'));
  EXPECT_EQ(kv::SubmitFailureText(std::string(198, 'a') + "题目"), "提交失败：" + std::string(198, 'a') + "题");
  EXPECT_EQ(kv::SubmitFailureText(std::string(500, 'z')), "提交失败：" + std::string(200, 'z'));
}

}  // namespace
