// The builder: turns token lines into elements, and reads one tag text into a new element.
// Closing tags close whatever is open and never move above the root.
#include <cassert>

#include "text/qelstrings.h"
#include "text/trim.h"
#include "xml/xmltree.h"

namespace tavlo {

TqelXMLNode* TqelXMLNode::AddNodeFromTag(const std::string& tag, const Variant& value) {
  std::string text = tag;
  if (!text.empty() && text.back() == '/') text.pop_back();
  std::size_t blank = text.find(' ');
  TqelXMLNode* node = AddChild(text.substr(0, blank));
  node->Value = value;
  if (blank == std::string::npos) return node;
  // Attributes are name="value" pairs; only double quotes delimit a value, and the first
  // piece that does not fit that shape ends the list.
  std::size_t at = blank;
  while (true) {
    std::size_t equals = text.find('=', at);
    if (equals == std::string::npos) break;
    std::size_t open = text.find('"', equals + 1);
    if (open == std::string::npos) break;
    std::size_t close = text.find('"', open + 1);
    if (close == std::string::npos) break;
    node->AddAttribute(std::string(TrimControl(std::string_view(text).substr(at, equals - at))),
                       Variant(text.substr(open + 1, close - open - 1)));
    at = close + 1;
  }
  return node;
}

void TqelXMLTree::BuildFromTokens(const TWorkMeter& meter) {
  ClearNodes();
  ClearAttributes();
  Name = "root";
  TqelXMLNode* cursor = this;
  for (const std::string& line : Lines) {
    meter.Step();
    if (line.size() < 3) continue;
    std::string text = line.substr(3);
    if (line.compare(0, 3, "OT:") == 0) {
      cursor = cursor->AddNodeFromTag(text, Variant(std::string()));
    } else if (line.compare(0, 3, "ET:") == 0) {
      cursor->AddNodeFromTag(text, Variant(std::string()));
    } else if (line.compare(0, 3, "CT:") == 0) {
      // Surplus closing tags are ignored at the root.
      if (cursor->ParentNode) cursor = cursor->ParentNode;
    } else if (line.compare(0, 3, "TX:") == 0) {
      cursor->Value = Variant(std::move(text));
      cursor->CDATA = false;
    } else if (line.compare(0, 3, "CD:") == 0) {
      cursor->Value = Variant(std::move(text));
      cursor->CDATA = true;
    }
  }
  assert(cursor->IsWithin(this));
}

}  // namespace tavlo
