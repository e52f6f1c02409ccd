// Control flow at run time: the atoms of if/else/endif, repeat/until, procedure definitions,
// calls and returns. The compiler fixes the jump targets (compiler.cpp); a target that a
// failed compile left unset ends the program instead of jumping anywhere.
#include "script/coreint.h"
#include "script/qelscript.h"

namespace tavlo {

namespace {

int TargetOrEnd(const TqelScript& s) {
  const Variant& target = s.CurrentValue();
  return target.IsInteger() ? target.IntegerValue() : static_cast<int>(s.Atoms().size());
}

}  // namespace

void HandleIf(TqelScript& s) {
  if (!s.PopFlag()) s.Jump(TargetOrEnd(s));
}

void HandleElse(TqelScript& s) {
  s.Jump(TargetOrEnd(s));
}

void HandleEndif(TqelScript&) {}
void HandleRepeat(TqelScript&) {}

// Until negates with not, so an Integer condition ends the loop only when it is -1.
void HandleUntil(TqelScript& s) {
  if (Not(s.Pop()).ToBoolean()) s.Jump(s.CurrentValue().IntegerValue());
}

// Execution that reaches a definition skips its body up to and past the first return.
void HandleDefine(TqelScript& s) {
  const TAtomList& atoms = s.Atoms();
  int pc = s.ProgramCounter();
  const int count = static_cast<int>(atoms.size());
  while (pc < count) {
    if (atoms[pc++].Kind == AtomKind::Return) break;
  }
  s.Jump(pc);
}

void HandleCall(TqelScript& s) {
  const Variant& target = s.CurrentValue();
  if (!target.IsInteger() || target.IntegerValue() == -1)
    TqelScript::Fail("procedure " + s.CurrentText() + " not defined");
  s.RPush(s.ProgramCounter());
  s.Jump(target.IntegerValue());
}

void HandleReturn(TqelScript& s) {
  s.Jump(s.RPop());
}

namespace {

const TqelWord kControlWords[] = {
    {"if", HandleIf},         {"else", HandleElse},   {"endif", HandleEndif},
    {"repeat", HandleRepeat}, {"until", HandleUntil}, {";", HandleReturn},
};

}  // namespace

std::span<const TqelWord> ControlWords() {
  return kControlWords;
}

}  // namespace tavlo
