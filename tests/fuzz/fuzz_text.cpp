// FindText and SplitText on arbitrary bytes, checked against a plain character
// walk: a match begins only where the walk stands, and the pieces joined with
// the separator give the text back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t klen = data[0] % 5;
  if (size - 1 < klen) return 0;
  const std::string key(reinterpret_cast<const char*>(data + 1), klen);
  const std::string text(reinterpret_cast<const char*>(data + 1 + klen), size - 1 - klen);

  const int found = kv::FindText(text, key);
  int expected = -1;
  if (key.empty()) {
    expected = text.empty() ? -1 : 1;
  } else {
    for (std::size_t p = 0; p + key.size() <= text.size(); p += static_cast<unsigned char>(text[p]) >= 0x80 ? 2 : 1) {
      if (text.compare(p, key.size(), key) == 0) {
        expected = static_cast<int>(p + 1);
        break;
      }
    }
  }
  if (found != expected) std::abort();

  const kv::TextArray pieces = kv::SplitText(text, key);
  if (!key.empty()) {
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i) joined += key;
      joined += pieces[i];
    }
    // A text ending in the separator loses only that last separator.
    if (joined != text && joined + key != text) std::abort();
  }
  (void)kv::CompareText(text, key);
  (void)kv::ToText(kv::ByteBlock(data, size));
  return 0;
}
