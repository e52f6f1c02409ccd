// TqelXMLNode: one element of an in-memory XML document with its children and attributes,
// path lookup and creation, selection by filtered paths and the indenting writer.
// Names compare case-sensitively everywhere and the first match wins. Nothing here touches
// files or validates; text is kept exactly as the script or the document gave it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "text/workmeter.h"
#include "value/value.h"
#include "xml/xmlattribute.h"

namespace tavlo {

class TqelXMLFilter;

// Bounds a long write: a document with many or long values can ask for gigabytes. The writer
// reports the text's size to this function: once before it writes anything, with the least
// the text will take (its indentation), then after about every kXMLReportBytes it appends.
// The function raises to stop the write (a script's time limit, a size limit); the text is
// then unfinished.
using TqelXMLSizeReport = std::function<void(std::size_t bytes)>;
constexpr std::size_t kXMLReportBytes = std::size_t{1} << 20;
// Lines deeper than this level are indented as this level. Two blanks per level on every
// line would make the text grow with the square of the depth (a 700 KB document nested
// 100,000 levels deep would need 20 GB); the readers trim what stands around a tag or a
// value, so no document reads differently for it, and documents up to this depth are
// written exactly as before.
constexpr int kXMLMaxIndentLevel = 64;

class TqelXMLNode {
 public:
  // A node is created with the empty text as value, no children and no attributes.
  explicit TqelXMLNode(std::string name, TqelXMLNode* parent = nullptr);
  // Frees the subtree without recursion, so documents of any depth can be freed.
  virtual ~TqelXMLNode() noexcept;
  TqelXMLNode(const TqelXMLNode&) = delete;
  TqelXMLNode& operator=(const TqelXMLNode&) = delete;

  TqelXMLAttribute* AddAttribute(const std::string& name, const Variant& value);
  // Appends a child named name with the empty text as value.
  TqelXMLNode* AddChild(const std::string& name);
  // Creates a child from a normalised tag text ("name a=\"1\" b=\"2\"", a trailing "/" allowed).
  TqelXMLNode* AddNodeFromTag(const std::string& tag, const Variant& value);
  TqelXMLAttribute* FindAttribute(const std::string& name) const;
  TqelXMLNode* FindChild(const std::string& name) const;
  // Out-of-range indexes do nothing.
  void DeleteAttributeAt(int index);
  void DeleteNodeAt(int index);
  void ClearAttributes();
  void ClearNodes();

  // Paths are steps separated by "/"; GetNode reads "name[k]" (k from 0, "end" or -1 the
  // last one of that name), ForceNode creates what is missing and "+name" always appends.
  TqelXMLNode* GetNode(const std::string& path);
  TqelXMLNode* ForceNode(const std::string& path);
  TqelXMLAttribute* ForceAttribute(const std::string& path, const std::string& name,
                                   const Variant& value);
  TqelXMLAttribute* GetAttribute(const std::string& path, const std::string& name);
  void DeleteNode(const std::string& path);
  void DeleteAttribute(const std::string& path, const std::string& name);
  // The value of the first attribute of that name, or Null.
  Variant GetAttributeValue(const std::string& name) const;

  // The node and its subtree as indented text (two blanks per level up to
  // kXMLMaxIndentLevel, CR LF line ends).
  // Raises the value type's conversion error for a value that has no text (Null).
  std::string AsXML(int level) const;
  void AppendXML(std::string& out, int level, const TqelXMLSizeReport& report = {}) const;
  // The blanks the indenting writer puts before this node's and its subtree's lines at that
  // level: the least AsXML will take. No text is built.
  std::size_t IndentationBytes(int level) const;

  // Appends every element that the filtered path reaches from this node, in document order;
  // the meter steps per element visited.
  void SelectNodes(const std::string& path, std::vector<TqelXMLNode*>& list,
                   const TWorkMeter& meter = {});
  bool MatchFilter(const TqelXMLFilter& filter) const;

  // True when node is this node or one of its ancestors.
  bool IsWithin(const TqelXMLNode* node) const;

  std::string Name;
  Variant Value;
  std::vector<std::unique_ptr<TqelXMLNode>> Nodes;
  std::vector<std::unique_ptr<TqelXMLAttribute>> Attributes;
  TqelXMLNode* ParentNode;  // not owned; none for a document's root
  bool CDATA = false;       // the value came from a CDATA section and is written as one
};

}  // namespace tavlo
