// TqelXMLFilter and TqelXMLFilterAtom: one parsed step of a selection path, such as
// book[@id $gt$ 1][title $ieq$ "b"], and its conditions. Parsing never fails loudly: a
// condition that does not parse ends the condition list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavlo {

class TqelXMLFilterAtom {
 public:
  // Operator codes; each is written with one blank on either side (" $ge$ ").
  enum : std::uint8_t {
    kExists = 0,    // (none)
    kEqual = 1,     // " = ", " $eq$ "
    kIEqual = 2,    // " $ieq$ "
    kNotEqual = 3,  // " $ne$ "
    kINotEqual = 4,
    kGreaterEqual = 5,   // numbers
    kIGreaterEqual = 6,  // texts ignoring case
    kLessEqual = 7,
    kILessEqual = 8,
    kGreater = 9,
    kIGreater = 10,
    kLess = 11,
    kILess = 12,
  };

  // Parses "name", "name op value" (without the leading "@"); false when the condition has an
  // operator but an empty name or value.
  bool ParseCondition(const std::string& text, bool isAttribute);
  // Whether the tested text satisfies the operator against Value.
  bool Holds(const std::string& text) const;

  std::string Name;
  std::string Value;
  std::uint8_t Operator = kExists;
  bool IsAttribute = false;
};

class TqelXMLFilter {
 public:
  explicit TqelXMLFilter(const std::string& step);
  virtual ~TqelXMLFilter() noexcept = default;

  std::string Name;
  std::vector<TqelXMLFilterAtom> Conditions;
};

// Removes one leading and one trailing quote (single or double) from the trimmed text.
std::string UnquoteXMLValue(const std::string& text);

}  // namespace tavlo
