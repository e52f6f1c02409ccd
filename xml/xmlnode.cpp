// The element model: construction, teardown, children and attributes.
#include "xml/xmlnode.h"

namespace tavlo {

TqelXMLNode::TqelXMLNode(std::string name, TqelXMLNode* parent)
    : Name(std::move(name)), Value(std::string()), ParentNode(parent) {}

TqelXMLNode::~TqelXMLNode() noexcept {
  // A document of unclosed tags nests as deep as it is long; freeing it recursively would
  // overflow the stack, so the subtree is flattened first.
  std::vector<std::unique_ptr<TqelXMLNode>> pending = std::move(Nodes);
  while (!pending.empty()) {
    std::unique_ptr<TqelXMLNode> node = std::move(pending.back());
    pending.pop_back();
    for (auto& child : node->Nodes) pending.push_back(std::move(child));
    node->Nodes.clear();
  }
}

TqelXMLAttribute* TqelXMLNode::AddAttribute(const std::string& name, const Variant& value) {
  Attributes.push_back(std::make_unique<TqelXMLAttribute>(name, value, this));
  return Attributes.back().get();
}

TqelXMLNode* TqelXMLNode::AddChild(const std::string& name) {
  Nodes.push_back(std::make_unique<TqelXMLNode>(name, this));
  return Nodes.back().get();
}

TqelXMLAttribute* TqelXMLNode::FindAttribute(const std::string& name) const {
  for (const auto& attribute : Attributes) {
    if (attribute->Name == name) return attribute.get();
  }
  return nullptr;
}

TqelXMLNode* TqelXMLNode::FindChild(const std::string& name) const {
  for (const auto& child : Nodes) {
    if (child->Name == name) return child.get();
  }
  return nullptr;
}

void TqelXMLNode::DeleteAttributeAt(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= Attributes.size()) return;
  Attributes.erase(Attributes.begin() + index);
}

void TqelXMLNode::DeleteNodeAt(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= Nodes.size()) return;
  Nodes.erase(Nodes.begin() + index);
}

void TqelXMLNode::ClearAttributes() {
  Attributes.clear();
}

void TqelXMLNode::ClearNodes() {
  Nodes.clear();
}

Variant TqelXMLNode::GetAttributeValue(const std::string& name) const {
  const TqelXMLAttribute* attribute = FindAttribute(name);
  return attribute ? attribute->Value : Variant::Null();
}

bool TqelXMLNode::IsWithin(const TqelXMLNode* node) const {
  for (const TqelXMLNode* at = this; at; at = at->ParentNode) {
    if (at == node) return true;
  }
  return false;
}

}  // namespace tavlo
