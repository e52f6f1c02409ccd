// The operator words: arithmetic, comparison, logic, the constants true and false, the
// containment tests like and unlike, and the set-membership test in (their matching is
// script/setmatch.h, shared with the filter plan). Two-operand words pop
// b (the top) and then a, and push a op b.
#include <cmath>

#include "platform/regional.h"
#include "script/coreint.h"
#include "script/literals.h"
#include "script/qelscript.h"
#include "script/setmatch.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

// The operands stay on the stack while they are combined: the result replaces a, then b is
// dropped. This is the filter's hot path, so nothing is moved or copied needlessly.
template <Variant (*Op)(const Variant&, const Variant&)>
void Binary(TqelScript& s) {
  s.RequireOperands(2);
  Variant& a = s.Peek(1);
  a = Op(a, s.Peek(0));
  s.Discard(1);
}

// Byte-wise order of two texts, then by length, as std::string::compare orders them; a plain
// loop, since filter operands are a few bytes long and a library call costs more than them.
int CompareBytes(const std::string& a, const std::string& b) noexcept {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

template <bool (*Test)(VariantOrder)>
void Comparison(TqelScript& s) {
  s.RequireOperands(2);
  Variant& a = s.Peek(1);
  const Variant& b = s.Peek(0);
  VariantOrder order;
  if (a.IsString() && b.IsString()) {  // the usual filter test, without the class table
    int c = CompareBytes(a.StringValue(), b.StringValue());
    order = c < 0 ? VariantOrder::Less : c > 0 ? VariantOrder::Greater : VariantOrder::Equal;
  } else {
    order = Compare(a, b);
  }
  a.AssignBoolean(Test(order));
  s.Discard(1);
}

bool IsEqual(VariantOrder o) {
  return o == VariantOrder::Equal;
}
bool IsNotEqual(VariantOrder o) {
  return o != VariantOrder::Equal;
}
bool IsLess(VariantOrder o) {
  return o == VariantOrder::Less;
}
bool IsLessOrEqual(VariantOrder o) {
  return o != VariantOrder::Greater;
}
bool IsGreater(VariantOrder o) {
  return o == VariantOrder::Greater;
}
bool IsGreaterOrEqual(VariantOrder o) {
  return o != VariantOrder::Less;
}

void WordNegate(TqelScript& s) {
  s.Push(Negate(s.Pop()));
}
void WordNot(TqelScript& s) {
  s.Push(Not(s.Pop()));
}
void WordTrue(TqelScript& s) {
  s.Push(Variant(true));
}
void WordFalse(TqelScript& s) {
  s.Push(Variant(false));
}

// The operands' texts, b's taken first (the top of the stack).
bool Contains(TqelScript& s) {
  const std::string b = s.Pop().ToTextOrEmpty();
  const std::string a = s.Pop().ToTextOrEmpty();
  return LikeMatches(a, b);
}

void WordLike(TqelScript& s) {
  s.Push(Variant(Contains(s)));
}
void WordUnlike(TqelScript& s) {
  s.Push(Variant(!Contains(s)));
}

// A decimal whole number too wide for 32 bits, as a Real; false for anything else.
bool ReadWideInteger(const std::string& item, Variant& value) {
  std::size_t i = item.size() > 1 && (item[0] == '+' || item[0] == '-') ? 1 : 0;
  if (i == item.size()) return false;
  double magnitude = 0;
  for (; i < item.size(); ++i) {
    if (item[i] < '0' || item[i] > '9') return false;
    magnitude = magnitude * 10 + (item[i] - '0');
  }
  value = Variant(item[0] == '-' ? -magnitude : magnitude);
  return true;
}

// The item's value as the kind that the tested value needs; false when it does not read.
bool ReadItem(VariantKind kind, const std::string& item, Variant& value) {
  switch (kind) {
    case VariantKind::Integer: {
      std::int32_t n;
      if (ReadIntegerLiteral(item, n)) {
        value = Variant(n);
        return true;
      }
      // A whole number beyond 32 bits is still a bound: 5 is in 1..2147483648. It compares
      // as a number, so it is read as a Real (exact to 2^53, far past any Integer).
      return ReadWideInteger(item, value);
    }
    case VariantKind::Real: {
      double d;
      if (!ReadFloatLiteral(item, d)) return false;
      value = Variant(d);
      return true;
    }
    case VariantKind::Date: {
      double d;
      if (!TextToDateTime(item, d)) return false;
      value = Variant(std::floor(d));
      return true;
    }
    case VariantKind::String:
      value = Variant(item);
      return true;
    default:
      return false;
  }
}

enum class Match { Yes, No, Stop };

// a is the tested value (dates as their day count), kind the tested value's own kind.
Match MatchItem(const Variant& a, VariantKind kind, const TSetItem& item) {
  if (kind == VariantKind::String) {
    return TextMatchesItem(a.StringValue(), item) ? Match::Yes : Match::No;
  }
  Variant lower;
  if (!ReadItem(kind, item.low, lower)) return Match::Stop;
  if (!item.ranged) return Compare(a, lower) == VariantOrder::Equal ? Match::Yes : Match::No;
  if (Compare(a, lower) == VariantOrder::Less) return Match::No;
  Variant upper;
  if (!ReadItem(kind, item.high, upper)) return Match::Stop;
  return Compare(a, upper) != VariantOrder::Greater ? Match::Yes : Match::No;
}

// Membership of a in the set text; every problem inside gives false. A set of millions of
// items keeps to the run's time limit (the one error that passes).
bool IsMember(const Variant& tested, const std::string& set, const TWorkMeter& meter) {
  const VariantKind kind = tested.Kind();
  if (kind != VariantKind::Integer && kind != VariantKind::Real && kind != VariantKind::Date &&
      kind != VariantKind::String)
    return false;
  // Dates and reals compare as day counts / reals, strings byte-wise.
  const Variant a = kind == VariantKind::Date ? Variant(tested.RealValue()) : tested;
  TSetItems items(set);
  TSetItem item;
  while (items.Next(item)) {
    meter.Step();
    switch (MatchItem(a, kind, item)) {
      case Match::Yes:
        return true;
      case Match::Stop:
        return false;
      case Match::No:
        break;
    }
  }
  return false;
}

void WordIn(TqelScript& s) {
  Variant setValue = s.Pop();
  Variant a = s.Pop();
  std::string set = setValue.ToText();  // the one error that in reports
  bool member = false;
  if (!set.empty()) {
    const TWorkMeter meter = s.WorkMeter();
    try {
      member = IsMember(a, set, meter);
    } catch (const EqelScriptError&) {
      throw;  // the time limit; the words of an item raise no script error
    } catch (const Exception&) {
      member = false;
    }
  }
  s.Push(Variant(member));
}

const TqelWord kOperatorWords[] = {
    {"+", Binary<Add>},
    {"-", Binary<Subtract>},
    {"*", Binary<Multiply>},
    {"/", Binary<Divide>},
    {"--", WordNegate},
    {"=", Comparison<IsEqual>},
    {"<>", Comparison<IsNotEqual>},
    {"<", Comparison<IsLess>},
    {"<=", Comparison<IsLessOrEqual>},
    {">", Comparison<IsGreater>},
    {">=", Comparison<IsGreaterOrEqual>},
    {"and", Binary<And>},
    {"or", Binary<Or>},
    {"xor", Binary<Xor>},
    {"not", WordNot},
    {"true", WordTrue},
    {"false", WordFalse},
    {"like", WordLike},
    {"unlike", WordUnlike},
    {"in", WordIn},
};

}  // namespace

std::span<const TqelWord> OperatorWords() {
  return kOperatorWords;
}

}  // namespace tavlo
