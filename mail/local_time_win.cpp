// The Date line's time on Windows: one reading of the UTC clock, turned into
// local time by the zone's own rules for that instant, so the offset always
// belongs to the time shown (daylight time included), even at a change-over.
#include <windows.h>

#include <cstdint>

#include "local_time.hpp"

namespace kv {
namespace {

std::int64_t Ticks(const FILETIME& f) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
}

int DayOfYear(const SYSTEMTIME& t) {
  static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const int y = t.wYear;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return kBefore[(t.wMonth - 1) % 12] + t.wDay - 1 + (leap && t.wMonth > 2 ? 1 : 0);
}

}  // namespace

HeaderTime LocalHeaderTime() {
  HeaderTime t;
  FILETIME utcFile{};
  GetSystemTimeAsFileTime(&utcFile);
  SYSTEMTIME utc{}, local{};
  FILETIME localFile{};
  TIME_ZONE_INFORMATION zone{};
  const DWORD zoneId = GetTimeZoneInformation(&zone);
  if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
      !SystemTimeToFileTime(&local, &localFile)) {
    // No zone to be had: the time in UTC.
    local = utc;
    localFile = utcFile;
  }
  // 10^7 ticks a second; the clock's sub-second part is the same on both sides.
  const std::int64_t seconds = (Ticks(localFile) - Ticks(utcFile)) / 10000000;
  t.utc_offset_minutes = static_cast<int>((seconds >= 0 ? seconds + 30 : seconds - 30) / 60);
  t.local.tm_year = local.wYear - 1900;
  t.local.tm_mon = local.wMonth - 1;
  t.local.tm_mday = local.wDay;
  t.local.tm_hour = local.wHour;
  t.local.tm_min = local.wMinute;
  t.local.tm_sec = local.wSecond;
  t.local.tm_wday = local.wDayOfWeek;
  t.local.tm_yday = DayOfYear(local);
  // Daylight time: the offset differs from the zone's standard one.
  t.local.tm_isdst = zoneId == TIME_ZONE_ID_INVALID ? -1 : (t.utc_offset_minutes != -(zone.Bias + zone.StandardBias));
  return t;
}

}  // namespace kv
