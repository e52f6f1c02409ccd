// The XML words ?doc.set, @set, get, @get, count, delete, @delete, load, save, astext and the
// selection words select, selectfirst, selectnext, selectget, @selectget. The compiler hands
// over the document name as the atom text and the method as its value; methods are resolved
// here at run time.
#include "words/xmlwords.h"

#include <unordered_map>

#include "platform/filesystem.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "text/qelstrings.h"

namespace tavlo {

void TqelXMLSelection::Forget(const TqelXMLNode* subtree) {
  if (Nodes.empty()) return;
  // Whether each element seen on the way up lies inside subtree: every walk stops at the
  // first element already answered, so a selection of a deep chain costs its length, not the
  // square of its depth.
  std::unordered_map<const TqelXMLNode*, bool> inside;
  auto isWithin = [&](const TqelXMLNode* node) {
    std::vector<const TqelXMLNode*> path;
    bool answer = false;
    for (const TqelXMLNode* at = node;; at = at->ParentNode) {
      if (at == nullptr) break;
      if (at == subtree) {
        answer = true;
        break;
      }
      auto known = inside.find(at);
      if (known != inside.end()) {
        answer = known->second;
        break;
      }
      path.push_back(at);
    }
    for (const TqelXMLNode* seen : path) inside.emplace(seen, answer);
    return answer;
  };
  std::vector<TqelXMLNode*> kept;
  kept.reserve(Nodes.size());
  int index = -1;
  for (std::size_t i = 0; i < Nodes.size(); ++i) {
    bool dropped = isWithin(Nodes[i]);
    if (!dropped) kept.push_back(Nodes[i]);
    // Kept: its new place. Dropped: the survivor before it, so selectnext goes on after it.
    if (static_cast<int>(i) == Index) index = static_cast<int>(kept.size()) - 1;
  }
  Nodes = std::move(kept);
  Index = Nodes.empty() ? -1 : index;
}

namespace {

using DocumentWord = void (*)(TqelScript& script, TqelXMLTree& document);
using SelectionWord = void (*)(TqelScript& script, TqelXMLSelection& selection);

TqelXMLTree& Document(TqelScript& script) {
  return script.RunState<TqelXMLState>().XMLDocuments.GetOrCreate(script.CurrentText());
}

TqelXMLSelection& Selection(TqelScript& script) {
  return script.RunState<TqelXMLState>().XMLSelection;
}

// Indented text grows with the square of the depth: a document of 50,000 nested elements
// asks for 2.5 GB. A write keeps to the run's time limit and refuses a text beyond this size
// before it runs the machine out of memory.
constexpr std::size_t kMaxXMLTextBytes = std::size_t{1} << 30;

// The document is named as the script named it (a load renames its root).
TqelXMLSizeReport WriteLimit(TqelScript& script) {
  return [&script, name = script.CurrentText()](std::size_t bytes) {
    if (bytes > kMaxXMLTextBytes) {
      TqelScript::Fail("XML document " + name + " is too large to write (more than " +
                       std::to_string(kMaxXMLTextBytes >> 20) + " MB)");
    }
    script.CheckTimeOut();
  };
}

// ---- Document words ----------------------------------------------------------------------

void WordSet(TqelScript& script, TqelXMLTree& document) {
  std::string path = script.PopText();
  Variant value = script.PopValue();
  document.ForceNode(path)->Value = std::move(value);
}

void WordAttributeSet(TqelScript& script, TqelXMLTree& document) {
  std::string path = script.PopText();
  std::string name = script.PopText();
  Variant value = script.PopValue();
  document.ForceAttribute(path, name, value);
}

void WordGet(TqelScript& script, TqelXMLTree& document) {
  const TqelXMLNode* node = document.GetNode(script.PopText());
  script.Push(node ? node->Value : Variant(std::string()));
}

void WordAttributeGet(TqelScript& script, TqelXMLTree& document) {
  std::string path = script.PopText();
  std::string name = script.PopText();
  const TqelXMLAttribute* attribute = document.GetAttribute(path, name);
  script.Push(attribute ? attribute->Value : Variant(std::string()));
}

void WordCount(TqelScript& script, TqelXMLTree& document) {
  std::string path = script.PopText();
  std::string name = script.PopText();
  std::int32_t count = 0;
  if (const TqelXMLNode* node = document.GetNode(path)) {
    for (const auto& child : node->Nodes) count += child->Name == name ? 1 : 0;
  }
  script.Push(Variant(count));
}

void WordDelete(TqelScript& script, TqelXMLTree& document) {
  std::string path = script.PopText();
  if (path.empty()) return;
  if (const TqelXMLNode* node = document.GetNode(path)) {
    Selection(script).Forget(node);
    document.DeleteNode(path);
  }
}

void WordAttributeDelete(TqelScript& script, TqelXMLTree& document) {
  std::string path = script.PopText();
  std::string name = script.PopText();
  document.DeleteAttribute(path, name);
}

void WordLoad(TqelScript& script, TqelXMLTree& document) {
  std::string file = script.PopFileName();
  if (!Files().FileExists(file)) TqelScript::Fail("File " + file + " does not exist");
  // Read first: a file that cannot be read leaves the document and the selection intact.
  std::string text = LoadFileToString(file);
  Selection(script).Forget(&document);
  document.LoadFromText(text, script.WorkMeter());
}

void WordSave(TqelScript& script, TqelXMLTree& document) {
  std::string file = script.PopFileName();
  try {
    document.SaveToFile(file, WriteLimit(script));
  } catch (const EqelScriptError&) {
    throw;  // the time limit or the size limit, said as it is
  } catch (const Exception&) {
    TqelScript::Fail("Can not save to file " + file);
  }
}

void WordAsText(TqelScript& script, TqelXMLTree& document) {
  script.Push(Variant(document.AsText(WriteLimit(script))));
}

void WordSelect(TqelScript& script, TqelXMLTree& document) {
  std::string path = script.PopText();
  for (char& c : path) {
    if (c == '\'') c = '"';
  }
  TqelXMLSelection& selection = Selection(script);
  selection.Clear();
  std::vector<TqelXMLNode*> found;
  document.SelectNodes(path, found, script.WorkMeter());
  selection.Nodes = std::move(found);
  script.Push(Variant(!selection.Nodes.empty()));
}

// ---- Selection words (the document prefix does not matter) -------------------------------

void WordSelectFirst(TqelScript& script, TqelXMLSelection& selection) {
  selection.Index = selection.Nodes.empty() ? -1 : 0;
  script.Push(Variant(!selection.Nodes.empty()));
}

void WordSelectNext(TqelScript& script, TqelXMLSelection& selection) {
  if (selection.Nodes.empty()) {
    selection.Index = -1;
    script.Push(Variant(false));
    return;
  }
  ++selection.Index;
  if (static_cast<std::size_t>(selection.Index) >= selection.Nodes.size()) {
    selection.Index = -1;
    script.Push(Variant(false));
    return;
  }
  script.Push(Variant(true));
}

const TqelXMLNode& SelectedNode(const TqelXMLSelection& selection) {
  if (selection.Nodes.empty()) TqelScript::Fail("XML selection is empty");
  if (selection.Index == -1) TqelScript::Fail("no XML selection selected");
  if (selection.Index < 0 || static_cast<std::size_t>(selection.Index) >= selection.Nodes.size())
    TqelScript::Fail("XML selection out of range");
  return *selection.Nodes[selection.Index];
}

void WordSelectGet(TqelScript& script, TqelXMLSelection& selection) {
  script.Push(SelectedNode(selection).Value);
}

void WordAttributeSelectGet(TqelScript& script, TqelXMLSelection& selection) {
  const TqelXMLNode& node = SelectedNode(selection);
  script.Push(node.GetAttributeValue(script.PopText()));
}

struct DocumentMethod {
  const char* name;
  DocumentWord word;
};

struct SelectionMethod {
  const char* name;
  SelectionWord word;
};

constexpr DocumentMethod kDocumentMethods[] = {
    {"set", WordSet},
    {"@set", WordAttributeSet},
    {"get", WordGet},
    {"@get", WordAttributeGet},
    {"count", WordCount},
    {"delete", WordDelete},
    {"@delete", WordAttributeDelete},
    {"load", WordLoad},
    {"save", WordSave},
    {"astext", WordAsText},
    {"select", WordSelect},
};

constexpr SelectionMethod kSelectionMethods[] = {
    {"selectfirst", WordSelectFirst},
    {"selectnext", WordSelectNext},
    {"selectget", WordSelectGet},
    {"@selectget", WordAttributeSelectGet},
};

void XmlWord(TqelScript& script) {
  const std::string& method = script.CurrentMethod();
  for (const DocumentMethod& entry : kDocumentMethods) {
    if (method == entry.name) return entry.word(script, Document(script));
  }
  for (const SelectionMethod& entry : kSelectionMethods) {
    if (method == entry.name) return entry.word(script, Selection(script));
  }
  TqelScript::Fail("invalid xml method specifier " + method);
}

}  // namespace

void RegisterXmlWords() {
  RegisterMethodFamily(TqelMethodFamily::Xml, XmlWord);
  static const char* const kChanging[] = {"save"};
  RegisterChangingMethods(TqelMethodFamily::Xml, kChanging);
}

}  // namespace tavlo
