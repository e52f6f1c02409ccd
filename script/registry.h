// The word registry: the table from exact word text to handler that the compiler consults
// first, and the handlers of the method families whose words carry a suffix (set.x, html.x,
// &f.x, ?doc.x, _d.x). Themes register static {name, handler} tables, as a C library
// registers luaL_Reg lists. The registry is process-wide and filled before any compile;
// registering is not thread-safe and belongs to program start-up.
//
// Extending the language (the word library does exactly this):
//
//   static void WordUcase(TqelScript& s) { s.Push(Variant(Upper(s.PopText()))); }
//   static const TqelWord kStringWords[] = {{"ucase", WordUcase}, ...};
//   void RegisterStringWords() { RegisterWords(kStringWords); }
//
// A handler pops its operands with the checked helpers of TqelScript (PopText, PopInteger,
// PopNumber, PopFlag, PopValue), pushes with Push, reads CurrentText() and CurrentValue() of
// its atom, and keeps per-run state in a slot (TqelScript::RunState<T>(), runstate.h).
// A family handler is registered once for all its methods and dispatches on the method name,
// which is CurrentValue() as a String; the name before the dot is CurrentText().
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "script/atoms.h"

namespace tavlo {

// What a word may reach beyond the script's own stacks and variables. A record filter asks a
// question about a record, so it refuses every word that changes something outside: files,
// folders, the current folder, other programs, dialogs, the clipboard.
enum class TqelWordAccess : std::uint8_t {
  Reads,           // computes, or reads files and the system
  ChangesOutside,  // writes, deletes, renames, starts, asks the user, uses the clipboard
};

struct TqelWord {
  const char* name;  // compared with case
  TAtomHandler handler;
  TqelWordAccess access = TqelWordAccess::Reads;
};

// The word families that the compiler recognises by prefix.
enum class TqelMethodFamily {
  Set,         // set.method          Text "set",  Value method
  Html,        // html.method         Text "html", Value method
  PagedFile,   // &name.method        Text name,   Value method
  Xml,         // ?name.method        Text name,   Value method
  DataSource,  // _name.method        Text name,   Value method
};

// Adds (or replaces) words. The tables must outlive every compile (static tables do).
void RegisterWords(std::span<const TqelWord> words);
// Installs the handler of a method family.
void RegisterMethodFamily(TqelMethodFamily family, TAtomHandler handler);
// Names the methods of a family that change something outside (set.save, &f.append, ...).
// The strings must outlive every compile (literals do).
void RegisterChangingMethods(TqelMethodFamily family, std::span<const char* const> methods);

// The token of a compiled atom that changes something outside, as the script wrote it
// ("deletefile", "set.save", "&f.append", ":x.save"); empty for every other atom.
std::string ChangingWordOf(const TAtom& atom);

// The handler of a registry word, or nullptr.
TAtomHandler FindWord(const std::string& name);
// The handler of a family; when none is installed, a handler that fails at run time with
// "no words installed for " + the token as written.
TAtomHandler MethodFamilyHandler(TqelMethodFamily family);

// The handler the core gives the operator word name (=, and, like, ...), whatever has been
// registered over that name since; nullptr when name is no core operator. Lets a host that
// reads compiled atoms tell the core operator from a replacement.
TAtomHandler CoreOperatorHandler(const std::string& name);

// The core words (stack, operators, control words) are always present; this installs them
// and is called by the compiler itself, so callers never need to.
void RegisterCoreWords();

}  // namespace tavlo
