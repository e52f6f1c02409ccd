// The string words: cutting, searching, comparing, trimming, case changing and replacing,
// the pattern replacement with its capture registers, number formatting and conversions.
#include <cstddef>
#include <string>

#include "platform/asciitext.h"
#include "platform/errors.h"
#include "platform/regional.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "text/qelstrings.h"
#include "text/trim.h"
#include "words/commonwords.h"
#include "words/patternreplace.h"

namespace tavlo {

namespace {

// The 32 capture registers live for one run, like every other container of a script.
class TqelCaptureRegisters : public TqelRunState {
 public:
  void Clear() noexcept override {
    for (std::string& reg : Registers) reg.clear();
  }
  TqelCaptureRegisterArray Registers;
};

std::int32_t CompareBytes(const std::string& a, const std::string& b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
  }
  return static_cast<std::int32_t>(a.size()) - static_cast<std::int32_t>(b.size());
}

void WordLeft(TqelScript& s) {
  const std::int32_t n = s.PopInteger();
  const std::string text = s.PopText();
  s.Push(Variant(n <= 0 ? std::string() : text.substr(0, static_cast<std::size_t>(n))));
}

void WordRight(TqelScript& s) {
  const std::int32_t n = s.PopInteger();
  const std::string text = s.PopText();
  if (n <= 0) {
    s.Push(Variant(std::string()));
  } else if (static_cast<std::size_t>(n) >= text.size()) {
    s.Push(Variant(text));
  } else {
    s.Push(Variant(text.substr(text.size() - static_cast<std::size_t>(n))));
  }
}

void WordMid(TqelScript& s) {
  const std::int32_t count = s.PopInteger();
  std::int32_t start = s.PopInteger();
  const std::string text = s.PopText();
  if (start < 1) start = 1;
  if (count <= 0 || static_cast<std::size_t>(start) > text.size()) {
    s.Push(Variant(std::string()));
  } else {
    s.Push(
        Variant(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(count))));
  }
}

void WordFind(TqelScript& s) {
  const std::int32_t start = s.PopInteger();
  const std::string text = s.PopText();
  const std::string pattern = s.PopText();
  s.Push(Variant(static_cast<std::int32_t>(PosFromNoCase(pattern, text, start))));
}

void WordFindLast(TqelScript& s) {
  const std::string text = s.PopText();
  const std::string pattern = s.PopText();
  s.Push(Variant(static_cast<std::int32_t>(LastPosNoCase(pattern, text))));
}

void WordCompareStr(TqelScript& s) {
  const std::string b = s.PopText();
  const std::string a = s.PopText();
  s.Push(Variant(CompareBytes(a, b)));
}

void WordCompareText(TqelScript& s) {
  const std::string b = s.PopText();
  const std::string a = s.PopText();
  s.Push(Variant(CompareBytes(UpperAscii(a), UpperAscii(b))));
}

void WordTrim(TqelScript& s) {
  s.Push(Variant(std::string(TrimControl(s.PopText()))));
}

void WordTrimLeft(TqelScript& s) {
  s.Push(Variant(std::string(TrimLeftControl(s.PopText()))));
}

void WordTrimRight(TqelScript& s) {
  s.Push(Variant(std::string(TrimRightControl(s.PopText()))));
}

void WordUcase(TqelScript& s) {
  s.Push(Variant(UpperAscii(s.PopText())));
}
void WordLcase(TqelScript& s) {
  s.Push(Variant(LowerAscii(s.PopText())));
}

// Stack: old text new; the text to change is in the middle.
template <bool kAll>
void WordReplace(TqelScript& s) {
  const std::string newText = s.PopText();
  const std::string text = s.PopText();
  const std::string oldText = s.PopText();
  if (oldText.empty()) {
    s.Push(Variant(text));
    return;
  }
  std::string out;
  std::size_t from = 0;
  // Every search is linear, but a replacement of each of millions of matches is still long
  // work for one word: it keeps to the run's time limit.
  int untilClock = 4096;
  for (;;) {
    const std::size_t at = FindBytes(text, oldText, from);
    if (at == std::string::npos) break;
    out.append(text, from, at - from).append(newText);
    from = at + oldText.size();
    if (!kAll) break;
    if (--untilClock == 0) {
      s.CheckTimeOut();
      untilClock = 4096;
    }
  }
  out.append(text, from, std::string::npos);
  s.Push(Variant(std::move(out)));
}

template <bool kAll>
void WordRegReplace(TqelScript& s) {
  const bool caseSensitive = s.PopFlag();
  const std::string templ = s.PopText();
  const std::string pattern = s.PopText();
  const std::string subject = s.PopText();
  TqelCaptureRegisterArray& registers = s.RunState<TqelCaptureRegisters>().Registers;
  s.Push(Variant(
      PatternReplace(subject, pattern, templ, caseSensitive, kAll, registers, s.WorkMeter())));
}

void WordQuote(TqelScript& s) {
  std::string text = s.PopText();
  for (char& c : text)
    if (c == '\'') c = '"';
  s.Push(Variant(std::move(text)));
}

void WordCrlf(TqelScript& s) {
  s.Push(Variant(std::string("\r\n")));
}

void WordFix(TqelScript& s) {
  const std::int32_t decimals = s.PopInteger();
  const double number = s.PopNumber();
  // More decimals than any double fills would only pad zeros (2147483647 of them once took
  // 4 GB): refused as the formatter refuses a negative count.
  if (decimals < 0 || decimals > kMaxFixedDecimals) {
    throw EConvertError("Format '%2." + std::to_string(decimals) +
                        "f' invalid or incompatible with argument");
  }
  std::string text = FloatToFixed(number, decimals);
  if (text.size() < 2) text.insert(0, 2 - text.size(), ' ');
  s.Push(Variant(std::move(text)));
}

void WordCstr(TqelScript& s) {
  s.Push(Variant(s.PopText()));
}
void WordCint(TqelScript& s) {
  s.Push(Variant(s.PopInteger()));
}
void WordCdbl(TqelScript& s) {
  s.Push(Variant(s.PopNumber()));
}

const TqelWord kStringWords[] = {
    {"left", WordLeft},
    {"right", WordRight},
    {"mid", WordMid},
    {"find", WordFind},
    {"findlast", WordFindLast},
    {"comparestr", WordCompareStr},
    {"comparetext", WordCompareText},
    {"trim", WordTrim},
    {"trimleft", WordTrimLeft},
    {"trimright", WordTrimRight},
    {"ucase", WordUcase},
    {"lcase", WordLcase},
    {"replace", WordReplace<false>},
    {"replaceall", WordReplace<true>},
    {"regreplace", WordRegReplace<false>},
    {"regreplaceall", WordRegReplace<true>},
    {"quote", WordQuote},
    {"crlf", WordCrlf},
    {"fix", WordFix},
    {"cstr", WordCstr},
    {"cint", WordCint},
    {"cdbl", WordCdbl},
};

}  // namespace

void RegisterStringWords() {
  RegisterWords(kStringWords);
}

}  // namespace tavlo
