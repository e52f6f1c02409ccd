// The script compiler: a single pass from the script text to the atom list. Includes are
// expanded on the raw text, lines joined, comments cut, and then every token becomes one
// atom by the first translation rule that applies; the control words fix up the jump targets
// of earlier atoms through the return stack. It never runs a script.
#include <cassert>

#include "platform/clock.h"
#include "script/coreint.h"
#include "script/literals.h"
#include "script/qelscript.h"
#include "script/tokenizer.h"

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
  bool TranslatePrefixed(const std::string& token, const std::string& rest);
  void CheckClosedConditionals();

  int Append(AtomKind kind, TAtomHandler handler, std::string text, Variant value = Variant());
  void CompileRPush(int index);
  int CompileRPop();

  TqelScript& s_;
  std::string text_;
  std::vector<std::size_t> atomOffsets_;  // where each atom's token began, for messages
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
  s_.atoms_.push_back(TAtom{std::move(text), std::move(value), handler, kind, bounded});
  return static_cast<int>(s_.atoms_.size()) - 1;
}

void TqelCompiler::CompileRPush(int index) {
  s_.RPush(index);
}
int TqelCompiler::CompileRPop() {
  return s_.RPop();
}

void TqelCompiler::Compile() {
  RegisterCoreWords();
  s_.atoms_.clear();
  s_.procedures_.clear();
  s_.rsp_ = 0;
  text_ = s_.script_;
  s_.includedFiles_.clear();

  ExpandIncludes();
  JoinLines();
  CutComments();

  TqelTokenizer tokenizer(text_);
  std::string token;
  while (tokenizer.Next(token)) {
    atomOffsets_.push_back(tokenizer.TokenStart());
    Translate(token, tokenizer);
    atomOffsets_.resize(s_.atoms_.size());
  }
  CheckClosedConditionals();
}

void TqelCompiler::ExpandIncludes() {
  const std::uint64_t start = TickCount();
  const std::int64_t limit = static_cast<std::int64_t>(s_.timeOut_) * 1000;
  for (;;) {
    if (static_cast<std::int64_t>(TickCount() - start) > limit) {
      TqelScript::Fail("parser timed out after " + std::to_string(s_.timeOut_) +
                       " seconds; you may have circular includes");
    }
    std::size_t at = text_.find("$$");
    if (at == std::string::npos) return;
    std::size_t end = text_.find(';', at);
    if (end == std::string::npos) TqelScript::Fail("unterminated include near " + text_.substr(at));
    std::string name = text_.substr(at + 2, end - at - 2) + ".qel";
    if (name.find(' ') != std::string::npos)
      TqelScript::Fail("illegal space character in the include file: " + name);
    bool seen = false;
    for (const std::string& included : s_.includedFiles_)
      seen = seen || SameNameNoCase(included, name);
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
  std::size_t first = 0;
  while (first < joined.size() && static_cast<unsigned char>(joined[first]) <= 32) ++first;
  std::size_t last = joined.size();
  while (last > first && static_cast<unsigned char>(joined[last - 1]) <= 32) --last;
  text_ = joined.substr(first, last - first);
}

void TqelCompiler::CutComments() {
  for (;;) {
    std::size_t open = text_.find("(*");
    if (open == std::string::npos) return;
    // The search for the end starts at the "(", so "(*)" closes itself.
    std::size_t close = text_.find("*)", open);
    if (close == std::string::npos)
      TqelScript::Fail("missing \"*)\" comment terminator near " + text_);
    text_.erase(open, close + 2 - open);
  }
}

bool TqelCompiler::TranslatePrefixed(const std::string& token, const std::string& rest) {
  if (token.size() < 2) return false;
  for (const PrefixRule& rule : kPrefixRules) {
    if (token[0] != rule.prefix) continue;
    std::size_t dot = token.find('.');
    if (dot == std::string::npos || dot == 1 || dot + 1 == token.size())
      TqelScript::Fail(rule.missing + rest);
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
  const std::string rest = tokenizer.Rest();
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
    return;
  }
  // 4, 5: the set and html families.
  if (StartsWith(token, "set.")) {
    if (token.size() == 4) TqelScript::Fail("missing set method specifier near " + rest);
    Append(AtomKind::SetMethod, MethodFamilyHandler(TqelMethodFamily::Set), "set",
           Variant(token.substr(4)));
    return;
  }
  if (StartsWith(token, "html.")) {
    if (token.size() == 5) TqelScript::Fail("missing html method specifier near " + rest);
    Append(AtomKind::HtmlMethod, MethodFamilyHandler(TqelMethodFamily::Html), "html",
           Variant(token.substr(5)));
    return;
  }
  // 6 to 12: prefix, name, ".", method.
  if (TranslatePrefixed(token, rest)) return;
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
  for (const TqelProcedure& procedure : s_.procedures_) {
    if (SameNameNoCase(procedure.Name, token)) {
      Append(AtomKind::Call, HandleCall, token,
             Variant(static_cast<std::int32_t>(procedure.Start)));
      return;
    }
  }
  TqelScript::Fail("undefined word \"" + token + "\" near " + rest);
}

// An if or else that nothing closed has no jump target; running it could only jump to an
// arbitrary place, so such a program is rejected here.
void TqelCompiler::CheckClosedConditionals() {
  for (std::size_t i = 0; i < s_.atoms_.size(); ++i) {
    const TAtom& atom = s_.atoms_[i];
    if ((atom.Kind == AtomKind::If || atom.Kind == AtomKind::Else) && !atom.Value.IsInteger()) {
      TqelScript::Fail("missing endif for " + atom.Text + " near " + text_.substr(atomOffsets_[i]));
    }
  }
}

}  // namespace tavlo
