#include "mail_message.hpp"

#include <cstdio>
#include <cstdlib>

#include "mail_charset.hpp"

namespace kv {

namespace {

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsWhiteSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsWhiteSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool HasHighByte(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return true;
  return false;
}

Text FormatAddress(const MailAddress& a) {
  if (a.name.empty()) return a.address;
  return EncodeHeaderWord(a.name) + " <" + a.address + ">";
}

Text FormatAddressList(const MailAddressList& list) {
  Text out;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i) out += ',';
    out += FormatAddress(list[i]);
  }
  return out;
}

std::size_t Base64Length(std::size_t n) { return (n + 2) / 3 * 4; }

// An encoded word is "=?" charset "?B?" text "?=", at most 75 characters, so
// it carries at most 68 minus the charset's length of base64.
void AppendEncodedWords(std::string_view piece, std::string_view charset, Text& out) {
  if (Base64Length(piece.size()) > 68 - charset.size() && piece.size() > 1) {
    std::size_t half = piece.size() / 2;
    // The halves must not divide a double-byte character: the first half then
    // takes the whole character.
    if (!IsWalkPosition(piece, 0, half)) ++half;
    AppendEncodedWords(piece.substr(0, half), charset, out);
    AppendEncodedWords(piece.substr(half), charset, out);
    return;
  }
  if (!out.empty()) out += "\r\n ";
  out += "=?";
  out += charset;
  out += "?B?";
  out += EncodeBase64(piece, false);
  out += "?=";
}

}  // namespace

std::optional<MailAddress> ParseAddress(std::string_view text) {
  const std::size_t open = text.find('<');
  if (open == std::string_view::npos) return MailAddress{Text(), Text(Trim(text))};
  const std::size_t close = text.find('>');
  if (close == std::string_view::npos || close < open) return std::nullopt;
  return MailAddress{Text(Trim(text.substr(0, open))), Text(Trim(text.substr(open + 1, close - open - 1)))};
}

std::optional<MailAddressList> ParseAddressList(std::string_view text) {
  MailAddressList list;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(",;", start);
    if (end == std::string_view::npos) end = text.size();
    auto address = ParseAddress(text.substr(start, end - start));
    if (!address) return std::nullopt;
    if (!address->address.empty()) list.push_back(std::move(*address));
    start = end + 1;
  }
  return list;
}

Text FormatHeaderDate(const HeaderTime& time) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::tm& tm = time.local;
  const int offset = std::abs(time.utc_offset_minutes);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d", kDays[((tm.tm_wday % 7) + 7) % 7],
                tm.tm_mday, kMonths[((tm.tm_mon % 12) + 12) % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min,
                tm.tm_sec, time.utc_offset_minutes >= 0 ? '+' : '-', offset / 60, offset % 60);
  return buf;
}

std::string_view BodyCharset(std::string_view body) { return HasHighByte(body) ? ChineseCharset(body) : "us-ascii"; }

Text BuildHeader(const MailMessage& m, const HeaderTime& time) {
  Text h;
  h += "From: " + FormatAddress(m.sender) + "\r\n";
  h += "To: " + FormatAddressList(m.to) + "\r\n";
  if (!m.cc.empty()) h += "Cc: " + FormatAddressList(m.cc) + "\r\n";
  h += "Subject: " + EncodeHeaderWord(m.subject) + "\r\n";
  h += "Date: " + FormatHeaderDate(time) + "\r\n";
  if (!m.reply_to.address.empty()) h += "Reply-To: " + FormatAddress(m.reply_to) + "\r\n";
  h += "MIME-Version: 1.0\r\n";
  h += "Content-type: text/plain; charset=\"";
  h += BodyCharset(m.body);
  h += "\"\r\n";
  h += "Content-Transfer-Encoding: base64\r\n";
  h += "\r\n";
  return h;
}

Text BuildHeader(const MailMessage& message) { return BuildHeader(message, LocalHeaderTime()); }

Text EncodeHeaderWord(std::string_view text) {
  if (!HasHighByte(text)) return Text(text);
  Text out;
  AppendEncodedWords(text, ChineseCharset(text), out);
  return out;
}

Text EncodeBase64(std::string_view bytes, bool line_breaking) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  Text out;
  const std::size_t encoded = Base64Length(bytes.size());
  out.reserve(encoded + (line_breaking ? 2 * (encoded / 76 + 1) : 0));
  std::size_t column = 0;
  auto put = [&](char c) {
    out += c;
    if (line_breaking && ++column == 76) {
      out += "\r\n";
      column = 0;
    }
  };
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    put(kAlphabet[v >> 18]);
    put(kAlphabet[(v >> 12) & 63]);
    put(kAlphabet[(v >> 6) & 63]);
    put(kAlphabet[v & 63]);
  }
  if (const std::size_t rest = bytes.size() - i) {
    const unsigned v = (p[i] << 16) | (rest == 2 ? p[i + 1] << 8 : 0);
    put(kAlphabet[v >> 18]);
    put(kAlphabet[(v >> 12) & 63]);
    put(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
    put('=');
  }
  if (line_breaking) out += "\r\n";
  return out;
}

}  // namespace kv
