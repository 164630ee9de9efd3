#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "gbk_bytes.hpp"
#include "local_time.hpp"
#include "mail_message.hpp"
#include "test_platform.hpp"

namespace {

using kv::MailAddress;
using kv::MailAddressList;

std::string DecodeBase64(std::string_view s) {
  static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0, value = 0;
  for (char c : s) {
    const auto i = kAlphabet.find(c);
    if (i == std::string::npos) continue;  // padding
    value = (value << 6) | static_cast<unsigned>(i);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((value >> bits) & 0xff);
    }
  }
  return out;
}

TEST(ParseAddress, BareAddressAndDisplayName) {
  EXPECT_EQ(kv::ParseAddress("  a@example.test \t"), (MailAddress{"", "a@example.test"}));
  EXPECT_EQ(kv::ParseAddress(" 王五  < wang@example.test >"), (MailAddress{"王五", "wang@example.test"}));
  // Text after the ">" is dropped; only the first ">" counts.
  EXPECT_EQ(kv::ParseAddress("Ann <ann@x.test> (home) <other@x.test>"), (MailAddress{"Ann", "ann@x.test"}));
  EXPECT_EQ(kv::ParseAddress("<>"), (MailAddress{"", ""}));
  // No check of the address's characters: anything without "<" is taken whole.
  EXPECT_EQ(kv::ParseAddress("not an address"), (MailAddress{"", "not an address"}));
}

TEST(ParseAddress, MalformedAngleBrackets) {
  EXPECT_FALSE(kv::ParseAddress("Ann <ann@x.test"));
  EXPECT_FALSE(kv::ParseAddress("Ann > <ann@x.test>"));
  EXPECT_FALSE(kv::ParseAddress("a>b<c"));
}

TEST(ParseAddressList, SeparatorsAndEmptyPieces) {
  EXPECT_EQ(kv::ParseAddressList("a@x.test; ;b@y.test,"),
            (MailAddressList{{"", "a@x.test"}, {"", "b@y.test"}}));
  EXPECT_EQ(kv::ParseAddressList(";;"), MailAddressList{});
  EXPECT_EQ(kv::ParseAddressList(""), MailAddressList{});
  EXPECT_EQ(kv::ParseAddressList(" <> , x@y.test"), (MailAddressList{{"", "x@y.test"}}));
  // The cut is textual: a comma in a display name cuts the name too.
  EXPECT_EQ(kv::ParseAddressList("Doe, Ann <ann@x.test>"), (MailAddressList{{"", "Doe"}, {"Ann", "ann@x.test"}}));
  // One malformed piece makes the whole list malformed; so does a separator
  // inside angle brackets, which leaves a "<" without its ">".
  EXPECT_FALSE(kv::ParseAddressList("a@x.test;Bob <bob@x.test"));
  EXPECT_FALSE(kv::ParseAddressList("Ann <a;b@x.test>"));
}

TEST(EncodeBase64, StandardVectorsWithoutLineBreaking) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},     {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xff\xfe\xfd\x80", "//79gA=="},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(kv::EncodeBase64(in, false), out) << in;
  EXPECT_EQ(kv::EncodeBase64(kv::test::Bytes("\0" "135790\0mintcloudsR7"), false), "ADEzNTc5MABtaW50Y2xvdWRzUjc=");
}

TEST(EncodeBase64, LineBreakingAfter76AndAtTheEnd) {
  EXPECT_EQ(kv::EncodeBase64("", true), "\r\n");
  EXPECT_EQ(kv::EncodeBase64("abc", true), "YWJj\r\n");
  // 57 bytes encode to exactly 76 characters: two CR LF pairs at the end.
  const std::string exact = kv::EncodeBase64(std::string(57, 'a'), true);
  EXPECT_EQ(exact.size(), 76u + 4u);
  EXPECT_TRUE(exact.ends_with("\r\n\r\n"));
  EXPECT_EQ(exact.find('\r'), 76u);
  // 200 bytes encode to 268 characters: three full lines and one of 40.
  const std::string longer = kv::EncodeBase64(std::string(200, '\x9c'), true);
  std::vector<std::size_t> lengths;
  for (std::size_t pos = 0, cr; (cr = longer.find("\r\n", pos)) != std::string::npos; pos = cr + 2)
    lengths.push_back(cr - pos);
  EXPECT_EQ(lengths, (std::vector<std::size_t>{76, 76, 76, 40}));
  EXPECT_EQ(DecodeBase64(longer), std::string(200, '\x9c'));
  EXPECT_EQ(kv::EncodeBase64(std::string(54, 'p'), true).size(), 72u + 2u);
}

// Splits folded encoded words and checks their form.
std::vector<std::string> EncodedWords(const std::string& header) {
  std::vector<std::string> words;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t fold = header.find("\r\n ", pos);
    words.push_back(header.substr(pos, fold == std::string::npos ? std::string::npos : fold - pos));
    if (fold == std::string::npos) return words;
    pos = fold + 3;
  }
}

std::string DecodeWord(const std::string& word, const std::string& charset) {
  const std::string open = "=?" + charset + "?B?";
  EXPECT_TRUE(word.starts_with(open) && word.ends_with("?=")) << word;
  EXPECT_LE(word.size(), 75u) << word;
  return DecodeBase64(word.substr(open.size(), word.size() - open.size() - 2));
}

TEST(EncodeHeaderWord, AsciiUnchangedChineseOneWord) {
  EXPECT_EQ(kv::EncodeHeaderWord("Hello, world"), "Hello, world");
  EXPECT_EQ(kv::EncodeHeaderWord(""), "");
  EXPECT_EQ(kv::EncodeHeaderWord("添加的题目"), "=?gb2312?B?zO2807XEzOLEvw==?=");
  // 45 bytes still fit one word of 60 base64 characters.
  const std::string fits = std::string(1, 'a') + std::string("问问问问问问问问问问问问问问问问问问问问问问");
  ASSERT_EQ(fits.size(), 45u);
  EXPECT_EQ(EncodedWords(kv::EncodeHeaderWord(fits)).size(), 1u);
}

TEST(EncodeHeaderWord, FoldsFrom46BytesWithoutSplittingACharacter) {
  // 23 double-byte characters: the middle (23) falls inside the 12th, which
  // goes whole to one side.
  const std::string chars = "问问问问问问问问问问问问问问问问问问问问问问问";
  ASSERT_EQ(chars.size(), 46u);
  const std::string folded = kv::EncodeHeaderWord(chars);
  EXPECT_EQ(folded, "=?gb2312?B?zsrOys7KzsrOys7KzsrOys7KzsrOys7K?=\r\n =?gb2312?B?zsrOys7KzsrOys7KzsrOys7KzsrOyg==?=");

  // Trail bytes in the ASCII range (0x40..0x7E), so characters GB2312 lacks,
  // and a long mixed text that needs several rounds of halving.
  std::string mixed;
  for (int i = 0; i < 60; ++i) mixed += i % 3 ? std::string("\x81\x40") : std::string("x\x95\x7c");
  const auto words = EncodedWords(kv::EncodeHeaderWord(mixed));
  EXPECT_GT(words.size(), 2u);
  std::string joined;
  for (const auto& w : words) {
    const std::string piece = DecodeWord(w, "GBK");
    // Every piece ends on a character boundary of the whole text.
    joined += piece;
    EXPECT_TRUE(kv::IsWalkPosition(mixed, 0, joined.size())) << joined.size();
  }
  EXPECT_EQ(joined, mixed);
}

TEST(Charset, Gb2312WhenItHoldsEveryCharacterGbkOtherwise) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "us-ascii"},
      {"abc |~", "us-ascii"},
      {"添加的题目", "gb2312"},
      {"王者之剑的主人是谁？", "gb2312"},
      {"我們", "GBK"},  // 們 (0x82 0x83) is not in GB2312
      {"問題", "GBK"},
      {"\xa1\xa1\xa9\xef\xb0\xa1\xd7\xf9\xd8\xa1\xf7\xfe", "gb2312"},  // edges of the assigned rows
      {"\xa2\xa1", "GBK"},  // small roman one: GBK only
      {"\xa9\xf0", "GBK"},  // past the box drawings of row 9
      {"\xaa\xa1", "GBK"},  // rows 10 to 15 are empty
      {"\xd7\xfa", "GBK"},  // row 55 ends at 0xF9
      {"\xf8\xa1", "GBK"},  // user-defined rows
      {"\xb0\x7c", "GBK"},  // trail below 0xA1
      {"a\x80", "GBK"},      // a lone lead byte at the end
  };
  for (const auto& [text, charset] : cases) {
    EXPECT_EQ(kv::BodyCharset(text), charset) << text;
    const std::string word = kv::EncodeHeaderWord(text);
    if (charset == "us-ascii")
      EXPECT_EQ(word, text);
    else
      EXPECT_TRUE(word.starts_with("=?" + charset + "?B?")) << word;
  }
}

std::tm MakeTime(int year, int mon, int mday, int wday, int h, int m, int s) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = mon - 1;
  tm.tm_mday = mday;
  tm.tm_wday = wday;
  tm.tm_hour = h;
  tm.tm_min = m;
  tm.tm_sec = s;
  return tm;
}

TEST(HeaderDate, ZonesAheadAndBehindUtc) {
  const std::tm t = MakeTime(2026, 12, 7, 1, 14, 30, 0);
  EXPECT_EQ(kv::FormatHeaderDate({t, 480}), "Mon, 07 Dec 2026 14:30:00 +0800");
  EXPECT_EQ(kv::FormatHeaderDate({t, 330}), "Mon, 07 Dec 2026 14:30:00 +0530");
  EXPECT_EQ(kv::FormatHeaderDate({t, -210}), "Mon, 07 Dec 2026 14:30:00 -0330");
  EXPECT_EQ(kv::FormatHeaderDate({t, 0}), "Mon, 07 Dec 2026 14:30:00 +0000");
  EXPECT_EQ(kv::FormatHeaderDate({MakeTime(2009, 1, 3, 6, 9, 5, 7), -45}), "Sat, 03 Jan 2009 09:05:07 -0045");
}

// The zone comes from the system, daylight time included.
#ifdef _WIN32
// The zone comes from the system, not from this process's TZ: CTest runs this
// test once per zone (TZ set for Wine, see CMakeLists.txt), and the system's
// own `date` says what the offset is now, daylight time included.
TEST(HeaderDate, LocalZoneFromTheSystem) {
  const char* tz = std::getenv("TZ");
  if (!tz) GTEST_SKIP() << "run by CTest with TZ set";
  const std::optional<std::string> date = kv::test::RunNative({"/bin/date", "+%z"});
  ASSERT_TRUE(date && date->size() >= 5) << tz;
  const int sign = (*date)[0] == '-' ? -1 : 1;
  const int expected = sign * (std::stoi(date->substr(1, 2)) * 60 + std::stoi(date->substr(3, 2)));
  const kv::HeaderTime now = kv::LocalHeaderTime();
  EXPECT_EQ(now.utc_offset_minutes, expected) << tz;
  // The local time shown is UTC now plus that offset.
  std::tm utc = now.local;
  const std::time_t shown = _mkgmtime(&utc) - now.utc_offset_minutes * 60;
  EXPECT_LT(std::abs(static_cast<long long>(shown - std::time(nullptr))), 3) << tz;
}
#else
TEST(HeaderDate, LocalZoneFromTheSystem) {
  const char* saved = std::getenv("TZ");
  const std::string saved_tz = saved ? saved : "";
  const std::pair<const char*, int> zones[] = {
      {"CST-8", 480}, {"IST-5:30", 330}, {"NST3:30", -210}, {"UTC0", 0},
      // Always in daylight time: UTC-5 standard, UTC-4 in force.
      {"EST5EDT,J1/0,J365/25", -240},
  };
  for (const auto& [tz, offset] : zones) {
    setenv("TZ", tz, 1);
    tzset();
    const kv::HeaderTime now = kv::LocalHeaderTime();
    EXPECT_EQ(now.utc_offset_minutes, offset) << tz;
    const std::string date = kv::FormatHeaderDate(now);
    char sign = offset >= 0 ? '+' : '-';
    char zone[32];
    std::snprintf(zone, sizeof zone, "%c%02d%02d", sign, std::abs(offset) / 60, std::abs(offset) % 60);
    EXPECT_TRUE(date.ends_with(zone)) << date;
  }
  if (saved)
    setenv("TZ", saved_tz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}
#endif

TEST(BuildHeader, LinesInOrderWithEncodedNames) {
  kv::MailMessage m;
  m.sender = {"张三", "zhang@x.test"};
  m.to = {{"", "a@x.test"}, {"Bo", "b@x.test"}};
  m.cc = {{"", "c@x.test"}};
  m.bcc = {{"", "hidden@x.test"}};
  m.reply_to = {"", "r@x.test"};
  m.subject = "添加的题目";
  m.body = "你好";
  const kv::HeaderTime t{MakeTime(2026, 12, 7, 1, 14, 30, 0), 480};
  EXPECT_EQ(kv::BuildHeader(m, t),
            "From: =?gb2312?B?1cXI/Q==?= <zhang@x.test>\r\n"
            "To: a@x.test,Bo <b@x.test>\r\n"
            "Cc: c@x.test\r\n"
            "Subject: =?gb2312?B?zO2807XEzOLEvw==?=\r\n"
            "Date: Mon, 07 Dec 2026 14:30:00 +0800\r\n"
            "Reply-To: r@x.test\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-type: text/plain; charset=\"gb2312\"\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "\r\n");
}

TEST(BuildHeader, OptionalLinesAndAsciiCharset) {
  kv::MailMessage m;
  m.sender = {"", "s@x.test"};
  m.subject = "Hi";
  m.body = "   ";  // spaces are a body like any other
  const kv::HeaderTime t{MakeTime(2026, 12, 7, 1, 14, 30, 0), -210};
  EXPECT_EQ(kv::BuildHeader(m, t),
            "From: s@x.test\r\n"
            "To: \r\n"
            "Subject: Hi\r\n"
            "Date: Mon, 07 Dec 2026 14:30:00 -0330\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-type: text/plain; charset=\"us-ascii\"\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "\r\n");
  m.body = "a\xb0\xa1";
  EXPECT_NE(kv::BuildHeader(m, t).find("charset=\"gb2312\""), std::string::npos);
}

}  // namespace
