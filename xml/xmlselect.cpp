// Selection by filtered paths: SelectNodes walks the tree for a path of steps such as
// lib//book[@id $gt$ 1]/title, and MatchFilter tests one element against one step.
// The walk keeps its own stack, so a deep search works on documents of any depth.
#include <cstddef>

#include "xml/xmlfilter.h"
#include "xml/xmlnode.h"

namespace tavlo {

namespace {

struct SelectStep {
  bool deep;  // written after "//": searched for at any depth below the previous step
  TqelXMLFilter filter;
};

// The steps are read in place from a moving start: erasing each step from a copy made a path
// of n steps cost n times its length.
std::vector<SelectStep> ParseSelectPath(const std::string& path) {
  std::vector<SelectStep> steps;
  std::size_t at = 0;
  while (true) {
    bool deep = path.compare(at, 2, "//") == 0;
    if (deep) at += 2;
    std::size_t slash = path.find('/', at);
    if (slash == std::string::npos) {
      steps.push_back({deep, TqelXMLFilter(path.substr(at))});
      return steps;
    }
    steps.push_back({deep, TqelXMLFilter(path.substr(at, slash - at))});
    // A "//" keeps both slashes so that the next step is deep too.
    bool nextDeep = slash + 1 < path.size() && path[slash + 1] == '/';
    at = nextDeep ? slash : slash + 1;
  }
}

struct SelectFrame {
  TqelXMLNode* node;
  std::size_t step;
  std::size_t nextChild;
};

}  // namespace

void TqelXMLNode::SelectNodes(const std::string& path, std::vector<TqelXMLNode*>& list,
                              const TWorkMeter& meter) {
  if (Nodes.empty()) return;
  const std::vector<SelectStep> steps = ParseSelectPath(path);
  std::vector<SelectFrame> frames{{this, 0, 0}};
  while (!frames.empty()) {
    SelectFrame& frame = frames.back();
    if (frame.nextChild >= frame.node->Nodes.size()) {
      frames.pop_back();
      continue;
    }
    meter.Step();
    TqelXMLNode* element = frame.node->Nodes[frame.nextChild++].get();
    std::size_t step = frame.step;
    if (element->MatchFilter(steps[step].filter)) {
      if (step + 1 < steps.size()) {
        frames.push_back({element, step + 1, 0});
      } else {
        list.push_back(element);
      }
    } else if (steps[step].deep) {
      frames.push_back({element, step, 0});
    }
  }
}

bool TqelXMLNode::MatchFilter(const TqelXMLFilter& filter) const {
  // With conditions, the name written before the brackets is not compared.
  if (filter.Conditions.empty()) return Name == filter.Name;
  for (const TqelXMLFilterAtom& condition : filter.Conditions) {
    bool holds = false;
    if (condition.IsAttribute && condition.Name == "*") {
      for (const auto& attribute : Attributes) {
        if (condition.Holds(attribute->Value.ToText())) {
          holds = true;
          break;
        }
      }
    } else if (condition.IsAttribute) {
      const TqelXMLAttribute* attribute = FindAttribute(condition.Name);
      holds = attribute && condition.Holds(attribute->Value.ToText());
    } else {
      const TqelXMLNode* child = FindChild(condition.Name);
      holds = child && condition.Holds(child->Value.ToText());
    }
    if (!holds) return false;
  }
  return true;
}

}  // namespace tavlo
