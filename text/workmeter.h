// TWorkMeter: how a caller cuts short a helper whose work grows with its input. The helper
// calls Step as it goes (once per item, line, record, comparison or node); every kStride
// steps the meter calls the caller's check, which raises to stop the work (a script's time
// limit). A meter without a check costs one test per step, so helpers take one by default.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace tavlo {

class TWorkMeter {
 public:
  // Steps between two checks: small enough that a step of a few microseconds keeps the check
  // within milliseconds, large enough that reading a clock is no part of the cost.
  static constexpr std::int64_t kStride = 4096;

  TWorkMeter() = default;
  explicit TWorkMeter(std::function<void()> check) : check_(std::move(check)) {}

  // Const so that a default argument (a temporary) can be passed; the count is the meter's
  // own bookkeeping, not part of what it means.
  void Step(std::int64_t units = 1) const {
    if (!check_) return;
    left_ -= units;
    if (left_ <= 0) {
      left_ = kStride;
      check_();
    }
  }

 private:
  std::function<void()> check_;
  mutable std::int64_t left_ = kStride;
};

}  // namespace tavlo
