// TqelXMLTree: an XML document, the root of its own element tree, with loading, saving and
// the text forms of the whole document. The root is a container: the document's top-level
// elements are its children. Files are reached only through the text layer's whole-file calls.
#pragma once

#include <string>
#include <vector>

#include "xml/xmlnode.h"

namespace tavlo {

class TqelXMLTree : public TqelXMLNode {
 public:
  explicit TqelXMLTree(std::string name = std::string()) : TqelXMLNode(std::move(name), nullptr) {}
  ~TqelXMLTree() noexcept override = default;

  // Replaces the document by the one in the file; raises the file layer's errors.
  void LoadFromFile(const std::string& fileName);
  // Replaces the document by the one in the text (what LoadFromFile does after reading). The
  // meter steps per tag read and per element built, and may stop the load, which then leaves
  // an empty document.
  void LoadFromText(const std::string& text, const TWorkMeter& meter = {});
  // Replaces Lines (document text lines) by the token lines of that text.
  void Tokenize();
  // Rebuilds the tree from the token lines in Lines; the root is renamed "root".
  void BuildFromTokens(const TWorkMeter& meter = {});

  // The writers take an optional size report (see TqelXMLSizeReport) that may stop them.
  // The root's children as indented text; the empty text for an empty document.
  std::string DocumentText(const TqelXMLSizeReport& report = {}) const;
  // DocumentText as CR LF ended lines; an empty document gives an empty file. The report is
  // also called with the whole text's size before the file is written; nothing is written
  // when it stops the write.
  void SaveToFile(const std::string& fileName, const TqelXMLSizeReport& report = {});
  // The document wrapped in an element named after the root, with the root's attributes.
  std::string AsText(const TqelXMLSizeReport& report = {}) const;

  // Load buffer: the token lines of the last document read. A save leaves it empty rather
  // than keep a second copy of what may be a very large text.
  std::vector<std::string> Lines;
};

}  // namespace tavlo
