// XML objects of a running script: the per-run list of documents (TqelXMLList), the one
// selection with its cursor shared by all documents, and the registration of the ?doc.method
// words. Documents and selection live in one run-state slot, cleared together when a run
// starts and ends; the selection never keeps an element that a word is about to free.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "script/runstate.h"
#include "xml/xmltree.h"

namespace tavlo {

// XMLDocuments: a document is created, empty and named after the key, on first use.
class TqelXMLList : public TqelNamedList<TqelXMLTree> {
 protected:
  std::unique_ptr<TqelXMLTree> Create(const std::string& name) override {
    return std::make_unique<TqelXMLTree>(name);
  }
};

// XMLSelection and XMLSelectionIndex: the selected elements in document order and the
// cursor, -1 when nothing is selected.
//
// Cursor states: reset (-1) after Clear (run start and end) and after every select;
// on an element (0 .. size-1) after selectfirst or a selectnext that found one; back to -1
// when selectnext runs past the end. Forget keeps the cursor valid when elements go away
// (?doc.delete, ?doc.load), so the cursor never names a freed element.
class TqelXMLSelection {
 public:
  void Clear() noexcept {
    Nodes.clear();
    Index = -1;
  }
  // Drops every entry inside subtree (subtree included) before it is freed. The cursor keeps
  // its place: it moves back past dropped entries, so that selectnext goes on with the
  // element after the one it stood on.
  void Forget(const TqelXMLNode* subtree);

  std::vector<TqelXMLNode*> Nodes;
  int Index = -1;
};

// The XML state of a script component. One slot, so that the documents can never be freed
// while the selection still refers to their elements.
class TqelXMLState : public TqelRunState {
 public:
  ~TqelXMLState() noexcept override { Clear(); }
  void Clear() noexcept override {
    XMLSelection.Clear();
    XMLDocuments.Clear();
  }

  TqelXMLList XMLDocuments;
  TqelXMLSelection XMLSelection;
};

void RegisterXmlWords();

}  // namespace tavlo
