// Internal declarations shared by the files of the engine core: the handlers of the atom
// kinds that the compiler emits itself and the core word tables. Not for the word library,
// which goes through qelscript.h and registry.h.
#pragma once

#include <span>

#include "script/atoms.h"
#include "script/registry.h"

namespace tavlo {

// registry.cpp: whether a handler is one of the stack or operator words, which finish in a
// short, bounded time.
bool IsCoreWord(TAtomHandler handler);

// interpreter.cpp
void HandlePushLiteral(TqelScript& script);
std::span<const TqelWord> StackWords();

// controlflow.cpp
void HandleIf(TqelScript& script);
void HandleElse(TqelScript& script);
void HandleEndif(TqelScript& script);
void HandleRepeat(TqelScript& script);
void HandleUntil(TqelScript& script);
void HandleDefine(TqelScript& script);
void HandleCall(TqelScript& script);
void HandleReturn(TqelScript& script);
std::span<const TqelWord> ControlWords();

// operators.cpp
std::span<const TqelWord> OperatorWords();

// variables.cpp
void HandleInternalVariable(TqelScript& script);
void HandleExternalVariable(TqelScript& script);
void HandleSystemVariable(TqelScript& script);
void HandleObjectVariable(TqelScript& script);
void HandleParameter(TqelScript& script);

}  // namespace tavlo
