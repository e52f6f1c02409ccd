// The pattern replacement engine behind regreplace and regreplaceall. A pattern is parsed
// once into items; a malformed item can never match, so such a pattern leaves the subject
// unchanged. Every search moves strictly forward, so regreplaceall always terminates; and as
// no search looks back before where it starts, every match is found in the subject itself
// while the result is built beside it, so a replacement of every match is linear too.
#include "words/patternreplace.h"

#include <cstddef>
#include <optional>
#include <vector>

#include "script/qelscript.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

constexpr std::size_t npos = std::string::npos;

std::string ExpandTildes(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '~' && i + 1 < text.size() && text[i + 1] == '~') {
      out += "\r\n";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// First occurrence of needle in hay at or after from; case-insensitive compares turn only
// a to z into A to Z.
std::size_t Find(const std::string& hay, const std::string& needle, std::size_t from,
                 bool caseSensitive) {
  return FindBytes(hay, needle, from, caseSensitive ? nullptr : &AsciiFoldTable);
}

bool InClass(char letter, char c) {
  const bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  switch (letter) {
    case '*':
      return true;
    case 'a':
    case 'A':
      return alpha;
    case 'n':
    case 'N':
      return c >= '0' && c <= '9';
    case 's':
    case 'S':
      return c == ' ';
    case 'w':
    case 'W':
      return c == '\t' || c == '\n' || c == '\r' || c == ' ';
    case 'c':
    case 'C':
      return c == '\r' || c == '\n';
    case 't':
    case 'T':
      return c == '/' || (c >= '1' && c <= '6') || c == '<' || c == '>' || alpha;
    default:
      return false;
  }
}

bool IsClassLetter(char c) {
  return std::string("*aAnNsSwWcCtT").find(c) != npos;
}

// A register number: decimal digits only, 0 to 31.
std::optional<int> RegisterNumber(const std::string& text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > 31) return std::nullopt;
  return n;
}

struct PatternItem {
  bool literal = true;
  std::string text;  // the literal, or the terminator
  char letter = 0;
  int reg = 0;
  std::string limit;  // empty: no limit
};

// False when an item is malformed.
bool ParsePattern(const std::string& pattern, std::vector<PatternItem>& items) {
  std::size_t at = 0;
  while (at < pattern.size()) {
    if (pattern[at] != '[') {
      std::size_t next = pattern.find('[', at);
      if (next == npos) next = pattern.size();
      items.push_back({true, pattern.substr(at, next - at), 0, 0, {}});
      at = next;
      continue;
    }
    const std::size_t close = pattern.find(']', at);
    if (close == npos) return false;
    const std::string body = pattern.substr(at + 1, close - at - 1);
    at = close + 1;
    if (body.empty() || !IsClassLetter(body[0])) return false;
    const std::size_t colon = body.find(':');
    if (colon == npos) return false;
    const std::optional<int> reg = RegisterNumber(body.substr(1, colon - 1));
    if (!reg) return false;
    std::string terminator = body.substr(colon + 1);
    std::string limit;
    const std::size_t bar = terminator.find('|');
    if (bar != npos) {
      limit = terminator.substr(bar + 1);
      terminator.resize(bar);
    }
    if (terminator.empty()) return false;
    items.push_back({false, terminator, body[0], *reg, limit});
  }
  return true;
}

struct Match {
  std::size_t start = 0;
  std::size_t end = 0;  // one past the last character
};

// Remembers one search: nothing was found in [query, result), so a later search from any
// position in that range has the same answer. Retries move forward, so with one memo per
// search the scans of a whole replacement stay linear in the subject.
struct SearchMemo {
  std::size_t query = npos;
  std::size_t result = npos;

  template <typename Scan>
  std::size_t From(std::size_t from, Scan scan) {
    if (query != npos && query <= from && (result == npos || from <= result)) return result;
    query = from;
    result = scan(from);
    return result;
  }
};

struct ItemMemos {
  SearchMemo text;  // the literal or the terminator
  SearchMemo limit;
  SearchMemo outside;  // the first character not in the item's class
};

class Matcher {
 public:
  Matcher(const std::string& subject, const std::vector<PatternItem>& items, bool caseSensitive,
          TqelCaptureRegisterArray& registers, const TWorkMeter& meter)
      : subject_(subject),
        items_(items),
        cs_(caseSensitive),
        registers_(registers),
        meter_(meter),
        memos_(items.size()) {}

  // The first match at or after offset k, retrying after the first literal when a class
  // item fails there.
  std::optional<Match> FindFrom(std::size_t k) {
    while (k <= subject_.size()) {
      meter_.Step();
      std::optional<std::size_t> retry;
      std::optional<Match> match = TryAt(k, retry);
      if (match || !retry) return match;
      k = *retry;
    }
    return std::nullopt;
  }

 private:
  std::size_t Search(SearchMemo& memo, const std::string& needle, std::size_t from) {
    return memo.From(from, [&](std::size_t at) { return Find(subject_, needle, at, cs_); });
  }

  std::size_t FirstOutside(SearchMemo& memo, char letter, std::size_t from) {
    return memo.From(from, [&](std::size_t at) {
      while (at < subject_.size() && InClass(letter, subject_[at])) ++at;
      return at < subject_.size() ? at : npos;
    });
  }

  std::optional<Match> TryAt(std::size_t k, std::optional<std::size_t>& retry) {
    std::size_t cursor = k;
    std::optional<std::size_t> start;
    std::optional<std::size_t> afterFirstLiteral;
    for (std::size_t n = 0; n < items_.size(); ++n) {
      const PatternItem& item = items_[n];
      if (item.literal) {
        const std::size_t p = Search(memos_[n].text, item.text, cursor);
        if (p == npos) return std::nullopt;
        if (!start) start = p;
        if (!afterFirstLiteral) afterFirstLiteral = p + item.text.size();
        cursor = p + item.text.size();
        continue;
      }
      // A leading class item starts the match where the search starts.
      if (!start) start = cursor;
      if (!Capture(item, memos_[n], cursor)) {
        if (afterFirstLiteral && *afterFirstLiteral < subject_.size()) retry = afterFirstLiteral;
        return std::nullopt;
      }
    }
    if (!start) return std::nullopt;
    return Match{*start, cursor};
  }

  bool Capture(const PatternItem& item, ItemMemos& memos, std::size_t& cursor) {
    std::string& reg = registers_[static_cast<std::size_t>(item.reg)];
    reg.clear();
    std::size_t limitAt = npos;
    if (!item.limit.empty()) {
      limitAt = Search(memos.limit, item.limit, cursor);
      if (limitAt == npos) return false;
    }
    for (;;) {
      meter_.Step();
      const std::size_t t = Search(memos.text, item.text, cursor);
      if (t == npos || (limitAt != npos && t >= limitAt)) break;
      if (item.letter != '*' && FirstOutside(memos.outside, item.letter, cursor) < t) break;
      reg.append(subject_, cursor, t - cursor).append("||");
      cursor = t + item.text.size();
      if (limitAt == npos) break;
    }
    return !reg.empty();
  }

  const std::string& subject_;
  const std::vector<PatternItem>& items_;
  bool cs_;
  TqelCaptureRegisterArray& registers_;
  const TWorkMeter& meter_;
  std::vector<ItemMemos> memos_;
};

// The template with its register items filled in; nullopt when an item is malformed or
// names an empty register (the match is then left as it is).
std::optional<std::string> BuildReplacement(const std::string& templ,
                                            const TqelCaptureRegisterArray& registers) {
  std::string out;
  std::size_t at = 0;
  while (at < templ.size()) {
    const std::size_t open = templ.find('[', at);
    if (open == npos) {
      out.append(templ, at, npos);
      break;
    }
    out.append(templ, at, open - at);
    const std::size_t close = templ.find(']', open);
    if (close == npos) return std::nullopt;
    const std::string body = templ.substr(open + 1, close - open - 1);
    const std::size_t colon = body.find(':');
    if (colon == npos) return std::nullopt;
    const std::optional<int> reg = RegisterNumber(body.substr(0, colon));
    if (!reg) return std::nullopt;
    const std::string& content = registers[static_cast<std::size_t>(*reg)];
    if (content.empty()) return std::nullopt;
    const std::string separator = body.substr(colon + 1);
    for (std::size_t i = 0; i < content.size();) {
      if (content.compare(i, 2, "||") == 0) {
        out += separator;
        i += 2;
      } else {
        out += content[i++];
      }
    }
    at = close + 1;
  }
  return out;
}

bool StarAtEnds(const std::string& text) {
  return !text.empty() && (text.front() == '*' || text.back() == '*');
}

}  // namespace

std::string PatternReplace(const std::string& subject, const std::string& patternText,
                           const std::string& templText, bool caseSensitive, bool all,
                           TqelCaptureRegisterArray& registers, const TWorkMeter& meter) {
  const std::string pattern = ExpandTildes(patternText);
  const std::string templ = ExpandTildes(templText);
  if (pattern.empty()) return subject;
  if (StarAtEnds(pattern) || StarAtEnds(templ)) {
    TqelScript::Fail("\"*\" not allowed at beginning or end of");
  }
  std::vector<PatternItem> items;
  if (!ParsePattern(pattern, items)) return subject;

  // The result is the subject with each replaced match put in its place: subject[0, copied)
  // is in out already. The search goes on right after the replaced span (past the inserted
  // text), or just after the start of a match left as it was.
  Matcher matcher(subject, items, caseSensitive, registers, meter);
  std::string out;
  std::size_t copied = 0;
  std::size_t offset = 0;
  for (;;) {
    const std::optional<Match> match = matcher.FindFrom(offset);
    if (!match) break;
    const std::optional<std::string> replacement = BuildReplacement(templ, registers);
    if (replacement) {
      out.append(subject, copied, match->start - copied).append(*replacement);
      copied = match->end;
      offset = match->end;
    } else {
      offset = match->start + 1;
    }
    if (!all) break;
  }
  if (copied == 0) return subject;
  out.append(subject, copied, npos);
  return out;
}

}  // namespace tavlo
