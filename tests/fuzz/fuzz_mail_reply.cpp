// The SMTP reply reader without a socket: arbitrary bytes arrive in chunks
// (the first byte of the input sets the chunk length) into a ReplyBuffer, as
// the reply wait receives them; the completeness test and the line splitting
// then run on the kept text and on the raw bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mail_reply.hpp"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

void CheckCode(std::string_view text) {
  const std::optional<int> code = kv::CompleteReplyCode(text);
  if (!code) return;
  Check(*code >= 0 && *code <= 999);

  std::vector<kv::Text> keywords, values;
  kv::SplitReplyLines(text, keywords, values);
  Check(keywords.size() == values.size());
  std::size_t lines = 1;
  for (char c : text) lines += c == '\r';
  Check(keywords.size() <= lines);
  for (std::size_t i = 0; i < keywords.size(); ++i) {
    const kv::Text& k = keywords[i];
    const kv::Text& v = values[i];
    // Neither part reaches across a line end, and the trimming held.
    Check(k.find('\r') == kv::Text::npos && v.find('\r') == kv::Text::npos);
    Check(k.find(' ') == kv::Text::npos);
    if (!k.empty()) Check(!IsBlank(k.front()) && !IsBlank(k.back()));
    if (!v.empty()) Check(!IsBlank(v.front()) && !IsBlank(v.back()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t chunk = 1 + data[0] % 64;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  // With the high bit of the first byte, a flood of filler bytes arrives in
  // one piece between two copies of the input, sized so that the cap falls in
  // the middle of the second copy.
  const bool flood = (data[0] & 0x80) != 0;
  std::string arrived;
  kv::ReplyBuffer buffer;
  auto feed = [&](std::string_view text, std::size_t step) {
    for (std::size_t p = 0; p < text.size(); p += step) {
      const std::string_view piece = text.substr(p, step);
      buffer.Append(piece);
      for (char c : piece)
        if (c != '\0') arrived += c;
      Check(buffer.text().size() <= kv::ReplyBuffer::kKeepBytes);
      Check(buffer.text().size() + buffer.dropped() == arrived.size());
      Check(buffer.overflowed() == (arrived.size() > kv::ReplyBuffer::kKeepBytes));
    }
    if (buffer.overflowed())
      Check(!buffer.Code());
    else
      Check(buffer.Code() == kv::CompleteReplyCode(buffer.text()));
  };
  feed(bytes, chunk);
  if (flood) {
    std::size_t text_bytes = 0;
    for (char c : bytes) text_bytes += c != '\0';
    const std::size_t room = kv::ReplyBuffer::kKeepBytes - std::min(kv::ReplyBuffer::kKeepBytes, text_bytes * 3 / 2);
    const std::string filler(room, bytes.empty() ? 'z' : bytes.back());
    feed(filler, filler.size());
    feed(bytes, chunk);
  }
  // The kept text is the first bytes that arrived, NUL bytes left out.
  Check(buffer.text().find('\0') == std::string_view::npos);
  Check(arrived.compare(0, buffer.text().size(), buffer.text()) == 0);
  CheckCode(buffer.text());
  CheckCode(bytes);
  buffer.Clear();
  Check(buffer.text().empty() && !buffer.overflowed());
  return 0;
}
