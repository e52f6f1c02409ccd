// TqelTokenizer: splits the prepared working text of a compile into tokens. Only the space
// separates ordinary tokens; quoted strings and [blocks] end at their closing mark.
#pragma once

#include <cstddef>
#include <string>

namespace tavlo {

class TqelTokenizer {
 public:
  explicit TqelTokenizer(const std::string& text) : text_(text) {}
  // The next token, or false when the text is used up. Raises EqelScriptError for an
  // unterminated string or block.
  bool Next(std::string& token);
  // Offset in the text where the last token began.
  std::size_t TokenStart() const noexcept { return start_; }
  // The text after the last token ("rest" in messages).
  std::string Rest() const { return text_.substr(pos_ < text_.size() ? pos_ : text_.size()); }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
  std::size_t start_ = 0;
};

}  // namespace tavlo
