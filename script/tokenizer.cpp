// The tokenizer of the script compiler.
#include "script/tokenizer.h"

#include "script/qelscript.h"

namespace tavlo {

bool TqelTokenizer::Next(std::string& token) {
  while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= 32) ++pos_;
  if (pos_ >= text_.size()) return false;
  start_ = pos_;
  const char first = text_[pos_];
  if (first == '"' || first == '\'' || first == '[') {
    const char closing = first == '[' ? ']' : first;
    std::size_t end = text_.find(closing, pos_ + 1);
    if (end == std::string::npos) {
      TqelScript::Fail((first == '[' ? "unterminated block near " : "unterminated string near ") +
                       text_.substr(pos_));
    }
    token.assign(text_, pos_, end + 1 - pos_);
    pos_ = end + 1;
    return true;
  }
  std::size_t end = text_.find(' ', pos_);
  if (end == std::string::npos) {
    token.assign(text_, pos_, std::string::npos);
    pos_ = text_.size();
  } else {
    token.assign(text_, pos_, end - pos_);
    pos_ = end + 1;
  }
  return true;
}

}  // namespace tavlo
