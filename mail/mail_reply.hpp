// Recognising and splitting SMTP server replies, without any socket, so that
// the rules can be driven directly by tests and by the fuzz target.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "text.hpp"

namespace kv {

// The completeness test. The candidate line ends at the last CR of the text
// (at the end of the text when it holds no CR) and begins right after the
// last LF before that point. The reply is complete when the candidate line's
// fourth character lies inside the text and is a space, or when the line is
// three digits alone followed by CR LF ("250\r\n"); the result is then the
// number its first three characters form (their leading decimal digits, 0
// when there are none). A multi-line reply ("250-...") is thus complete only
// once its last line ("250 ..." or "250") has arrived; a bare-LF reply never is.
std::optional<int> CompleteReplyCode(std::string_view text);

// Splits a complete reply into lines at CR (an LF right after a CR is
// skipped). Of every line longer than four characters, the text after the
// first four, stripped of blanks (bytes 32 and below) at both ends, is cut at
// its first space: the part before it (trailing blanks removed) is appended to
// `keywords` and the part after it (leading blanks skipped) to `values`. A text
// without a space is a keyword with an empty value.
void SplitReplyLines(std::string_view reply, std::vector<Text>& keywords, std::vector<Text>& values);

// The received bytes of one reply wait, of bounded size. A reply is a few
// hundred bytes; a peer that sends more than kKeepBytes in one reply is not
// speaking SMTP, so only the first kKeepBytes are kept and the rest is
// counted and dropped. Such a reply never tests complete (its last line was
// not kept), so its wait ends as soon as it passes the cap, reporting the
// kept text.
// NUL bytes are not text and are dropped on arrival.
class ReplyBuffer {
 public:
  static constexpr std::size_t kKeepBytes = 8192;

  void Clear();
  void Append(std::string_view chunk);
  // CompleteReplyCode of the kept text; nothing once bytes were dropped.
  std::optional<int> Code() const;

  std::string_view text() const { return kept_; }
  bool overflowed() const { return dropped_ != 0; }
  std::size_t dropped() const { return dropped_; }

 private:
  Text kept_;
  std::size_t dropped_ = 0;
};

}  // namespace kv
