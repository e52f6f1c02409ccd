// The clock: a millisecond tick counter and the local date and time as a day number.
#pragma once

#include <cstdint>

namespace tavlo {

// Milliseconds from an arbitrary fixed point; monotonic.
std::uint64_t TickCount();
// As TickCount, from the kernel's coarse clock: a few milliseconds of resolution, but a read
// costs a fraction of a precise one (the script interpreter tests its time limit with it).
std::uint64_t CoarseTickCount();
// Local date and time as a day number (days since 30 December 1899, fraction = time of day).
double LocalNow();

}  // namespace tavlo
