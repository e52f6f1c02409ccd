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

namespace {

// True when every line break of the text already is CR LF.
bool OnlyCRLF(const std::string& text) {
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] == '\r') {
      if (i + 1 == size || text[i + 1] != '\n') return false;
      ++i;
    } else if (text[i] == '\n') {
      return false;
    }
  }
  return true;
}

}  // namespace

void TqelXMLTree::SaveToFile(const std::string& fileName, const TqelXMLSizeReport& report) {
  Lines.clear();
  std::string text = DocumentText(report);
  // Values may hold bare CR or LF; the file has CR LF lines. Most texts need no second copy.
  if (!OnlyCRLF(text)) text = NormaliseLineBreaks(text);
  SaveStringToFile(fileName, text);
}

std::string TqelXMLTree::DocumentText(const TqelXMLSizeReport& report) const {
  std::string text;
  for (const auto& child : Nodes) child->AppendXML(text, 0, report);
  return text;
}

std::string TqelXMLTree::AsText(const TqelXMLSizeReport& report) const {
  if (Nodes.empty()) return std::string();
  std::string text = "<" + Name;
  for (const auto& attribute : Attributes) attribute->AppendXML(text);
  text += ">\r\n";
  for (const auto& child : Nodes) child->AppendXML(text, 1, report);
  text += "</" + Name + ">\r\n";
  return text;
}

}  // namespace tavlo
