// Parsing of selection steps into filters and conditions, and the condition tests.
#include "xml/xmlfilter.h"

#include <cstring>

#include "platform/asciitext.h"
#include "platform/regional.h"
#include "text/qelstrings.h"
#include "text/trim.h"

namespace tavlo {

namespace {

struct OperatorSpelling {
  const char* text;
  std::uint8_t code;
};

// Searched in this order; the first spelling that occurs anywhere in the condition wins.
constexpr OperatorSpelling kOperators[] = {
    {" $ne$ ", TqelXMLFilterAtom::kNotEqual},     {" $ine$ ", TqelXMLFilterAtom::kINotEqual},
    {" $ge$ ", TqelXMLFilterAtom::kGreaterEqual}, {" $ige$ ", TqelXMLFilterAtom::kIGreaterEqual},
    {" $gt$ ", TqelXMLFilterAtom::kGreater},      {" $igt$ ", TqelXMLFilterAtom::kIGreater},
    {" $le$ ", TqelXMLFilterAtom::kLessEqual},    {" $ile$ ", TqelXMLFilterAtom::kILessEqual},
    {" $lt$ ", TqelXMLFilterAtom::kLess},         {" $ilt$ ", TqelXMLFilterAtom::kILess},
    {" $eq$ ", TqelXMLFilterAtom::kEqual},        {" $ieq$ ", TqelXMLFilterAtom::kIEqual},
    {" = ", TqelXMLFilterAtom::kEqual},
};

// Both texts as numbers; false when either is not one (the condition then fails).
bool CompareNumbers(const std::string& a, const std::string& b, int& order) {
  double x = 0;
  double y = 0;
  if (!TextToFloat(a, x) || !TextToFloat(b, y)) return false;
  order = x < y ? -1 : (x > y ? 1 : 0);
  return x == x && y == y;  // NaN orders with nothing
}

}  // namespace

std::string UnquoteXMLValue(const std::string& text) {
  std::string value(TrimControl(text));
  if (!value.empty() && (value.front() == '"' || value.front() == '\'')) value.erase(0, 1);
  if (!value.empty() && (value.back() == '"' || value.back() == '\'')) value.pop_back();
  return value;
}

bool TqelXMLFilterAtom::ParseCondition(const std::string& text, bool isAttribute) {
  IsAttribute = isAttribute;
  for (const OperatorSpelling& spelling : kOperators) {
    std::size_t at = text.find(spelling.text);
    if (at == std::string::npos) continue;
    Name = TrimControl(std::string_view(text).substr(0, at));
    Value = UnquoteXMLValue(text.substr(at + std::strlen(spelling.text)));
    Operator = spelling.code;
    return !Name.empty() && !Value.empty();
  }
  Name = text;
  Value.clear();
  Operator = kExists;
  return true;
}

bool TqelXMLFilterAtom::Holds(const std::string& text) const {
  int order = 0;
  switch (Operator) {
    case kExists:
      return true;
    case kEqual:
      return text == Value;
    case kIEqual:
      return CompareNoCaseAscii(text, Value) == 0;
    case kNotEqual:
      return text != Value;
    case kINotEqual:
      return CompareNoCaseAscii(text, Value) != 0;
    case kGreaterEqual:
      return CompareNumbers(text, Value, order) && order >= 0;
    case kIGreaterEqual:
      return CompareNoCaseAscii(text, Value) >= 0;
    case kLessEqual:
      return CompareNumbers(text, Value, order) && order <= 0;
    case kILessEqual:
      return CompareNoCaseAscii(text, Value) <= 0;
    case kGreater:
      return CompareNumbers(text, Value, order) && order > 0;
    case kIGreater:
      return CompareNoCaseAscii(text, Value) > 0;
    case kLess:
      return CompareNumbers(text, Value, order) && order < 0;
    case kILess:
      return CompareNoCaseAscii(text, Value) < 0;
    default:
      return false;
  }
}

TqelXMLFilter::TqelXMLFilter(const std::string& step) {
  std::size_t bracket = step.find('[');
  if (bracket == std::string::npos) {
    Name = step;
    return;
  }
  Name = step.substr(0, bracket);
  // Each condition is read from a moving start; what lies between two conditions is skipped.
  std::size_t at = bracket;
  do {
    std::size_t open = step.find('[', at);
    if (open == std::string::npos) break;
    std::size_t close = step.find(']', open + 1);
    if (close == std::string::npos) break;
    std::string condition = step.substr(open + 1, close - open - 1);
    at = close + 1;
    if (condition.empty()) break;
    TqelXMLFilterAtom atom;
    bool parsed = condition.front() == '@' ? atom.ParseCondition(condition.substr(1), true)
                                           : atom.ParseCondition(condition, false);
    if (!parsed) break;
    Conditions.push_back(std::move(atom));
  } while (at < step.size());
}

}  // namespace tavlo
