// like and in: the containment test and the set items.
#include "script/setmatch.h"

#include "text/qelstrings.h"
#include "text/trim.h"

namespace tavlo {

bool LikeMatches(std::string_view text, std::string_view pattern) {
  return !pattern.empty() && FindBytes(text, pattern, 0, &AsciiFoldTable) != std::string::npos;
}

bool TSetItems::Next(TSetItem& item) {
  while (at_ < set_.size() && static_cast<unsigned char>(set_[at_]) <= 32) ++at_;
  if (at_ >= set_.size() || unclosed_) return false;
  std::string_view text;
  if (set_[at_] == '"') {
    const std::size_t close = set_.find('"', at_ + 1);
    if (close == std::string_view::npos) {
      unclosed_ = true;
      return false;
    }
    text = set_.substr(at_ + 1, close - at_ - 1);
    at_ = close + 1;
  } else {
    std::size_t space = set_.find(' ', at_);
    if (space == std::string_view::npos) space = set_.size();
    text = set_.substr(at_, space - at_);
    at_ = space;
  }
  const std::size_t dots = text.find("..");
  item.ranged = dots != std::string_view::npos;
  if (!item.ranged) {
    item.low.assign(text);
    item.high.clear();
  } else {
    item.low = TrimControl(text.substr(0, dots));
    item.high = TrimControl(text.substr(dots + 2));
  }
  return true;
}

bool TextMatchesItem(std::string_view text, const TSetItem& item) {
  if (!item.ranged) return text == item.low;
  return text.compare(item.low) >= 0 && text.compare(item.high) <= 0;
}

}  // namespace tavlo
