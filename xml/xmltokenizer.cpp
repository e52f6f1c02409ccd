// The lenient XML tokenizer and the line and CDATA text helpers.
// Every search is bounded by the text and remembers failed searches, so stray "<" characters
// cost linear time and an unterminated section or tag never loops.
#include "xml/xmltokenizer.h"

#include <cstring>

#include "platform/asciitext.h"
#include "text/qelstrings.h"
#include "text/trim.h"

namespace tavlo {

namespace {

bool IsCDATAOpening(const std::string& text, std::size_t at) {
  static const char kOpening[] = "<![CDATA[";
  constexpr std::size_t kLength = sizeof(kOpening) - 1;
  if (text.size() - at < kLength) return false;
  for (std::size_t i = 0; i < kLength; ++i) {
    if (UpperAscii(text[at + i]) != kOpening[i]) return false;
  }
  return true;
}

// Finds a pattern at or after a position, caching a failed search: once nothing was found from
// some position, nothing can be found from any later one.
class BoundedFinder {
 public:
  BoundedFinder(const std::string& text, const char* pattern) : text_(text), pattern_(pattern) {}
  std::size_t Find(std::size_t from) {
    if (found_ != std::string::npos && found_ >= from && searchedFrom_ <= from) return found_;
    if (missingFrom_ != std::string::npos && from >= missingFrom_) return std::string::npos;
    std::size_t at = text_.find(pattern_, from);
    if (at == std::string::npos) {
      missingFrom_ = from;
    } else {
      found_ = at;
      searchedFrom_ = from;
    }
    return at;
  }

 private:
  const std::string& text_;
  const char* pattern_;
  std::size_t found_ = std::string::npos;
  std::size_t searchedFrom_ = 0;
  std::size_t missingFrom_ = std::string::npos;
};

// Emits the text between two tags; most such runs are only the indentation of the next tag,
// so blank runs are recognised without copying them.
void EmitText(std::vector<std::string>& tokens, const std::string& text, std::size_t from,
              std::size_t to) {
  while (from < to && static_cast<unsigned char>(text[from]) <= 32) ++from;
  if (from == to) return;
  std::string normalised = NormaliseXMLText(text.substr(from, to - from));
  if (!normalised.empty()) tokens.push_back("TX:" + normalised);
}

}  // namespace

std::string NormaliseXMLText(const std::string& text) {
  const std::string_view trimmed = TrimControl(text);
  std::string result;
  result.reserve(trimmed.size());
  for (std::size_t i = 0; i < trimmed.size(); ++i) {
    char c = trimmed[i];
    if (c == '\r' && i + 1 < trimmed.size() && trimmed[i + 1] == '\n') {
      result += ' ';
      ++i;
    } else if (c == '\t') {
      result += ' ';
    } else {
      result += c;
    }
  }
  return std::string(TrimControl(result));
}

std::string EncodeCDATA(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      result += "\\n ";
      ++i;
    } else if (c == '\t') {
      result += "\\t ";
    } else {
      result += c;
    }
  }
  return result;
}

std::string DecodeCDATA(const std::string& text) {
  // Line breaks first, then tabs, each as a whole pass: "\n " is never part of a "\t " marker.
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "\\n ") == 0) {
      lines += "\r\n";
      i += 2;
    } else {
      lines += text[i];
    }
  }
  std::string result;
  result.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines.compare(i, 3, "\\t ") == 0) {
      result += '\t';
      i += 2;
    } else {
      result += lines[i];
    }
  }
  return result;
}

std::vector<std::string> TokenizeXML(const std::string& text, const TWorkMeter& meter) {
  std::vector<std::string> tokens;
  BoundedFinder nextClose(text, ">");
  BoundedFinder nextCDATAEnd(text, "]]>");
  std::size_t p = 0;
  while (p < text.size()) {
    meter.Step();
    std::size_t open = text.find('<', p);
    if (open == std::string::npos) {
      EmitText(tokens, text, p, text.size());
      break;
    }
    EmitText(tokens, text, p, open);
    if (IsCDATAOpening(text, open)) {
      std::size_t start = open + 9;
      // "<![CDATA[" holds no "]]>", so searching from its end finds the same one.
      std::size_t end = nextCDATAEnd.Find(start);
      if (end == std::string::npos) {
        // Unterminated: the rest of the text is the section, without the line break that
        // ended the last line.
        std::string rest = text.substr(start);
        if (rest.size() >= 2 && rest.compare(rest.size() - 2, 2, "\r\n") == 0) {
          rest.resize(rest.size() - 2);
        }
        tokens.push_back("CD:" + EncodeCDATA(rest));
        break;
      }
      tokens.push_back("CD:" + EncodeCDATA(text.substr(start, end - start)));
      p = end + 3;
      continue;
    }
    std::size_t close = nextClose.Find(open);
    if (close == std::string::npos) {
      p = open + 1;  // the "<" is dropped and what follows is read as text
      continue;
    }
    std::string contents = text.substr(open + 1, close - open - 1);
    p = close + 1;
    if (contents.empty()) continue;  // "<>" names nothing
    if (contents.front() == '/') {
      tokens.push_back("CT:" + NormaliseXMLText(contents.substr(1)));
    } else {
      tokens.push_back((contents.back() == '/' ? "ET:" : "OT:") + NormaliseXMLText(contents));
    }
  }
  return tokens;
}

std::vector<std::string> SplitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  const std::size_t size = text.size();
  while (start < size) {
    std::size_t end = start;
    while (end < size && text[end] != '\r' && text[end] != '\n') ++end;
    lines.emplace_back(text, start, end - start);
    if (end < size && text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') {
      start = end + 2;
    } else {
      start = end + 1;
    }
  }
  return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
  std::size_t total = 0;
  for (const std::string& line : lines) total += line.size() + 2;
  std::string text;
  text.reserve(total);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::string NormaliseLineBreaks(const std::string& text) {
  std::string result;
  result.reserve(text.size() + 2);
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      result += "\r\n";
      if (c == '\r' && i + 1 < size && text[i + 1] == '\n') ++i;
    } else {
      result += c;
    }
  }
  if (!result.empty() && result.back() != '\n') result += "\r\n";
  return result;
}

}  // namespace tavlo
