// Helpers for tests that assert on GBK bytes written out by hand.
#pragma once

#include <string>

#include "text.hpp"

namespace kv::test {

// Builds a byte string from a literal that may hold NUL bytes.
template <std::size_t N>
std::string Bytes(const char (&s)[N]) {
  return std::string(s, N - 1);
}

}  // namespace kv::test
