// The clock: a monotonic millisecond tick counter and the local date and time as a day number.
// Never blocks and never fails: a clock that cannot be read counts as zero.

#include "platform/clock.h"

#include <time.h>

#include "platform/regional.h"

namespace tavlo {

std::uint64_t TickCount() {
  struct timespec now {};
  if (::clock_gettime(CLOCK_MONOTONIC, &now) != 0) return 0;
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

std::uint64_t CoarseTickCount() {
  struct timespec now {};
  if (::clock_gettime(CLOCK_MONOTONIC_COARSE, &now) != 0) return TickCount();
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

double LocalNow() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  time_t seconds = now.tv_sec;
  if (::localtime_r(&seconds, &local) == nullptr) return 0;
  // A leap second (tm_sec 60) is folded into the last ordinary one.
  int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  double date = EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  double time =
      EncodeTime(local.tm_hour, local.tm_min, second, static_cast<int>(now.tv_nsec / 1000000));
  return ComposeDateTime(date, time);
}

}  // namespace tavlo
