// Path lookup and creation on an element: GetNode with indexes, ForceNode with "+", and the
// attribute and deletion operations built on them. Lookups report nothing: any malformed step,
// bad index or missing element gives none.
#include <cassert>
#include <charconv>

#include "xml/xmlnode.h"

namespace tavlo {

namespace {

// The step of path that starts at offset at, up to the next "/"; at moves to the rest, which
// is the end of the path when there is none. Steps are read in place: copying the rest of the
// path after every step made a path of n steps cost n times its length.
std::string NextStep(const std::string& path, std::size_t& at) {
  std::size_t slash = path.find('/', at);
  if (slash == std::string::npos) slash = path.size();
  std::string step = path.substr(at, slash - at);
  at = slash < path.size() ? slash + 1 : slash;
  return step;
}

bool ParseIndex(const std::string& text, long long& index) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return false;
  auto [end, error] = std::from_chars(first, last, index);
  return error == std::errc() && end == last;
}

}  // namespace

TqelXMLNode* TqelXMLNode::GetNode(const std::string& path) {
  TqelXMLNode* node = this;
  std::size_t at = 0;
  while (true) {
    if (node->Nodes.empty()) return nullptr;
    if (at == path.size()) return node;
    const std::string step = NextStep(path, at);
    std::string name = step;
    long long index = 0;
    std::size_t bracket = step.find('[');
    if (bracket != std::string::npos) {
      name = step.substr(0, bracket);
      // The closing "]" is taken to be the step's last character.
      std::size_t from = bracket + 1;
      std::size_t to = step.size() - 1;
      std::string indexText = from < to ? step.substr(from, to - from) : std::string();
      if (indexText == "end") {
        index = -1;
      } else if (!ParseIndex(indexText, index) ||
                 index >= static_cast<long long>(node->Nodes.size())) {
        return nullptr;
      }
    }
    TqelXMLNode* found = nullptr;
    if (index == -1) {
      for (auto child = node->Nodes.rbegin(); child != node->Nodes.rend(); ++child) {
        if ((*child)->Name == name) {
          found = child->get();
          break;
        }
      }
    } else {
      long long seen = 0;
      for (const auto& child : node->Nodes) {
        if (child->Name == name && seen++ == index) {
          found = child.get();
          break;
        }
      }
    }
    if (!found) return nullptr;
    if (at == path.size()) return found;
    node = found;
  }
}

TqelXMLNode* TqelXMLNode::ForceNode(const std::string& path) {
  TqelXMLNode* node = this;
  std::size_t at = 0;
  while (true) {
    std::string step = NextStep(path, at);
    TqelXMLNode* child = nullptr;
    std::size_t plus = step.find('+');
    if (plus != std::string::npos) {
      step.erase(plus, 1);
    } else {
      child = node->FindChild(step);
    }
    if (!child) child = node->AddChild(step);
    if (at == path.size()) return child;
    node = child;
  }
}

TqelXMLAttribute* TqelXMLNode::ForceAttribute(const std::string& path, const std::string& name,
                                              const Variant& value) {
  TqelXMLNode* node = ForceNode(path);
  TqelXMLAttribute* attribute = node->FindAttribute(name);
  if (!attribute) return node->AddAttribute(name, value);
  attribute->Value = value;
  return attribute;
}

TqelXMLAttribute* TqelXMLNode::GetAttribute(const std::string& path, const std::string& name) {
  TqelXMLNode* node = GetNode(path);
  return node ? node->FindAttribute(name) : nullptr;
}

void TqelXMLNode::DeleteNode(const std::string& path) {
  if (path.empty()) return;
  TqelXMLNode* node = GetNode(path);
  if (!node) return;
  TqelXMLNode* parent = node->ParentNode;
  assert(parent);  // a non-empty path never yields the node it starts from
  for (std::size_t i = 0; i < parent->Nodes.size(); ++i) {
    if (parent->Nodes[i].get() == node) {
      parent->DeleteNodeAt(static_cast<int>(i));
      return;
    }
  }
}

void TqelXMLNode::DeleteAttribute(const std::string& path, const std::string& name) {
  TqelXMLAttribute* attribute = GetAttribute(path, name);
  if (!attribute) return;
  TqelXMLNode* owner = attribute->Node;
  for (std::size_t i = 0; i < owner->Attributes.size(); ++i) {
    if (owner->Attributes[i].get() == attribute) {
      owner->DeleteAttributeAt(static_cast<int>(i));
      return;
    }
  }
}

}  // namespace tavlo
