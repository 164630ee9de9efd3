// Whether bytes are GBK text as the platform's own converter reads it: glibc's
// GBK on Linux, code page 936 on Windows (the one the Windows program uses).
#pragma once

#include <string_view>

namespace kv::test {

bool DecodesAsGbk(std::string_view bytes);

}  // namespace kv::test
