// The document: loading, tokenizing, saving and the document-level text forms.
#include "xml/xmltree.h"

#include "text/qelstrings.h"
#include "xml/xmltokenizer.h"

namespace tavlo {

void TqelXMLTree::Tokenize() {
  Lines = TokenizeXML(JoinTextLines(Lines));
}

void TqelXMLTree::LoadFromText(const std::string& text, const TWorkMeter& meter) {
  ClearNodes();
  ClearAttributes();
  Lines.clear();
  try {
    Lines = TokenizeXML(NormaliseLineBreaks(text), meter);
    BuildFromTokens(meter);
  } catch (...) {
    // Stopped midway: no half document.
    ClearNodes();
    ClearAttributes();
    Lines.clear();
    throw;
  }
}

void TqelXMLTree::LoadFromFile(const std::string& fileName) {
  // Read before clearing, so that a file that cannot be read leaves the document as it was.
  LoadFromText(LoadFileToString(fileName));
}

namespace {

// True when every line break of the text already is CR LF. Searches with find (memchr), as a
// document text may be hundreds of megabytes long.
bool OnlyCRLF(const std::string& text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    if (at == 0 || text[at - 1] != '\r') return false;
  }
  for (std::size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1)) {
    if (at + 1 == text.size() || text[at + 1] != '\n') return false;
  }
  return true;
}

}  // namespace

void TqelXMLTree::SaveToFile(const std::string& fileName, const TqelXMLSizeReport& report) {
  Lines.clear();
  std::string text = DocumentText(report);
  // Once more before the file is touched: building the text may have used up the time.
  if (report) report(text.size());
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
