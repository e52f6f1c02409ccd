// What the benchmark programs measure with: wall time since a point, and the private
// memory of the process. Header-only; benchmarks only.
#pragma once

#include <chrono>
#include <fstream>
#include <string>

namespace tavlo::bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Private (anonymous) resident memory in kB: mapped pages of a table file are not counted,
// they belong to the page cache.
inline long RssAnonKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "RssAnon:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 16, '\n');
  }
  return -1;
}

}  // namespace tavlo::bench
