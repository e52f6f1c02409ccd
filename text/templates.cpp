// Template texts: expanding {begin:NAME}...{end:NAME} blocks before their {block:NAME} place,
// and removing block definitions and brace markers. Unterminated markers are left as text.
#include <cstddef>

#include "text/qelstrings.h"

namespace tavlo {

bool ExpandBlock(std::string& text, const std::string& name) {
  const int place = LastPosNoCase("{block:" + name + "}", text);
  if (place == 0) return false;
  const std::string beginTag = "{begin:" + name + "}";
  const int begin = PosFromNoCase(beginTag, text, 1);
  if (begin == 0) return false;
  const int end = PosFromNoCase("{end:" + name + "}", text, begin);
  if (end == 0) return false;
  const std::size_t bodyStart = static_cast<std::size_t>(begin) - 1 + beginTag.size();
  const std::size_t bodyEnd = static_cast<std::size_t>(end) - 1;
  // The end tag may overlap the begin tag only when the name itself holds "}": no body then.
  const std::string body =
      bodyEnd > bodyStart ? text.substr(bodyStart, bodyEnd - bodyStart) : std::string();
  text.insert(static_cast<std::size_t>(place) - 1, body);
  return true;
}

std::string RemoveBlockDefinitions(const std::string& text) {
  std::string result;
  std::string rest = text;
  for (;;) {
    const int begin = PosFromNoCase("{begin:", rest, 1);
    if (begin == 0) break;
    const int end = PosFromNoCase("{end:", rest, begin);
    if (end == 0) break;
    const int close = PosFrom("}", rest, end);
    if (close == 0) break;
    result += rest.substr(0, static_cast<std::size_t>(begin) - 1);
    rest.erase(0, static_cast<std::size_t>(close));
  }
  return result + rest;
}

std::string RemoveBraceMarkers(const std::string& text) {
  std::string result;
  std::size_t from = 0;
  for (;;) {
    const std::size_t open = text.find('{', from);
    if (open == std::string::npos) break;
    const std::size_t close = text.find('}', open + 1);
    if (close == std::string::npos) break;
    result.append(text, from, open - from);
    from = close + 1;
  }
  result.append(text, from, std::string::npos);
  return result;
}

}  // namespace tavlo
