// The local time and zone the Date line of a mail shows, one implementation
// per platform (local_time_posix.cpp, local_time_win.cpp).
#pragma once

#include <ctime>

namespace kv {

// Broken-down local time and the local zone's offset from UTC in minutes
// (east positive: +480 for +0800).
struct HeaderTime {
  std::tm local{};
  int utc_offset_minutes = 0;
};

// Now, as the system's clock and zone say (daylight time included when it is
// in force).
HeaderTime LocalHeaderTime();

}  // namespace kv
