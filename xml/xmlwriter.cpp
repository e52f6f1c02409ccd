// The indenting writer: elements and attributes as text, two blanks per level (up to a depth
// limit), CR LF line ends. Nothing is escaped. The walk keeps its own stack, so a document of
// any depth can be written, and everything is appended to one buffer (no quadratic string
// building). A long write reports its size as it goes, so that its caller can stop it.
#include <cstddef>

#include "xml/xmlnode.h"
#include "xml/xmltokenizer.h"

namespace tavlo {

void TqelXMLAttribute::AppendXML(std::string& out) const {
  out += ' ';
  out += Name;
  out += "=\"";
  out += Value.ToText();
  out += '"';
}

std::string TqelXMLAttribute::AsXML() const {
  std::string text;
  AppendXML(text);
  return text;
}

namespace {

struct OpenElement {
  const TqelXMLNode* node;
  int level;
  std::size_t nextChild;
};

std::size_t IndentOf(std::size_t level) {
  const auto limit = static_cast<std::size_t>(kXMLMaxIndentLevel);
  return (level < limit ? level : limit) * 2;
}

void AppendIndent(std::string& out, int level) {
  out.append(IndentOf(static_cast<std::size_t>(level < 0 ? 0 : level)), ' ');
}

// Writes the opening tag and the value line; returns false when the element was written
// whole as an empty-element tag.
bool AppendOpening(std::string& out, const TqelXMLNode& node, int level) {
  AppendIndent(out, level);
  out += '<';
  out += node.Name;
  for (const auto& attribute : node.Attributes) attribute->AppendXML(out);
  std::string value = node.Value.ToText();
  if (node.Nodes.empty() && value.empty()) {
    out += " />\r\n";
    return false;
  }
  out += ">\r\n";
  if (!value.empty()) {
    AppendIndent(out, level + 1);
    if (node.CDATA) {
      out += "<![CDATA[";
      out += DecodeCDATA(value);
      out += "]]>";
    } else {
      out += value;
    }
    out += "\r\n";
  }
  return true;
}

}  // namespace

void TqelXMLNode::AppendXML(std::string& out, int level, const TqelXMLSizeReport& report) const {
  std::size_t nextReport = static_cast<std::size_t>(-1);
  if (report) {
    report(out.size() + IndentationBytes(level));
    nextReport = out.size() + kXMLReportBytes;
  }
  std::vector<OpenElement> open;
  if (AppendOpening(out, *this, level)) open.push_back({this, level, 0});
  while (!open.empty()) {
    if (out.size() >= nextReport) {
      report(out.size());
      nextReport = out.size() + kXMLReportBytes;
    }
    OpenElement& top = open.back();
    if (top.nextChild < top.node->Nodes.size()) {
      const TqelXMLNode& child = *top.node->Nodes[top.nextChild++];
      int childLevel = top.level + 1;
      // top may dangle after push_back; nothing reads it past this point.
      if (AppendOpening(out, child, childLevel)) open.push_back({&child, childLevel, 0});
      continue;
    }
    AppendIndent(out, top.level);
    out += "</";
    out += top.node->Name;
    out += ">\r\n";
    open.pop_back();
  }
}

std::size_t TqelXMLNode::IndentationBytes(int level) const {
  // At least: the opening line of every element and the closing line of every element with
  // children. Value lines are left out, so that no value has to be turned into text.
  struct Pending {
    const TqelXMLNode* node;
    std::size_t level;
  };
  std::size_t bytes = 0;
  std::vector<Pending> pending{{this, static_cast<std::size_t>(level < 0 ? 0 : level)}};
  while (!pending.empty()) {
    Pending item = pending.back();
    pending.pop_back();
    const std::size_t indent = IndentOf(item.level);
    bytes += item.node->Nodes.empty() ? indent : indent * 2;
    for (const auto& child : item.node->Nodes) pending.push_back({child.get(), item.level + 1});
  }
  return bytes;
}

std::string TqelXMLNode::AsXML(int level) const {
  std::string text;
  AppendXML(text, level);
  return text;
}

}  // namespace tavlo
