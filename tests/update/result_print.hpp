// Readable UpdateResult values in test failures.
#pragma once

#include <ostream>

#include "update_result.hpp"

namespace kv {

inline void PrintTo(const UpdateResult& r, std::ostream* os) {
  static const char* const names[] = {"Done", "Complete", "Failed", "Cancelled"};
  *os << names[static_cast<int>(r.state())];
  if (r.failed()) {
    *os << "(";
    for (const unsigned char c : r.message()) {
      if (c >= 0x20 && c < 0x7f) {
        *os << c;
      } else {
        static const char hex[] = "0123456789abcdef";
        *os << "\\x" << hex[c >> 4] << hex[c & 15];
      }
    }
    *os << ")";
  }
}

}  // namespace kv
