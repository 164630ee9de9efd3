// Reads the few DER structures that release checking meets: a signature
// (SEQUENCE of two INTEGERs) and a public key (SubjectPublicKeyInfo). Strict
// DER only: definite lengths in their shortest form, nothing left over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kv {

class DerReader {
 public:
  explicit DerReader(std::span<const std::uint8_t> bytes) : rest_(bytes) {}

  // The contents of the next element when it has tag `tag`; nothing (and the
  // reader is spent) when the tag differs or the length is malformed.
  std::optional<std::span<const std::uint8_t>> Next(std::uint8_t tag) {
    if (rest_.size() < 2 || rest_[0] != tag) return Fail();
    std::size_t length = rest_[1];
    std::size_t header = 2;
    if (length >= 0x80) {
      // Long form: 1 to 4 length bytes, no leading zero, and only for lengths
      // the short form cannot carry. 0x80 alone (indefinite) is not DER.
      const std::size_t count = length & 0x7f;
      if (count == 0 || count > 4 || rest_.size() < 2 + count || rest_[2] == 0) return Fail();
      length = 0;
      for (std::size_t i = 0; i < count; ++i) length = (length << 8) | rest_[2 + i];
      if (length < 0x80) return Fail();
      header += count;
    }
    if (rest_.size() - header < length) return Fail();
    const std::span<const std::uint8_t> contents = rest_.subspan(header, length);
    rest_ = rest_.subspan(header + length);
    return contents;
  }

  bool AtEnd() const { return rest_.empty(); }

 private:
  std::nullopt_t Fail() {
    rest_ = {};
    return std::nullopt;
  }

  std::span<const std::uint8_t> rest_;
};

}  // namespace kv
