// TqelXMLAttribute: one name="value" attribute of an XML element, owned by its element.
// It holds the value as written; nothing is ever escaped or decoded here.
#pragma once

#include <string>

#include "value/value.h"

namespace tavlo {

class TqelXMLNode;

class TqelXMLAttribute {
 public:
  TqelXMLAttribute(std::string name, Variant value, TqelXMLNode* node)
      : Name(std::move(name)), Value(std::move(value)), Node(node) {}
  TqelXMLAttribute(const TqelXMLAttribute&) = delete;
  TqelXMLAttribute& operator=(const TqelXMLAttribute&) = delete;

  // One blank, the name, =, and the value's text in double quotes.
  std::string AsXML() const;
  void AppendXML(std::string& out) const;

  std::string Name;
  Variant Value;
  TqelXMLNode* Node;  // the owning element, not owned
};

}  // namespace tavlo
