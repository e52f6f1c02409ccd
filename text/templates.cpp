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

// Each definition is found after the one before: the text between them is copied once, never
// the rest of the text (erasing each definition from a copy made a template of n blocks cost
// n times its length).
std::string RemoveBlockDefinitions(const std::string& text, const TWorkMeter& meter) {
  std::string result;
  std::size_t from = 0;
  for (;;) {
    meter.Step();
    const std::size_t begin = FindBytes(text, "{begin:", from, &FoldTable);
    if (begin == std::string::npos) break;
    const std::size_t end = FindBytes(text, "{end:", begin, &FoldTable);
    if (end == std::string::npos) break;
    const std::size_t close = text.find('}', end);
    if (close == std::string::npos) break;
    result.append(text, from, begin - from);
    from = close + 1;
  }
  result.append(text, from, std::string::npos);
  return result;
}

std::string RemoveBraceMarkers(const std::string& text, const TWorkMeter& meter) {
  std::string result;
  std::size_t from = 0;
  for (;;) {
    meter.Step();
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
