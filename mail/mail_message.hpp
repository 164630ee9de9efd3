// The message side of the mail layer: address texts, the header, base64 and
// RFC 2047 encoded words. Everything here is a pure function of its inputs
// (the Date line takes its time as an argument, HeaderTime of local_time.hpp),
// so nothing in this header touches a socket or the system clock except the
// BuildHeader that reads the local time itself.
//
// All texts are GBK byte strings. A byte of 0x80 or above marks a text as
// non-ASCII; a non-ASCII text is labelled "gb2312" when GB2312 holds every
// one of its characters and "GBK" otherwise (mail_charset.hpp).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "local_time.hpp"
#include "text.hpp"

namespace kv {

struct MailAddress {
  Text name;     // display name, may be empty
  Text address;  // the address itself, without angle brackets

  bool operator==(const MailAddress&) const = default;
};

using MailAddressList = std::vector<MailAddress>;

// One message while SendMail runs.
struct MailMessage {
  MailAddress sender;
  Text subject;
  Text body;
  MailAddress reply_to;
  MailAddressList to, cc, bcc;
};

// Cuts `text` at every "," and ";" (purely textually) and parses each piece
// with ParseAddress. Pieces whose address comes out empty are skipped, so ""
// and ";;" give an empty list. Nothing when a piece is malformed.
std::optional<MailAddressList> ParseAddressList(std::string_view text);

// "addr" or "name <addr>" (anything after the first ">" is dropped). Both
// parts are trimmed of white space. Nothing when the text has a "<" but no
// ">" after it, or when its first ">" stands before its first "<".
std::optional<MailAddress> ParseAddress(std::string_view text);

// "Mon, 07 Dec 2026 14:30:00 +0800": English day and month names whatever
// the locale, two-digit day, four-digit year, then the zone.
Text FormatHeaderDate(const HeaderTime& time);

// The whole header, each line ending in CR LF, closed by an empty line:
// From, To, Cc (only with CC addresses), Subject, Date, Reply-To (only with a
// reply-to address), MIME-Version, Content-type with the body's charset
// (BodyCharset), and Content-Transfer-Encoding: base64. BCC addresses never
// appear. The values are written as they are: SendMail refuses line breaks
// in them before it builds a header.
Text BuildHeader(const MailMessage& message, const HeaderTime& time);
Text BuildHeader(const MailMessage& message);

// "us-ascii" for a body without a byte of 0x80 or above; otherwise "gb2312"
// or "GBK" by the rule above.
std::string_view BodyCharset(std::string_view body);

// A header text that is pure ASCII comes back unchanged. Otherwise it becomes
// "=?gb2312?B?...?=" encoded words ("=?GBK?B?...?=" for a text GB2312 does not
// hold whole) of at most 75 characters each, so 62 (65) base64 characters; a
// longer piece is halved (never inside a double-byte character) until every
// part fits, and every word after the first is preceded by CR LF and a space.
Text EncodeHeaderWord(std::string_view text);

// Standard base64 with "=" padding. With line breaking, CR LF follows every 76
// output characters and also ends the output, so an exact multiple of 76 ends
// in two CR LF pairs and an empty input gives CR LF alone.
Text EncodeBase64(std::string_view bytes, bool line_breaking);

}  // namespace kv
