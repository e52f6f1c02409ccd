// TqelScript: the embeddable script component. A host assigns Script (which compiles it),
// answers the symbols a script cannot resolve through the seven events, and calls Run as
// often as it likes; every run starts from empty stacks, variables and run-state slots and
// returns the value left on top of the data stack. The component never shows a message:
// every failure is an exception (EqelScriptError, or the value model's own types).
//
// States: no program (after construction, or a compile that produced no atoms) -> compiled
// (SetScript with a new text) -> running (inside Run) -> compiled. Compiling replaces the
// program; running never changes it. A failed compile keeps the atoms built before the error.
//
// The word library reaches the component through the public "handler interface" below:
// the stacks, the checked pop helpers, the current atom, the folders, Params, the events and
// the run-state slots (runstate.h). See registry.h for registering words.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

#include "platform/errors.h"
#include "script/atoms.h"
#include "script/runstate.h"
#include "script/variables.h"
#include "text/workmeter.h"
#include "value/value.h"

namespace tavlo {

// Every error that the engine itself detects; carries only its message.
class EqelScriptError : public Exception {
 public:
  using Exception::Exception;
};

class TqelScript;

// Host events. Before the call the engine sets handled to false and ErrorStr to the preset
// message; if the event leaves handled false the engine raises EqelScriptError(ErrorStr).
// A get event that handles without setting value makes the engine push Empty.
using TonGetVariable = std::function<void(TqelScript& Sender, const std::string& Symbol,
                                          Variant& value, bool& handled, std::string& ErrorStr)>;
using TonSetVariable =
    std::function<void(TqelScript& Sender, const std::string& Symbol, const Variant& value,
                       bool& handled, std::string& ErrorStr)>;
using TonGetSystem =
    std::function<void(TqelScript& Sender, const std::string& Symbol, const std::string& Prompt,
                       Variant& value, bool& handled, std::string& ErrorStr)>;
using TonSetSystem = TonSetVariable;
using TonGetObject =
    std::function<void(TqelScript& Sender, const std::string& Symbol, const std::string& Method,
                       Variant& value, bool& handled, std::string& ErrorStr)>;
using TonSetObject =
    std::function<void(TqelScript& Sender, const std::string& Symbol, const std::string& Method,
                       const Variant& value, bool& handled, std::string& ErrorStr)>;
using TonInclude = std::function<void(TqelScript& Sender, const std::string& includefile,
                                      std::string& value, bool& handled, std::string& ErrorStr)>;

// A procedure defined by the script: its name and the index of its first atom.
struct TqelProcedure {
  std::string Name;
  int Start = 0;
};

class TqelScript {
 public:
  static constexpr int kStackSize = 1000;
  static constexpr int kDefaultTimeOut = 30;

  TqelScript();
  ~TqelScript() noexcept;
  TqelScript(const TqelScript&) = delete;
  TqelScript& operator=(const TqelScript&) = delete;

  // ---- Published properties -------------------------------------------------------------
  const std::string& Script() const noexcept { return script_; }
  // Compiles when text differs from the current script (exact comparison); a compile error
  // propagates as EqelScriptError and leaves the new text stored.
  void SetScript(const std::string& text);

  // name=value lines read by %name; the component keeps its own copy.
  const std::vector<std::string>& Params() const noexcept { return params_; }
  void SetParams(const std::vector<std::string>& lines) { params_ = lines; }
  // The value of %name: the text after the first "=" of the first line whose name matches
  // without regard to case; the empty text when there is none.
  std::string Param(const std::string& name) const;

  // Seconds allowed for one compile (include expansion) and one run. Default 30.
  int ScriptTimeOut() const noexcept { return timeOut_; }
  void SetScriptTimeOut(int seconds) noexcept { timeOut_ = seconds; }
  // A host whose onGetVariable and onSetVariable always return at once (the record filter
  // reads one field) says so here: the run then need not read the clock around them, and a
  // short run of quick atoms reads it not at all. Off by default.
  bool HostVariablesQuick() const noexcept { return hostVariablesQuick_; }
  void SetHostVariablesQuick(bool quick) noexcept { hostVariablesQuick_ = quick; }

  TonGetObject onGetObject;
  TonSetObject onSetObject;
  TonGetVariable onGetVariable;
  TonSetVariable onSetVariable;
  TonSetSystem onSetSystem;
  TonGetSystem onGetSystem;
  TonInclude onInclude;

  // Runs the compiled program once; the value on top of the stack, or Null. A run whose
  // time limit passed during its last atom fails with the time-out like any other.
  Variant Run();
  // For words that wait or work long within one atom (a prompt, a search in a long text, a
  // save): the milliseconds left of the run's time limit (0 once it has passed), and the
  // run's time-out error once it has. Outside a run the whole limit is left.
  std::int64_t RemainingMilliseconds() const;
  void CheckTimeOut() const;
  // A meter (text/workmeter.h) that checks the run's time limit as a helper goes: what a word
  // hands to the helpers whose work grows with its operands.
  TWorkMeter WorkMeter() const {
    return TWorkMeter([this] { CheckTimeOut(); });
  }

  // ---- The run's restriction -------------------------------------------------------------
  // A host that asks a question of every record (the record filter) refuses, for every run,
  // the words that change something outside (registry.h, TqelWordAccess): such a word then
  // fails with "The word " + the word + " is not allowed in " + where. The restriction
  // belongs to the run, not to the compile: it is tested when an atom runs, whatever compiled
  // it, and a script that a word compiles and runs on the run's behalf (set.do, the query of a
  // paged file) takes it over through InheritRun.
  void RefuseChanges(const std::string& where) { refusedIn_ = where; }
  void AllowChanges() noexcept { refusedIn_.clear(); }
  bool ChangesRefused() const noexcept { return !refusedIn_.empty(); }
  const std::string& ChangesRefusedIn() const noexcept { return refusedIn_; }
  // For a word whose change depends on its operands (a select for update): the refusal of
  // word when the run refuses changes.
  void RequireChangesAllowed(const std::string& word) const;
  // Makes this component work on behalf of the run of outer (in progress or about to be):
  // it takes over outer's restriction, and its compiles and runs end at outer's deadline,
  // with outer's time-out message, when that comes before their own. A component that runs
  // script text for a word must be made so before the text is assigned.
  void InheritRun(const TqelScript& outer);

  // Folder of the executable, ending in a separator; fixed at construction.
  const std::string& AppFolder() const noexcept { return appFolder_; }
  // Folder of data-source files; at construction the executable's folder without the
  // trailing separator.
  const std::string& DataSourceFolder() const noexcept { return dataSourceFolder_; }
  void SetDataSourceFolder(const std::string& folder) { dataSourceFolder_ = folder; }
  // Replaces the first "%" in a file name by AppFolder.
  std::string ExpandAppFolder(const std::string& fileName) const;

  // ---- Compiled program (read-only views) -----------------------------------------------
  const TAtomList& Atoms() const noexcept { return atoms_; }
  const std::vector<TqelProcedure>& Procedures() const noexcept { return procedures_; }
  const std::vector<std::string>& IncludedFiles() const noexcept { return includedFiles_; }

  // ---- Handler interface ----------------------------------------------------------------
  // Data stack. Push raises "stack overflow" on a full stack, Pop "stack underflow".
  void Push(const Variant& value) {
    if (sp_ == kStackSize) StackOverflow();
    stack_[sp_++] = value;
  }
  void Push(Variant&& value) {
    if (sp_ == kStackSize) StackOverflow();
    stack_[sp_++] = std::move(value);
  }
  Variant Pop() {
    if (sp_ == 0) StackUnderflow();
    return std::move(stack_[--sp_]);
  }
  // In-place access for words that combine operands without moving them off the stack:
  // RequireOperands raises "stack underflow" when fewer than n values are there, Peek(0) is
  // the top and Peek(1) the value below it, Discard drops n values.
  void RequireOperands(int n) const {
    if (sp_ < n) StackUnderflow();
  }
  Variant& Peek(int depth) noexcept {
    assert(depth < sp_);
    return stack_[sp_ - 1 - depth];
  }
  void Discard(int n) noexcept {
    assert(n <= sp_);
    sp_ -= n;
  }
  // The top value without popping ("stack underflow" when empty).
  const Variant& Top() const;
  int StackCount() const noexcept { return sp_; }

  // Checked pops: underflow reads "stack underflow", conversions fail with the value
  // model's "Invalid variant type conversion".
  Variant PopValue() { return Pop(); }
  std::string PopText();         // text form; Null fails
  std::string PopTextOrEmpty();  // text form; Null reads as the empty text
  std::int32_t PopInteger();     // rounded half to even
  double PopNumber();            // real
  bool PopFlag();                // condition test
  // A text file name with the first "%" replaced by AppFolder.
  std::string PopFileName();

  // Return stack ("return stack overflow" / "return stack underflow").
  void RPush(int value);
  int RPop();
  int RStackCount() const noexcept { return rsp_; }

  // Program counter: the index of the next atom; handlers that jump set it.
  int ProgramCounter() const noexcept { return pc_; }
  void Jump(int index) noexcept { pc_ = index; }

  // The atom being run.
  const std::string& CurrentText() const noexcept { return current_->Text; }
  const Variant& CurrentValue() const noexcept { return current_->Value; }
  // The method of a prefixed form as text (CurrentValue is a String there).
  const std::string& CurrentMethod() const noexcept { return current_->Value.StringValue(); }

  TVariantList& Variables() noexcept { return variables_; }

  // The run-state slot of type T (derived from TqelRunState, default-constructible),
  // created on first use and cleared at the start and normal end of every run.
  template <typename T>
  T& RunState() {
    const std::type_index key(typeid(T));
    for (auto& slot : slots_)
      if (slot.first == key) return static_cast<T&>(*slot.second);
    slots_.emplace_back(key, std::make_unique<T>());
    return static_cast<T&>(*slots_.back().second);
  }

  // Raises EqelScriptError(message); for handlers that report in the engine's own type.
  [[noreturn]] static void Fail(const std::string& message);

  // Host event calls with the preset messages (used by the variable words; the library may
  // reuse them). Each raises the event's ErrorStr when it is not handled.
  Variant GetVariable(const std::string& name);
  // As GetVariable, but the host fills the new top of the stack in place (Empty on entry,
  // its text storage kept), so a field value for every record moves no bytes twice.
  void PushVariable(const std::string& name);
  void SetVariable(const std::string& name, const Variant& value);
  Variant GetSystem(const std::string& name, const std::string& prompt);
  void SetSystem(const std::string& name, const Variant& value);
  Variant GetObject(const std::string& name, const std::string& property);
  void SetObject(const std::string& name, const std::string& property, const Variant& value);

 private:
  friend class TqelCompiler;

  [[noreturn]] static void StackOverflow();
  [[noreturn]] static void StackUnderflow();
  void Compile();
  void ClearRunState() noexcept;
  // Whether there is anything for ClearRunState to clear; a filter run usually has not.
  bool HasRunState() const noexcept { return variables_.Count() != 0 || !slots_.empty(); }

  // The deadline the current run (or compile) ends at, in CoarseTickCount milliseconds, and
  // the time-out its message names: the earlier of the component's own and the inherited one.
  struct Deadline {
    std::int64_t tick = INT64_MAX;
    int seconds = 0;
  };
  Deadline RunDeadline() const;
  Deadline EarlierOf(std::int64_t ownTick) const noexcept;
  [[noreturn]] static void TimedOut(int seconds);

  std::string script_;
  std::vector<std::string> params_;
  int timeOut_ = kDefaultTimeOut;
  std::string refusedIn_;  // empty: the run may change things outside
  Deadline inherited_;     // of the run this component works for (InheritRun)
  bool hostVariablesQuick_ = false;
  std::string appFolder_;
  std::string dataSourceFolder_;

  TAtomList atoms_;
  std::vector<TqelProcedure> procedures_;
  std::vector<std::string> includedFiles_;

  std::unique_ptr<std::array<Variant, kStackSize>> stackStorage_;
  Variant* stack_ = nullptr;
  int sp_ = 0;
  std::array<int, kStackSize> rstack_{};
  int rsp_ = 0;
  int pc_ = 0;
  const TAtom* current_ = nullptr;
  bool running_ = false;
  // Whether deadline_ holds the deadline of the current run; the clock is read lazily (a
  // short run of quick atoms never reads it), so a check before that starts it.
  mutable bool clockStarted_ = false;
  mutable Deadline deadline_;

  TVariantList variables_;
  std::vector<std::pair<std::type_index, std::unique_ptr<TqelRunState>>> slots_;
  std::string errorStr_;  // reused so that a handled event costs no allocation
};

}  // namespace tavlo
