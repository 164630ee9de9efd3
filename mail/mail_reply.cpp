#include "mail_reply.hpp"

#include <algorithm>

namespace kv {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::optional<int> CompleteReplyCode(std::string_view text) {
  std::size_t end = text.rfind('\r');
  if (end == std::string_view::npos) end = text.size();
  std::size_t start = 0;
  if (end > 0) {
    const std::size_t lf = text.rfind('\n', end - 1);
    if (lf != std::string_view::npos) start = lf + 1;
  }
  if (start + 3 >= text.size()) return std::nullopt;
  const auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
  const bool bare_code = text[start + 3] == '\r' && start + 4 < text.size() && text[start + 4] == '\n' &&
                         digit(start) && digit(start + 1) && digit(start + 2);
  if (text[start + 3] != ' ' && !bare_code) return std::nullopt;
  int code = 0;
  for (std::size_t i = start; i < start + 3 && text[i] >= '0' && text[i] <= '9'; ++i) code = code * 10 + (text[i] - '0');
  return code;
}

void SplitReplyLines(std::string_view reply, std::vector<Text>& keywords, std::vector<Text>& values) {
  std::size_t pos = 0;
  while (pos < reply.size()) {
    std::size_t cr = reply.find('\r', pos);
    if (cr == std::string_view::npos) cr = reply.size();
    std::string_view line = reply.substr(pos, cr - pos);
    pos = cr + 1;
    if (pos < reply.size() && reply[pos] == '\n') ++pos;
    if (line.size() <= 4) continue;
    std::string_view rest = line.substr(4);
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
    const std::size_t space = rest.find(' ');
    if (space == std::string_view::npos) {
      keywords.emplace_back(rest);
      values.emplace_back();
      continue;
    }
    std::string_view keyword = rest.substr(0, space);
    std::string_view value = rest.substr(space + 1);
    while (!keyword.empty() && IsBlank(keyword.back())) keyword.remove_suffix(1);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    keywords.emplace_back(keyword);
    values.emplace_back(value);
  }
}

void ReplyBuffer::Clear() {
  kept_.clear();
  dropped_ = 0;
}

void ReplyBuffer::Append(std::string_view chunk) {
  while (!chunk.empty()) {
    const std::size_t nul = chunk.find('\0');
    const std::string_view run = chunk.substr(0, nul);
    const std::size_t take = std::min(run.size(), kKeepBytes - kept_.size());
    kept_.append(run.substr(0, take));
    dropped_ += run.size() - take;
    chunk.remove_prefix(nul == std::string_view::npos ? chunk.size() : nul + 1);
  }
}

std::optional<int> ReplyBuffer::Code() const {
  if (overflowed()) return std::nullopt;
  return CompleteReplyCode(kept_);
}

}  // namespace kv
