// The atom kinds of a compiled script: one line each with its operand and stack effect, and
// the TAtom record the compiler appends and the interpreter runs. Only the compiler creates
// atoms; nothing changes them while a script runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "value/value.h"

namespace tavlo {

class TqelScript;

// Every atom runs through its handler; pc already points past the atom when it is called.
using TAtomHandler = void (*)(TqelScript& script);

// X(kind, operand (TAtom::Value), stack effect: deepest ... top before -> after)
#define TAVLO_ATOM_KINDS(X)                                                             \
  X(PushLiteral, "the literal", "-> v")                                                 \
  X(Word, "none", "registry word: its own effect")                                      \
  X(If, "index past the branch", "cond ->          jumps when cond is false")           \
  X(Else, "index past endif", "->               jumps always")                          \
  X(Endif, "none", "->")                                                                \
  X(Repeat, "none", "->")                                                               \
  X(Until, "index of REPEAT", "cond ->          jumps back while not cond is false")    \
  X(Define, "none (Text: name)", "->               skips the body to the first RETURN") \
  X(Call, "first atom of body", "->               rpush(pc), jumps")                    \
  X(Return, "none", "->               pc := rpop()")                                    \
  X(SetMethod, "method", "set.method: set words")                                       \
  X(HtmlMethod, "method", "html.method: HTML words")                                    \
  X(PagedFileMethod, "method (Text: name)", "&name.method: paged-file words")           \
  X(XmlMethod, "method (Text: name)", "?name.method: XML words")                        \
  X(DataSourceMethod, "method (Text: name)", "_name.method: data-source words")         \
  X(SystemVariable, "method (Text: name)", ")name.get prompt -> v, .set v -> v")        \
  X(ExternalVariable, "method (Text: name)", ">name.get -> v, .set v ->")               \
  X(InternalVariable, "method (Text: name)", ":name.method: variable methods")          \
  X(ObjectVariable, "method (Text: name)", "^name.verb.property")                       \
  X(Parameter, "name", "%name -> text")

enum class AtomKind : std::uint8_t {
#define TAVLO_ATOM_ENUM(kind, operand, effect) kind,
  TAVLO_ATOM_KINDS(TAVLO_ATOM_ENUM)
#undef TAVLO_ATOM_ENUM
};

// The kind's name, for diagnostics.
const char* AtomKindName(AtomKind kind);

struct TAtom {
  std::string Text;  // the token, or the symbol name of a prefixed form
  Variant Value;     // the operand; Empty for words without one
  TAtomHandler Handler = nullptr;
  AtomKind Kind = AtomKind::Word;
  // Finishes in a short, bounded time and never jumps back: the interpreter may defer its
  // time-limit test after such an atom.
  bool Bounded = false;
  // Changes something outside the script (registry.h, TqelWordAccess): refused when it runs
  // in a run that refuses changes (TqelScript::RefuseChanges).
  bool ChangesOutside = false;
};

// The compiled program; an atom's index is its address for jumps and calls.
using TAtomList = std::vector<TAtom>;

}  // namespace tavlo
