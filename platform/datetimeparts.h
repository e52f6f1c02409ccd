// Internal to platform/: the calendar pieces shared by the date conversions. Not for callers
// outside this library.
#pragma once

#include <cstdint>

namespace tavlo {

int DaysInMonth(int year, int month);
// The day number and the millisecond of the day of a date-time, with 23:59:59.9996 carried
// into the next day. False (and zeros) when the value lies outside the years 1 to 9999.
bool SplitDateTime(double dateTime, std::int64_t& day, std::int64_t& millisecondOfDay);
// The calendar date of a day number within the years 1 to 9999.
void CivilFromDay(std::int64_t dayNumber, int& year, int& month, int& day);
int CurrentYear();

}  // namespace tavlo
