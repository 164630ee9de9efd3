// The message side of the mail layer on arbitrary bytes. The input is cut at
// 0x00 bytes into an address list, a display name, a subject and a body.
// Checked: parsed addresses are trimmed and non-empty; an encoded header text
// is made of well-formed "=?gb2312?B?...?=" or "=?GBK?B?...?=" words of at most
// 75 characters that decode back to the text and never divide a double-byte
// character, labelled gb2312 only when every character can be GB2312's and
// always when every character is ASCII or a GB2312 hanzi (a walk of its own);
// the body's charset follows the same rule; the hidden BCC address never
// shows in the header; a header built from inputs without line ends is all CR
// LF lines, closed by an empty one.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mail_message.hpp"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool HasHighByte(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return true;
  return false;
}

bool HasLineEnd(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Decodes well-formed base64 (no line breaks); aborts on anything else.
std::string DecodeBase64(std::string_view s) {
  Check(s.size() % 4 == 0);
  std::string out;
  for (std::size_t i = 0; i < s.size(); i += 4) {
    const bool last = i + 4 == s.size();
    int v[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = s[i + k];
      if (c == '=') {
        Check(last && k >= 2);
        v[k] = 0;
        ++pad;
      } else {
        Check(pad == 0);
        v[k] = Base64Value(c);
        Check(v[k] >= 0);
      }
    }
    const unsigned bits = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
    out += static_cast<char>(bits >> 16);
    if (pad < 2) out += static_cast<char>((bits >> 8) & 0xFF);
    if (pad < 1) out += static_cast<char>(bits & 0xFF);
  }
  return out;
}

// What a plain walk over the characters says about GB2312: `maybe` is false
// once a character cannot be one of its (lead outside 0xA1..0xF7, trail
// outside 0xA1..0xFE, a lone lead byte); `surely` holds while every character
// is ASCII or in the hanzi rows, where every position is assigned (0xB0A1 to
// 0xD7F9, 0xD8A1 to 0xF7FE).
struct Gb2312Walk {
  bool maybe = true, surely = true;
};

Gb2312Walk WalkGb2312(std::string_view text) {
  Gb2312Walk w;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) continue;
    if (i + 1 == text.size()) return {false, false};
    const auto trail = static_cast<unsigned char>(text[++i]);
    if (lead < 0xA1 || lead > 0xF7 || trail < 0xA1 || trail == 0xFF) return {false, false};
    if (lead < 0xB0 || (lead == 0xD7 && trail > 0xF9)) w.surely = false;
  }
  return w;
}

// The label a non-ASCII text may carry: one that the walk allows.
void CheckLabel(std::string_view text, std::string_view label) {
  const Gb2312Walk w = WalkGb2312(text);
  Check(label == "gb2312" || label == "GBK");
  if (label == "gb2312") Check(w.maybe);
  if (label == "GBK") Check(!w.surely);
}

void CheckEncodedWords(std::string_view text) {
  const kv::Text encoded = kv::EncodeHeaderWord(text);
  if (!HasHighByte(text)) {
    Check(encoded == text);
    return;
  }
  const std::string_view label = encoded.starts_with("=?GBK?") ? "GBK" : "gb2312";
  CheckLabel(text, label);
  const std::string open = "=?" + std::string(label) + "?B?";
  const std::string_view kOpen = open;
  static constexpr std::string_view kFold = "\r\n ";
  std::string decoded;
  std::string_view rest = encoded;
  bool first = true;
  while (!rest.empty()) {
    if (!first) {
      Check(rest.substr(0, kFold.size()) == kFold);
      rest.remove_prefix(kFold.size());
    }
    first = false;
    Check(rest.substr(0, kOpen.size()) == kOpen);
    rest.remove_prefix(kOpen.size());
    const std::size_t close = rest.find("?=");
    Check(close != std::string_view::npos);
    Check(kOpen.size() + close + 2 <= 75);
    // The word boundary lies on a character boundary of the original text.
    Check(kv::IsWalkPosition(text, 0, decoded.size()));
    decoded += DecodeBase64(rest.substr(0, close));
    rest.remove_prefix(close + 2);
  }
  Check(decoded == text);
}

void CheckBase64(std::string_view bytes) {
  const kv::Text plain = kv::EncodeBase64(bytes, false);
  Check(DecodeBase64(plain) == bytes);
  const kv::Text broken = kv::EncodeBase64(bytes, true);
  // Lines of at most 76 characters, each ending in CR LF; joined they are the
  // unbroken text.
  std::string joined;
  std::size_t pos = 0;
  while (pos < broken.size()) {
    const std::size_t end = broken.find("\r\n", pos);
    Check(end != kv::Text::npos && end - pos <= 76);
    joined.append(broken, pos, end - pos);
    pos = end + 2;
  }
  Check(joined == plain);
}

constexpr std::string_view kHidden = "hidden-bcc@example.com";

void CheckHeader(const kv::MailMessage& m, bool clean) {
  kv::HeaderTime time;
  time.local.tm_year = 126;
  time.local.tm_mday = 7;
  time.utc_offset_minutes = 480;
  const kv::Text header = kv::BuildHeader(m, time);
  Check(header.size() >= 4 && header.compare(header.size() - 4, 4, "\r\n\r\n") == 0);
  // No input holds the hidden address, so nothing but a leak can write it.
  Check(header.find(kHidden) == kv::Text::npos);
  // The body's label, from the Content-type line: the last one, since every
  // value of the message stands before it.
  static constexpr std::string_view kType = "\r\nContent-type: text/plain; charset=\"";
  const std::size_t type = header.rfind(kType);
  Check(type != kv::Text::npos);
  const std::size_t from = type + kType.size();
  const std::string_view charset(header.data() + from, header.find('"', from) - from);
  if (!HasHighByte(m.body))
    Check(charset == "us-ascii");
  else
    CheckLabel(m.body, charset);
  if (!clean) return;
  Check(header.find("\r\nBcc:") == kv::Text::npos && !header.starts_with("Bcc:"));
  // Every CR is followed by LF and every LF follows a CR; the one empty line
  // is the last one; every other line is a field or a folded continuation.
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i] == '\r') Check(i + 1 < header.size() && header[i + 1] == '\n');
    if (header[i] == '\n') Check(i > 0 && header[i - 1] == '\r');
  }
  Check(header.find("\r\n\r\n") == header.size() - 4);
  std::size_t pos = 0;
  while (pos < header.size() - 2) {
    const std::size_t end = header.find("\r\n", pos);
    const std::string_view line(header.data() + pos, end - pos);
    Check(line[0] == ' ' || line.find(": ") != std::string_view::npos);
    pos = end + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string_view> parts;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  while (parts.size() < 3) {
    const std::size_t nul = all.find('\0', start);
    if (nul == std::string_view::npos) break;
    parts.push_back(all.substr(start, nul - start));
    start = nul + 1;
  }
  parts.push_back(all.substr(std::min(start, all.size())));
  parts.resize(4);
  const std::string_view list = parts[0], name = parts[1], subject = parts[2], body = parts[3];

  const std::optional<kv::MailAddressList> addresses = kv::ParseAddressList(list);
  if (addresses) {
    for (const kv::MailAddress& a : *addresses) {
      Check(!a.address.empty());
      Check(!IsWhiteSpace(a.address.front()) && !IsWhiteSpace(a.address.back()));
      if (!a.name.empty()) Check(!IsWhiteSpace(a.name.front()) && !IsWhiteSpace(a.name.back()));
      Check(a.address.find_first_of(",;") == kv::Text::npos);
    }
  }
  const std::optional<kv::MailAddress> single = kv::ParseAddress(list);
  if (list.find('<') == std::string_view::npos) Check(single.has_value() && single->name.empty());
  if (single && list.find('<') != std::string_view::npos) Check(single->address.find('>') == kv::Text::npos);

  CheckEncodedWords(name);
  CheckEncodedWords(subject);
  CheckBase64(body);

  kv::MailMessage m;
  m.sender = {kv::Text(name), "sender@example.com"};
  m.subject = kv::Text(subject);
  m.body = kv::Text(body);
  if (addresses) {
    m.to = *addresses;
    if (!addresses->empty()) {
      m.cc.assign(addresses->begin() + 1, addresses->end());
      m.reply_to = addresses->front();
    }
  }
  m.bcc.push_back({"Hidden", kv::Text(kHidden)});
  if (all.find(kHidden) != std::string_view::npos) return 0;
  const bool clean = !HasLineEnd(list) && !HasLineEnd(name) && !HasLineEnd(subject);
  CheckHeader(m, clean);
  return 0;
}
