#include "gbk_decode.hpp"

#include <iconv.h>

#include <string>

namespace kv::test {

bool DecodesAsGbk(std::string_view bytes) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in(bytes);
  std::string out(bytes.size() * 2 + 16, '\0');
  char* ip = in.data();
  char* op = out.data();
  std::size_t il = in.size(), ol = out.size();
  const std::size_t rc = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  return rc != static_cast<std::size_t>(-1) && il == 0;
}

}  // namespace kv::test
