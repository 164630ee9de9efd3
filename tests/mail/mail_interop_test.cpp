// The client against a real SMTP server that nobody here wrote (aiosmtpd),
// whose own mail parser decodes what arrived.
#include <gtest/gtest.h>

#include "mail_client.hpp"
#include "smtp_server_process.hpp"

namespace {

constexpr char kLogin[] = "135790";
constexpr char kPassword[] = "mintcloudsR7";
constexpr char kBox[] = "maintainer@kelvaro.localhost";

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// The value of `"key": "value"` in the server's summary (values there are
// plain ASCII without escapes).
std::string Field(const std::string& json, const std::string& key) {
  const std::string tag = "\"" + key + "\": ";
  const std::size_t at = json.find(tag);
  if (at == std::string::npos) return "<missing " + key + ">";
  const std::size_t start = at + tag.size();
  if (json.compare(start, 4, "null") == 0) return "null";
  const std::size_t end = json.find('"', start + 1);
  return json.substr(start + 1, end - start - 1);
}

class Interop : public testing::Test {
 protected:
  void Start(std::vector<std::string> args = {}) {
    server_ = std::make_unique<kv::test::SmtpServerProcess>(KELVARO_SMTP_SERVER_SCRIPT, std::move(args), 60);
    ASSERT_TRUE(server_->ok()) << "the SMTP server did not start (python3-aiosmtpd installed?)\n" << server_->Log();
  }
  bool Connect(std::string_view password = kPassword) {
    return kv::ConnectMailServer(conn_, "127.0.0.1", server_->port(), kLogin, password, 5000).ok();
  }

  std::unique_ptr<kv::test::SmtpServerProcess> server_;
  kv::MailConnection conn_;
};

TEST_F(Interop, ChineseQuestionArrivesAsTyped) {
  Start();
  // Chinese, ASCII, a trail byte in the ASCII range ("\x95\x7c", a character
  // GB2312 lacks) and a line break; then one that GB2312 holds whole.
  const std::string question = "王者之剑的主人是谁？ answer|\x95\x7c\r\n第二行";
  const std::string simple = "王者之剑的主人是谁？";
  ASSERT_TRUE(Connect()) << conn_.last_error;
  EXPECT_EQ(kv::SendMail(conn_, "添加的题目", question, kBox, "", "", kBox).error(), "");
  EXPECT_EQ(kv::SendMail(conn_, "添加的题目", simple, kBox, "", "", kBox).error(), "");
  kv::DisconnectMailServer(conn_);

  const auto mails = server_->Mails();
  ASSERT_EQ(mails.size(), 2u) << server_->Log();
  EXPECT_EQ(Field(server_->Summary(mails[1]), "content_charset"), "gb2312");
  EXPECT_EQ(Field(server_->Summary(mails[1]), "body_hex"), Hex(simple));
  const std::string summary = server_->Summary(mails[0]);
  EXPECT_EQ(Field(summary, "login"), kLogin);
  EXPECT_EQ(Field(summary, "mail_from"), kBox);
  EXPECT_NE(summary.find(std::string("\"rcpt_tos\": [\n  \"") + kBox + "\"\n ]"), std::string::npos) << summary;
  EXPECT_EQ(Field(summary, "subject_hex"), Hex("添加的题目"));
  EXPECT_EQ(Field(summary, "subject_hex"), "ccedbcd3b5c4cce2c4bf");
  EXPECT_EQ(Field(summary, "subject_charset"), "gb2312");
  EXPECT_EQ(Field(summary, "content_charset"), "gbk");
  EXPECT_EQ(Field(summary, "transfer_encoding"), "base64");
  EXPECT_EQ(Field(summary, "body_hex"), Hex(question));
}

TEST_F(Interop, PlainLoginAsciiBodyAndFoldedSubject) {
  Start({"--exclude-auth", "LOGIN"});
  const std::string subject = "一道很长的题目：从长安城到洛阳城要经过哪几个驿站才能到达？";
  ASSERT_GE(subject.size(), 46u);
  ASSERT_TRUE(Connect()) << conn_.last_error;
  EXPECT_EQ(kv::SendMail(conn_, subject, "  only spaces and ascii  ", kBox, "", "", kBox).error(), "");
  // A second message on the same connection.
  EXPECT_EQ(kv::SendMail(conn_, "second", "2", kBox, "", "", kBox).error(), "");
  kv::DisconnectMailServer(conn_);

  const auto mails = server_->Mails();
  ASSERT_EQ(mails.size(), 2u) << server_->Log();
  const std::string summary = server_->Summary(mails[0]);
  EXPECT_EQ(Field(summary, "login"), kLogin);
  EXPECT_EQ(Field(summary, "subject_hex"), Hex(subject));
  EXPECT_EQ(Field(summary, "subject_charset"), "gb2312");
  EXPECT_EQ(Field(summary, "content_charset"), "us-ascii");
  EXPECT_EQ(Field(summary, "body_hex"), Hex("  only spaces and ascii  "));
  EXPECT_NE(server_->Raw(mails[0]).find("?=\r\n =?gb2312?B?"), std::string::npos);  // folded
  EXPECT_EQ(Field(server_->Summary(mails[1]), "body_hex"), Hex("2"));
}

TEST_F(Interop, WrongPasswordIsRefused) {
  Start();
  EXPECT_FALSE(Connect("mintcloudsR8"));
  EXPECT_EQ(conn_.last_error, "登录指定SMTP邮件服务器“127.0.0.1”失败!");
  EXPECT_FALSE(conn_.connected);
  // Without a login the server takes no mail.
  ASSERT_TRUE(kv::ConnectMailServer(conn_, "127.0.0.1", server_->port()));
  const kv::Text result = kv::SendMail(conn_, "s", "b", kBox, "", "", kBox).error();
  EXPECT_TRUE(result.starts_with("5.7.0")) << result;
  kv::DisconnectMailServer(conn_);
  EXPECT_TRUE(server_->Mails().empty());
}

}  // namespace
