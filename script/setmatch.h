// The matching of the like, unlike and in words, written once: the interpreter's words and the
// filter plan (query/filterplan.h) both call it, so that they agree by construction. like
// looks for a text inside another, the letters A to Z matching either case; in reads a set
// text item by item. Pure functions over byte strings; nothing here evaluates a script.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavlo {

// Whether pattern occurs in text, A-Z and a-z matching each other (nothing else folds). The
// empty pattern occurs nowhere, so like with '' is false.
bool LikeMatches(std::string_view text, std::string_view pattern);

// One item of a set: a value, or a range low..high, both bounds trimmed of bytes up to 32
// (a single value is kept as written).
struct TSetItem {
  std::string low;  // the value, or the range's lower bound
  std::string high;
  bool ranged = false;
};

// The items of a set text in turn: separated by blanks and control bytes, an item that starts
// with a double quote runs to the next one (blanks inside), any other to the next space.
class TSetItems {
 public:
  explicit TSetItems(std::string_view set) : set_(set) {}
  // The next item; false at the end, and at a quote that is never closed (Unclosed()): the
  // set is not read past it, and the test answers false from there on.
  bool Next(TSetItem& item);
  bool Unclosed() const { return unclosed_; }

 private:
  std::string_view set_;
  std::size_t at_ = 0;
  bool unclosed_ = false;
};

// Whether a text is the item, or lies within its range, by byte order.
bool TextMatchesItem(std::string_view text, const TSetItem& item);

}  // namespace tavlo
