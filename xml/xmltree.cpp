// The document: loading, tokenizing, saving and the document-level text forms.
#include "xml/xmltree.h"

#include "text/qelstrings.h"
#include "xml/xmltokenizer.h"

namespace tavlo {

void TqelXMLTree::Tokenize() {
  Lines = TokenizeXML(JoinTextLines(Lines));
}

void TqelXMLTree::LoadFromText(const std::string& text) {
  ClearNodes();
  ClearAttributes();
  Lines = TokenizeXML(NormaliseLineBreaks(text));
  BuildFromTokens();
}

void TqelXMLTree::LoadFromFile(const std::string& fileName) {
  // Read before clearing, so that a file that cannot be read leaves the document as it was.
  LoadFromText(LoadFileToString(fileName));
}

void TqelXMLTree::SaveToFile(const std::string& fileName) {
  Lines = SplitTextLines(DocumentText());
  SaveStringToFile(fileName, JoinTextLines(Lines));
}

std::string TqelXMLTree::DocumentText() const {
  std::string text;
  for (const auto& child : Nodes) child->AppendXML(text, 0);
  return text;
}

std::string TqelXMLTree::AsText() const {
  if (Nodes.empty()) return std::string();
  std::string text = "<" + Name;
  for (const auto& attribute : Attributes) attribute->AppendXML(text);
  text += ">\r\n";
  for (const auto& child : Nodes) child->AppendXML(text, 1);
  text += "</" + Name + ">\r\n";
  return text;
}

}  // namespace tavlo
