// The interpreter: Run, the data and return stacks, the push-literal atom and the stack
// words dup, drop and swap. A run resets the run state, calls each atom's handler in turn
// with the time limit tested before every atom, and returns the value on top of the stack.
#include <algorithm>
#include <cassert>

#include "platform/clock.h"
#include "script/coreint.h"
#include "script/qelscript.h"
#include "script/registry.h"

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
  clockStarted_ = false;
  const std::int64_t limit = static_cast<std::int64_t>(timeOut_) * 1000;
  const auto startClock = [this, limit](std::int64_t now) {
    deadline_ = EarlierOf(now + limit);
    clockStarted_ = true;
  };
  const TAtom* const atoms = atoms_.data();
  const int count = static_cast<int>(atoms_.size());
  const bool quickHostVariables = hostVariablesQuick_;
  const bool changesRefused = !refusedIn_.empty();
  int untilClock = kClockInterval;
  while (pc_ < count) {
    if (--untilClock < 0) {
      const auto now = static_cast<std::int64_t>(CoarseTickCount());
      if (!clockStarted_) {
        startClock(now);
      } else if (now > deadline_.tick) {
        TimedOut(deadline_.seconds);
      }
      untilClock = kClockInterval;
    }
    current_ = &atoms[pc_++];
    const bool bounded =
        current_->Bounded || (quickHostVariables && current_->Kind == AtomKind::ExternalVariable);
    if (!bounded) {
      if (!clockStarted_) startClock(static_cast<std::int64_t>(CoarseTickCount()));
      // Tested where the word runs, not where it was compiled: a script that a word compiles
      // on this run's behalf holds the same restriction (InheritRun).
      if (changesRefused && current_->ChangesOutside)
        Fail("The word " + ChangingWordOf(*current_) + " is not allowed in " + refusedIn_);
    }
    current_->Handler(*this);
    if (!bounded) untilClock = 0;
  }
  // The last atom may have used up the time: its result is not the run's.
  if (untilClock == 0 && clockStarted_ &&
      static_cast<std::int64_t>(CoarseTickCount()) > deadline_.tick)
    TimedOut(deadline_.seconds);
  Variant result = sp_ > 0 ? Pop() : Variant::Null();
  if (HasRunState()) ClearRunState();
  return result;
}

TqelScript::Deadline TqelScript::EarlierOf(std::int64_t ownTick) const noexcept {
  if (inherited_.tick < ownTick) return inherited_;
  return Deadline{ownTick, timeOut_};
}

TqelScript::Deadline TqelScript::RunDeadline() const {
  if (!running_) return inherited_;
  if (!clockStarted_) {
    deadline_ = EarlierOf(static_cast<std::int64_t>(CoarseTickCount()) +
                          static_cast<std::int64_t>(timeOut_) * 1000);
    clockStarted_ = true;
  }
  return deadline_;
}

void TqelScript::TimedOut(int seconds) {
  Fail("Script timed out after " + std::to_string(seconds) + " seconds");
}

std::int64_t TqelScript::RemainingMilliseconds() const {
  if (!running_) {
    const std::int64_t limit = static_cast<std::int64_t>(timeOut_) * 1000;
    if (inherited_.tick == INT64_MAX) return limit;
    const std::int64_t left = inherited_.tick - static_cast<std::int64_t>(CoarseTickCount());
    return left <= 0 ? 0 : std::min(limit, left);
  }
  const std::int64_t left = RunDeadline().tick - static_cast<std::int64_t>(CoarseTickCount());
  return left <= 0 ? 0 : left;
}

void TqelScript::CheckTimeOut() const {
  if (!running_) return;
  const Deadline deadline = RunDeadline();
  if (static_cast<std::int64_t>(CoarseTickCount()) >= deadline.tick) TimedOut(deadline.seconds);
}

void TqelScript::InheritRun(const TqelScript& outer) {
  refusedIn_ = outer.refusedIn_;
  inherited_ = outer.RunDeadline();
}

void TqelScript::RequireChangesAllowed(const std::string& word) const {
  if (!refusedIn_.empty()) Fail("The word " + word + " is not allowed in " + refusedIn_);
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
