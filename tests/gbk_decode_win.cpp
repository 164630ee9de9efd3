#include "gbk_decode.hpp"

#include <windows.h>

#include <climits>

namespace kv::test {

bool DecodesAsGbk(std::string_view bytes) {
  if (bytes.empty()) return true;
  if (bytes.size() > INT_MAX) return false;
  return MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

}  // namespace kv::test
