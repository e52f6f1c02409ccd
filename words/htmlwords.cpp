// The html.method words that change the letter case of the tags of an HTML text (leaving
// content and comments alone), and htmltocolor.
#include <cstddef>
#include <string>

#include "platform/asciitext.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "words/commonwords.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

std::string ChangeTagCase(const std::string& text, bool upper) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (;;) {
    const std::size_t open = text.find('<', at);
    if (open == std::string::npos) break;
    out.append(text, at, open - at);
    if (text.compare(open, 4, "<!--") == 0) {
      const std::size_t close = text.find("-->", open);
      if (close == std::string::npos) {
        at = open;
        break;
      }
      out.append(text, open, close + 3 - open);
      at = close + 3;
      continue;
    }
    const std::size_t close = text.find('>', open);
    if (close == std::string::npos) {
      at = open;
      break;
    }
    for (std::size_t i = open; i <= close; ++i) {
      char c = text[i];
      out += upper ? UpperAscii(c) : LowerAscii(c);
    }
    at = close + 1;
  }
  out.append(text, at, std::string::npos);
  return out;
}

void HtmlFamily(TqelScript& s) {
  const std::string& method = s.CurrentMethod();
  if (method == "lcase" || method == "ucase") {
    s.Push(Variant(ChangeTagCase(s.PopText(), method == "ucase")));
    return;
  }
  TqelScript::Fail("unrecognized HTML method html." + method);
}

void WordHtmlToColor(TqelScript& s) {
  s.Push(Variant(static_cast<std::int32_t>(HtmlColorToColor(s.PopText()))));
}

const TqelWord kHtmlWords[] = {{"htmltocolor", WordHtmlToColor}};

}  // namespace

void RegisterHtmlWords() {
  RegisterWords(kHtmlWords);
  RegisterMethodFamily(TqelMethodFamily::Html, HtmlFamily);
}

}  // namespace tavlo
