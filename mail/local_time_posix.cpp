#include <time.h>

#include "local_time.hpp"

namespace kv {

HeaderTime LocalHeaderTime() {
  HeaderTime t;
  const std::time_t now = std::time(nullptr);
  localtime_r(&now, &t.local);
  t.utc_offset_minutes = static_cast<int>(t.local.tm_gmtoff / 60);
  return t;
}

}  // namespace kv
