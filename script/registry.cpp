// The word registry: a process-wide table from word text to handler, filled from the static
// word tables of the core and of the library themes, and the handlers of the method families.
#include "script/registry.h"

#include <array>
#include <unordered_map>
#include <vector>

#include "script/coreint.h"
#include "script/qelscript.h"

namespace tavlo {

namespace {

struct WordEntry {
  TAtomHandler handler;
  TqelWordAccess access;
};

std::unordered_map<std::string, WordEntry>& Words() {
  static std::unordered_map<std::string, WordEntry> words;
  return words;
}

std::array<std::vector<const char*>, 5>& ChangingMethods() {
  static std::array<std::vector<const char*>, 5> methods;
  return methods;
}

bool Listed(const std::vector<const char*>& methods, const std::string& method) {
  for (const char* name : methods)
    if (method == name) return true;
  return false;
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
  for (const TqelWord& word : words) Words()[word.name] = WordEntry{word.handler, word.access};
}

void RegisterMethodFamily(TqelMethodFamily family, TAtomHandler handler) {
  Families()[static_cast<int>(family)] = handler;
}

TAtomHandler FindWord(const std::string& name) {
  auto& words = Words();
  auto found = words.find(name);
  return found == words.end() ? nullptr : found->second.handler;
}

void RegisterChangingMethods(TqelMethodFamily family, std::span<const char* const> methods) {
  auto& listed = ChangingMethods()[static_cast<int>(family)];
  for (const char* method : methods)
    if (!Listed(listed, method)) listed.push_back(method);
}

std::string ChangingWordOf(const TAtom& atom) {
  const auto family = [&atom](TqelMethodFamily f, const std::string& token) {
    const std::string method = atom.Value.StringValue();
    return Listed(ChangingMethods()[static_cast<int>(f)], method) ? token + "." + method
                                                                 : std::string();
  };
  switch (atom.Kind) {
    case AtomKind::Word: {
      auto found = Words().find(atom.Text);
      const bool changes =
          found != Words().end() && found->second.access == TqelWordAccess::ChangesOutside;
      return changes ? atom.Text : std::string();
    }
    case AtomKind::SetMethod:
      return family(TqelMethodFamily::Set, "set");
    case AtomKind::HtmlMethod:
      return family(TqelMethodFamily::Html, "html");
    case AtomKind::PagedFileMethod:
      return family(TqelMethodFamily::PagedFile, "&" + atom.Text);
    case AtomKind::XmlMethod:
      return family(TqelMethodFamily::Xml, "?" + atom.Text);
    case AtomKind::DataSourceMethod:
      return family(TqelMethodFamily::DataSource, "_" + atom.Text);
    case AtomKind::InternalVariable:  // the core's own family: only save writes a file
      return atom.Value.StringValue() == "save" ? ":" + atom.Text + ".save" : std::string();
    default:
      return std::string();
  }
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
