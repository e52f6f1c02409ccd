// The attribute-line reader and writer (name="value" attributes on one line).
// Neither ever fails: a missing name or an unterminated value reads as empty and is left alone.
#include <cstddef>

#include "text/qelstrings.h"

namespace tavlo {

namespace {

// Replaces every "~~" by CR LF, left to right, without rescanning what was replaced.
std::string ExpandLineBreaks(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '~' && i + 1 < value.size() && value[i + 1] == '~') {
      out += "\r\n";
      ++i;
    } else {
      out += value[i];
    }
  }
  return out;
}

// 1-based position just after the opening quote of name=", or 0; the first occurrence
// anywhere counts, also inside a longer name or another value, as stored files expect.
int ValueStart(const std::string& line, const std::string& name) {
  const int found = PosFromNoCase(name + "=\"", line, 1);
  if (found == 0) return 0;
  return found + static_cast<int>(name.size()) + 2;
}

}  // namespace

std::string AttrGet(const std::string& line, const std::string& name) {
  const int v = ValueStart(line, name);
  if (v == 0) return std::string();
  const int close = PosFrom("\"", line, v);
  if (close == 0) return std::string();
  return ExpandLineBreaks(line.substr(static_cast<std::size_t>(v) - 1, close - v));
}

void AttrSet(std::string& line, const std::string& name, const std::string& value) {
  if (line.empty()) {
    line = name + "=\"" + value + "\"";
    return;
  }
  const int v = ValueStart(line, name);
  if (v == 0) {
    line += " " + name + "=\"" + value + "\"";
    return;
  }
  const int close = PosFrom("\"", line, v);
  if (close == 0) return;
  line.replace(static_cast<std::size_t>(v) - 1, static_cast<std::size_t>(close - v), value);
}

}  // namespace tavlo
