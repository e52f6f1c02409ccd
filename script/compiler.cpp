// The script compiler: a single pass from the script text to the atom list. Includes are
// expanded on the raw text, lines joined, comments cut, and then every token becomes one
// atom by the first translation rule that applies; the control words fix up the jump targets
// of earlier atoms through the return stack. It never runs a script.
#include <cassert>
#include <unordered_map>

#include "platform/clock.h"
#include "script/coreint.h"
#include "script/literals.h"
#include "script/qelscript.h"
#include "script/tokenizer.h"
#include "text/trim.h"

namespace tavlo {

class TqelCompiler {
 public:
  explicit TqelCompiler(TqelScript& script) : s_(script) {}
  void Compile();

 private:
  void ExpandIncludes();
  void JoinLines();
  void CutComments();
  void Translate(const std::string& token, TqelTokenizer& tokenizer);
  bool TranslatePrefixed(const std::string& token, const TqelTokenizer& tokenizer);
  void CheckClosedStructures();
  void CheckDeadline(const char* hint) const;

  int Append(AtomKind kind, TAtomHandler handler, std::string text, Variant value = Variant());
  void CompileRPush(int index);
  int CompileRPop();

  TqelScript& s_;
  std::string text_;
  std::vector<std::size_t> atomOffsets_;  // where each atom's token began, for messages
  std::uint64_t start_ = 0;               // when the compile began
  // The first procedure of each name, by the folded name: a call is found without walking
  // every earlier definition.
  std::unordered_map<std::string, int> procedureStarts_;
};

namespace {

struct PrefixRule {
  char prefix;
  AtomKind kind;
  const char* missing;  // the message for a missing name or method
};

// Rules 6 to 12, in order.
constexpr PrefixRule kPrefixRules[] = {
    {'&', AtomKind::PagedFileMethod, "missing xml method specifier near "},
    {'?', AtomKind::XmlMethod, "missing xml method specifier near "},
    {'_', AtomKind::DataSourceMethod, "missing data source method specifier near "},
    {')', AtomKind::SystemVariable, "missing system method specifier near "},
    {'>', AtomKind::ExternalVariable, "missing external variable method specifier near "},
    {':', AtomKind::InternalVariable, "missing internal variable method specifier near "},
    {'^', AtomKind::ObjectVariable, "missing object variable method specifier near "},
};

TAtomHandler PrefixHandler(AtomKind kind) {
  switch (kind) {
    case AtomKind::PagedFileMethod:
      return MethodFamilyHandler(TqelMethodFamily::PagedFile);
    case AtomKind::XmlMethod:
      return MethodFamilyHandler(TqelMethodFamily::Xml);
    case AtomKind::DataSourceMethod:
      return MethodFamilyHandler(TqelMethodFamily::DataSource);
    case AtomKind::SystemVariable:
      return HandleSystemVariable;
    case AtomKind::ExternalVariable:
      return HandleExternalVariable;
    case AtomKind::InternalVariable:
      return HandleInternalVariable;
    case AtomKind::ObjectVariable:
      return HandleObjectVariable;
    default:
      assert(false);
      return nullptr;
  }
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

void TqelScript::Compile() {
  TqelCompiler(*this).Compile();
}

namespace {

// Whether the atom finishes in a short, bounded time without jumping back, so that the
// interpreter need not read the clock right after it.
bool IsBounded(AtomKind kind, TAtomHandler handler, const Variant& value) {
  switch (kind) {
    case AtomKind::PushLiteral:
    case AtomKind::Parameter:
    case AtomKind::If:
    case AtomKind::Else:
    case AtomKind::Endif:
    case AtomKind::Repeat:
    case AtomKind::Define:
      return true;
    case AtomKind::Word:
      return IsCoreWord(handler);
    case AtomKind::InternalVariable:  // all but the file methods
      return value.StringValue() != "load" && value.StringValue() != "save";
    default:
      return false;
  }
}

}  // namespace

int TqelCompiler::Append(AtomKind kind, TAtomHandler handler, std::string text, Variant value) {
  const bool bounded = IsBounded(kind, handler, value);
  TAtom& atom =
      s_.atoms_.emplace_back(TAtom{std::move(text), std::move(value), handler, kind, bounded});
  atom.ChangesOutside = !ChangingWordOf(atom).empty();
  // What runs in a moment never reaches outside; the interpreter tests the restriction only
  // before the atoms it does not call bounded.
  assert(!(atom.Bounded && atom.ChangesOutside));
  return static_cast<int>(s_.atoms_.size()) - 1;
}

void TqelCompiler::CompileRPush(int index) {
  s_.RPush(index);
}
int TqelCompiler::CompileRPop() {
  return s_.RPop();
}

namespace {

// How many tokens pass between two reads of the clock while translating.
constexpr int kTokensPerClockRead = 4096;

}  // namespace

void TqelCompiler::CheckDeadline(const char* hint) const {
  const std::int64_t limit = static_cast<std::int64_t>(s_.timeOut_) * 1000;
  if (static_cast<std::int64_t>(TickCount() - start_) > limit)
    TqelScript::Fail("parser timed out after " + std::to_string(s_.timeOut_) + " seconds" + hint);
  // A script compiled on behalf of a run (set.do) may not outlast that run.
  if (s_.inherited_.tick != INT64_MAX &&
      static_cast<std::int64_t>(CoarseTickCount()) > s_.inherited_.tick)
    TqelScript::TimedOut(s_.inherited_.seconds);
}

void TqelCompiler::Compile() {
  RegisterCoreWords();
  s_.atoms_.clear();
  s_.procedures_.clear();
  s_.rsp_ = 0;
  text_ = s_.script_;
  s_.includedFiles_.clear();

  // The clock starts with the script's own text: registering the words (slow the first time
  // in a sanitizer build) is no part of the script's time.
  start_ = TickCount();
  ExpandIncludes();
  JoinLines();
  CutComments();

  TqelTokenizer tokenizer(text_);
  std::string token;
  int untilClock = kTokensPerClockRead;
  while (tokenizer.Next(token)) {
    if (--untilClock == 0) {
      CheckDeadline("");
      untilClock = kTokensPerClockRead;
    }
    atomOffsets_.push_back(tokenizer.TokenStart());
    Translate(token, tokenizer);
    atomOffsets_.resize(s_.atoms_.size());
  }
  CheckClosedStructures();
}

void TqelCompiler::ExpandIncludes() {
  // Text before a directive never holds another one, so each search starts just before the
  // last directive (its first "$" may pair with a "$" the included text ends with).
  std::size_t from = 0;
  for (;;) {
    CheckDeadline("; you may have circular includes");
    std::size_t at = text_.find("$$", from);
    from = at == 0 || at == std::string::npos ? 0 : at - 1;
    if (at == std::string::npos) return;
    std::size_t end = text_.find(';', at);
    if (end == std::string::npos) TqelScript::Fail("unterminated include near " + text_.substr(at));
    std::string name = text_.substr(at + 2, end - at - 2) + ".qel";
    if (name.find(' ') != std::string::npos)
      TqelScript::Fail("illegal space character in the include file: " + name);
    bool seen = false;
    for (const std::string& included : s_.includedFiles_)
      seen = seen || EqualTextNoCase(included, name);
    if (seen) {
      text_.erase(at, end + 1 - at);
      continue;
    }
    std::string errorStr = "Can not find include file: " + name;
    bool handled = false;
    std::string value;
    if (!s_.onInclude) {
      TqelScript::Fail("onInclude handler not assigned, can not handle include file: " +
                       text_.substr(at));
    }
    s_.onInclude(s_, name, value, handled, errorStr);
    if (!handled) TqelScript::Fail(errorStr);
    text_.replace(at, end + 1 - at, value);
    s_.includedFiles_.push_back(name);
  }
}

void TqelCompiler::JoinLines() {
  // One pass: replacing each line break in place would move the rest of the text every time.
  std::string joined;
  joined.reserve(text_.size());
  for (std::size_t i = 0; i < text_.size(); ++i) {
    if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') {
      joined += ' ';
      ++i;
    } else {
      joined += text_[i];
    }
  }
  text_ = TrimControl(joined);
}

void TqelCompiler::CutComments() {
  // One pass that copies what lies between the comments: erasing each comment in place would
  // move the rest of the text once per comment. The kept text never holds an opening mark,
  // but its last "(" and the "*" after a cut comment make one (as in "((**)*"): that is the
  // first mark then, as it would be in the text with the comment erased.
  if (text_.find("(*") == std::string::npos) return;
  std::string kept;
  kept.reserve(text_.size());
  std::size_t from = 0;
  for (;;) {
    const bool joined =
        !kept.empty() && kept.back() == '(' && from < text_.size() && text_[from] == '*';
    if (!joined) {
      const std::size_t open = text_.find("(*", from);
      if (open == std::string::npos) break;
      kept.append(text_, from, open - from);
      from = open;
    }
    // The search for the end starts at the "(", so "(*)" closes itself.
    const std::size_t close = text_.find("*)", from);
    if (close == std::string::npos) {
      TqelScript::Fail("missing \"*)\" comment terminator near " + kept + text_.substr(from));
    }
    if (joined) kept.pop_back();
    from = close + 2;
  }
  kept.append(text_, from, std::string::npos);
  text_ = std::move(kept);
}

bool TqelCompiler::TranslatePrefixed(const std::string& token, const TqelTokenizer& tokenizer) {
  if (token.size() < 2) return false;
  for (const PrefixRule& rule : kPrefixRules) {
    if (token[0] != rule.prefix) continue;
    std::size_t dot = token.find('.');
    if (dot == std::string::npos || dot == 1 || dot + 1 == token.size())
      TqelScript::Fail(rule.missing + tokenizer.Rest());
    Append(rule.kind, PrefixHandler(rule.kind), token.substr(1, dot - 1),
           Variant(token.substr(dot + 1)));
    return true;
  }
  return false;
}

void TqelCompiler::Translate(const std::string& token, TqelTokenizer& tokenizer) {
  // 1: a registry word; the control words also fix up jump targets.
  if (TAtomHandler handler = FindWord(token)) {
    if (handler == HandleIf) {
      CompileRPush(Append(AtomKind::If, handler, token));
    } else if (handler == HandleElse) {
      int index = Append(AtomKind::Else, handler, token);
      int opened = CompileRPop();
      CompileRPush(index);
      s_.atoms_[opened].Value = Variant(static_cast<std::int32_t>(index + 1));
    } else if (handler == HandleEndif) {
      int index = Append(AtomKind::Endif, handler, token);
      int opened = CompileRPop();
      s_.atoms_[opened].Value = Variant(static_cast<std::int32_t>(index + 1));
    } else if (handler == HandleRepeat) {
      CompileRPush(Append(AtomKind::Repeat, handler, token));
    } else if (handler == HandleUntil) {
      int opened = CompileRPop();
      Append(AtomKind::Until, handler, token, Variant(static_cast<std::int32_t>(opened)));
    } else if (handler == HandleReturn) {
      Append(AtomKind::Return, handler, token);
    } else {
      Append(AtomKind::Word, handler, token);
    }
    return;
  }
  // The rest of the text is copied only for a message: copying it for every token made a
  // compile quadratic in the length of the script.
  // 2: a [block] literal.
  if (token[0] == '[') {
    Append(AtomKind::PushLiteral, HandlePushLiteral, token,
           Variant(token.substr(1, token.size() - 2)));
    return;
  }
  // 3: a procedure definition; the name is known before its body, so it may recurse.
  if (token.back() == '=') {
    std::string name = token.substr(0, token.size() - 1);
    int index = Append(AtomKind::Define, HandleDefine, name);
    s_.procedures_.push_back(TqelProcedure{name, index + 1});
    procedureStarts_.emplace(FoldedText(name), index + 1);
    return;
  }
  // 4, 5: the set and html families.
  if (StartsWith(token, "set.")) {
    if (token.size() == 4)
      TqelScript::Fail("missing set method specifier near " + tokenizer.Rest());
    Append(AtomKind::SetMethod, MethodFamilyHandler(TqelMethodFamily::Set), "set",
           Variant(token.substr(4)));
    return;
  }
  if (StartsWith(token, "html.")) {
    if (token.size() == 5)
      TqelScript::Fail("missing html method specifier near " + tokenizer.Rest());
    Append(AtomKind::HtmlMethod, MethodFamilyHandler(TqelMethodFamily::Html), "html",
           Variant(token.substr(5)));
    return;
  }
  // 6 to 12: prefix, name, ".", method.
  if (TranslatePrefixed(token, tokenizer)) return;
  // 13: a parameter.
  if (token[0] == '%' && token.size() >= 2) {
    std::string name = token.substr(1);
    Append(AtomKind::Parameter, HandleParameter, name, Variant(name));
    return;
  }
  // 14: a quoted string.
  if (token[0] == '"' || token[0] == '\'') {
    Append(AtomKind::PushLiteral, HandlePushLiteral, token,
           Variant(token.substr(1, token.size() - 2)));
    return;
  }
  // 15 to 17: numbers and dates.
  std::int32_t integer;
  if (ReadIntegerLiteral(token, integer)) {
    Append(AtomKind::PushLiteral, HandlePushLiteral, token, Variant(integer));
    return;
  }
  double number;
  if (ReadFloatLiteral(token, number)) {
    Append(AtomKind::PushLiteral, HandlePushLiteral, token, Variant(number));
    return;
  }
  if (ReadDateLiteral(token, number)) {
    Append(AtomKind::PushLiteral, HandlePushLiteral, token, Variant::Date(number));
    return;
  }
  // 18: a call of a procedure defined earlier; the first definition of a name wins.
  if (auto found = procedureStarts_.find(FoldedText(token)); found != procedureStarts_.end()) {
    Append(AtomKind::Call, HandleCall, token, Variant(static_cast<std::int32_t>(found->second)));
    return;
  }
  TqelScript::Fail("undefined word \"" + token + "\" near " + tokenizer.Rest());
}

// An if or else that nothing closed has no jump target (an until may have taken its place on
// the return stack); running it could only jump to an arbitrary place, so such a program is
// rejected here. A repeat still open at the end is a loop its writer forgot to close:
// rejected too, rather than run once in silence.
void TqelCompiler::CheckClosedStructures() {
  std::vector<bool> open(s_.atoms_.size(), false);
  for (int level = 0; level < s_.rsp_; ++level)
    open[static_cast<std::size_t>(s_.rstack_[static_cast<std::size_t>(level)])] = true;
  for (std::size_t i = 0; i < s_.atoms_.size(); ++i) {
    const TAtom& atom = s_.atoms_[i];
    const bool conditional = atom.Kind == AtomKind::If || atom.Kind == AtomKind::Else;
    if (conditional && !atom.Value.IsInteger()) {
      TqelScript::Fail("missing endif for " + atom.Text + " near " + text_.substr(atomOffsets_[i]));
    }
  }
  for (std::size_t i = 0; i < s_.atoms_.size(); ++i) {
    if (open[i] && s_.atoms_[i].Kind == AtomKind::Repeat) {
      TqelScript::Fail("missing until for " + s_.atoms_[i].Text + " near " +
                       text_.substr(atomOffsets_[i]));
    }
  }
}

}  // namespace tavlo
