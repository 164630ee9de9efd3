#include <gtest/gtest.h>

#include "gbk_bytes.hpp"
#include "mail_reply.hpp"

namespace {

TEST(CompleteReplyCode, LastLineWithSpaceAfterCode) {
  const std::pair<std::string, std::optional<int>> cases[] = {
      {"250 OK\r\n", 250},
      {"250-peer\r\n250-AUTH LOGIN\r\n250 HELP\r\n", 250},
      {"250-peer\r\n250-AUTH LOGIN\r\n", std::nullopt},  // the last line has not arrived
      {"250-peer\r\n250 HE", std::nullopt},              // the last CR ends "250-peer"
      {"220 ", 220},                                     // no CR: the text's end counts
      {"250 OK\n", std::nullopt},                        // bare LF never completes
      {"250\r\n", 250},                                  // a last line that is the code alone
      {"250-peer\r\n250\r\n", 250},
      {"250\r", std::nullopt},                           // its LF has not arrived
      {"250-peer\r\n250", std::nullopt},
      {"2x0\r\n", std::nullopt},                         // the bare form needs three digits
      {"25\r\n", std::nullopt},
      {"", std::nullopt},
      {"25", std::nullopt},
      {"250 a\r\n251-b\r", std::nullopt},  // the candidate is the last CR's line
      {"abc x\r\n", 0},                    // no digits: code 0
      {"421 Bye\r\n\r\n", std::nullopt},   // an empty last line
      {"x\r\n354 go\r\n", 354},
  };
  for (const auto& [text, code] : cases) EXPECT_EQ(kv::CompleteReplyCode(text), code) << text;
}

TEST(SplitReplyLines, KeywordsAndValues) {
  std::vector<kv::Text> keys{"stale"}, values{"stale"};
  kv::SplitReplyLines(
      "250-mail.test Hello there\r\n250-AUTH  LOGIN PLAIN \r\n250-AUTH=LOGIN\r\n250\r\n250 \r\n"
      "250-a\nb c\r250 HELP",
      keys, values);
  EXPECT_EQ(keys, (std::vector<kv::Text>{"stale", "mail.test", "AUTH", "AUTH=LOGIN", "a\nb", "HELP"}));
  EXPECT_EQ(values, (std::vector<kv::Text>{"stale", "Hello there", "LOGIN PLAIN", "", "c", ""}));
}

TEST(ReplyBuffer, KeepsBoundedTextAndDropsNul) {
  kv::ReplyBuffer b;
  b.Append(kv::test::Bytes("22\0" "0 hi\r\n"));
  EXPECT_EQ(b.text(), "220 hi\r\n");
  EXPECT_EQ(b.Code(), 220);

  // A 10 MB reply without a line end keeps only its first kKeepBytes.
  b.Clear();
  const std::string chunk(65536, 'x');
  for (int i = 0; i < 160; ++i) b.Append(chunk);
  b.Append("\r\n250 late\r\n");
  EXPECT_EQ(b.text().size(), kv::ReplyBuffer::kKeepBytes);
  EXPECT_TRUE(b.overflowed());
  EXPECT_EQ(b.dropped(), 160u * 65536 + 12 - kv::ReplyBuffer::kKeepBytes);
  EXPECT_FALSE(b.Code());  // its end was not kept, so it never completes

  b.Clear();
  EXPECT_FALSE(b.overflowed());
  b.Append("250 ok\r\n");
  EXPECT_EQ(b.Code(), 250);
}

}  // namespace
