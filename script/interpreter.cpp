// The interpreter: Run, the data and return stacks, the push-literal atom and the stack
// words dup, drop and swap. A run resets the run state, calls each atom's handler in turn
// with the time limit tested before every atom, and returns the value on top of the stack.
#include <cassert>

#include "platform/clock.h"
#include "script/coreint.h"
#include "script/qelscript.h"

namespace tavlo {

namespace {

constexpr int kClockInterval = 32;

// Marks the component as running for the lifetime of a run, whatever way it ends.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() noexcept { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

Variant TqelScript::Run() {
  // A host event that runs or recompiles this same component would pull the program and
  // the stacks from under the run in progress.
  if (running_) Fail("the script is already running");
  RunningFlag running(running_);
  sp_ = 0;
  rsp_ = 0;
  if (HasRunState()) ClearRunState();
  if (atoms_.empty()) return Variant::Null();

  pc_ = 0;
  // The time limit is tested before an atom when the one before it may have taken long (a
  // host event, a library word, a file method, a jump back) and at least every
  // kClockInterval atoms otherwise: straight runs of core atoms take microseconds, and the
  // filter runs this loop for every record. The coarse clock is enough for a limit in
  // seconds. The start is read lazily, at the first test or right before the first atom
  // that may take long, whichever comes first: what runs before it is at most
  // kClockInterval quick atoms, so a short run of quick atoms never reads the clock.
  std::uint64_t start = 0;
  bool started = false;
  clockStarted_ = false;
  const std::int64_t limit = static_cast<std::int64_t>(timeOut_) * 1000;
  const TAtom* const atoms = atoms_.data();
  const int count = static_cast<int>(atoms_.size());
  const bool quickHostVariables = hostVariablesQuick_;
  int untilClock = kClockInterval;
  while (pc_ < count) {
    if (--untilClock < 0) {
      const std::uint64_t now = CoarseTickCount();
      if (!started) {
        start = now;
        started = true;
        runStart_ = start;
        clockStarted_ = true;
      } else if (static_cast<std::int64_t>(now - start) > limit) {
        Fail("Script timed out after " + std::to_string(timeOut_) + " seconds");
      }
      untilClock = kClockInterval;
    }
    current_ = &atoms[pc_++];
    const bool bounded =
        current_->Bounded || (quickHostVariables && current_->Kind == AtomKind::ExternalVariable);
    if (!bounded && !started) {
      start = CoarseTickCount();
      started = true;
      runStart_ = start;
      clockStarted_ = true;
    }
    current_->Handler(*this);
    if (!bounded) untilClock = 0;
  }
  Variant result = sp_ > 0 ? Pop() : Variant::Null();
  if (HasRunState()) ClearRunState();
  return result;
}

std::int64_t TqelScript::RemainingMilliseconds() const {
  const std::int64_t limit = static_cast<std::int64_t>(timeOut_) * 1000;
  if (!running_ || !clockStarted_) return limit;
  const std::int64_t used = static_cast<std::int64_t>(CoarseTickCount() - runStart_);
  return used >= limit ? 0 : limit - used;
}

void TqelScript::CheckTimeOut() const {
  if (!running_ || !clockStarted_) return;
  const std::int64_t limit = static_cast<std::int64_t>(timeOut_) * 1000;
  if (static_cast<std::int64_t>(CoarseTickCount() - runStart_) >= limit)
    Fail("Script timed out after " + std::to_string(timeOut_) + " seconds");
}

void TqelScript::ClearRunState() noexcept {
  if (variables_.Count() != 0) variables_.Clear();
  for (auto& slot : slots_) slot.second->Clear();
}

void TqelScript::StackOverflow() {
  Fail("stack overflow");
}
void TqelScript::StackUnderflow() {
  Fail("stack underflow");
}

const Variant& TqelScript::Top() const {
  if (sp_ == 0) StackUnderflow();
  return stack_[sp_ - 1];
}

void TqelScript::RPush(int value) {
  if (rsp_ == kStackSize) Fail("return stack overflow");
  rstack_[rsp_++] = value;
}

int TqelScript::RPop() {
  if (rsp_ == 0) Fail("return stack underflow");
  return rstack_[--rsp_];
}

void HandlePushLiteral(TqelScript& s) {
  s.Push(s.CurrentValue());
}

namespace {

void WordDup(TqelScript& s) {
  Variant a = s.Pop();
  s.Push(a);
  s.Push(std::move(a));
}

void WordDrop(TqelScript& s) {
  s.Pop();
}

void WordSwap(TqelScript& s) {
  Variant b = s.Pop();
  Variant a = s.Pop();
  s.Push(std::move(b));
  s.Push(std::move(a));
}

const TqelWord kStackWords[] = {
    {"dup", WordDup},
    {"drop", WordDrop},
    {"swap", WordSwap},
};

}  // namespace

std::span<const TqelWord> StackWords() {
  return kStackWords;
}

}  // namespace tavlo
