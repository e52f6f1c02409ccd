// The word registry: a process-wide table from word text to handler, filled from the static
// word tables of the core and of the library themes, and the handlers of the method families.
#include "script/registry.h"

#include <array>
#include <unordered_map>

#include "script/coreint.h"
#include "script/qelscript.h"

namespace tavlo {

namespace {

std::unordered_map<std::string, TAtomHandler>& Words() {
  static std::unordered_map<std::string, TAtomHandler> words;
  return words;
}

template <TqelMethodFamily family>
void MissingFamily(TqelScript& script) {
  // set and html carry their family name as the atom text; the others a prefix and a name.
  static constexpr const char* kPrefixes[] = {"", "", "&", "?", "_"};
  TqelScript::Fail(std::string("no words installed for ") + kPrefixes[static_cast<int>(family)] +
                   script.CurrentText() + "." + script.CurrentMethod());
}

std::array<TAtomHandler, 5>& Families() {
  static std::array<TAtomHandler, 5> families{
      MissingFamily<TqelMethodFamily::Set>, MissingFamily<TqelMethodFamily::Html>,
      MissingFamily<TqelMethodFamily::PagedFile>, MissingFamily<TqelMethodFamily::Xml>,
      MissingFamily<TqelMethodFamily::DataSource>};
  return families;
}

}  // namespace

void RegisterWords(std::span<const TqelWord> words) {
  for (const TqelWord& word : words) Words()[word.name] = word.handler;
}

void RegisterMethodFamily(TqelMethodFamily family, TAtomHandler handler) {
  Families()[static_cast<int>(family)] = handler;
}

TAtomHandler FindWord(const std::string& name) {
  auto& words = Words();
  auto found = words.find(name);
  return found == words.end() ? nullptr : found->second;
}

TAtomHandler MethodFamilyHandler(TqelMethodFamily family) {
  return Families()[static_cast<int>(family)];
}

bool IsCoreWord(TAtomHandler handler) {
  for (auto table : {StackWords(), OperatorWords()})
    for (const TqelWord& word : table)
      if (word.handler == handler) return true;
  return false;
}

TAtomHandler CoreOperatorHandler(const std::string& name) {
  for (const TqelWord& word : OperatorWords())
    if (name == word.name) return word.handler;
  return nullptr;
}

void RegisterCoreWords() {
  static const bool installed = [] {
    RegisterWords(StackWords());
    RegisterWords(ControlWords());
    RegisterWords(OperatorWords());
    return true;
  }();
  (void)installed;
}

}  // namespace tavlo
