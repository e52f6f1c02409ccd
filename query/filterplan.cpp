// The filter plan: recognising the planned shapes in compiled atoms, binding them to a
// table's field layout, and evaluating them on record bytes with the value type's rules.
#include "query/filterplan.h"

#include <cstring>

#include "dbf/fields.h"
#include "script/registry.h"

namespace tavlo {

namespace {

constexpr std::uint8_t kFalse = 0, kTrue = 1, kNull = 2;
// Longer scripts are rare in a filter box and gain nothing from a plan.
constexpr std::size_t kMaxSteps = 256;

// A value met while recognising: a field read, a literal or a condition (its postfix steps).
struct Item {
  enum Kind { Field, Literal, Condition } kind;
  std::string name;
  Variant literal;
  std::vector<int> steps;  // Condition: indexes into the recogniser's step list
};

int Compare3(double a, double b) {
  // The value type's order: NaN is neither less nor greater, so it compares equal.
  if (a < b) return -1;
  if (b < a) return 1;
  return 0;
}

int CompareTexts(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);  // memcmp compares unsigned
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

}  // namespace

std::unique_ptr<TFilterPlan> TFilterPlan::Recognise(const TAtomList& atoms) {
  static const struct {
    const char* word;
    Op op;
  } kTests[] = {{"=", Op::Eq},      {"<>", Op::Ne},         {"<", Op::Lt},
                {"<=", Op::Le},     {">", Op::Gt},          {">=", Op::Ge},
                {"like", Op::Like}, {"unlike", Op::Unlike}, {"in", Op::In}};
  static const struct {
    const char* word;
    StepKind kind;
  } kLogic[] = {{"and", StepKind::And}, {"or", StepKind::Or},     {"xor", StepKind::Xor},
                {"not", StepKind::Not}, {"true", StepKind::True}, {"false", StepKind::False}};

  auto plan = std::unique_ptr<TFilterPlan>(new TFilterPlan());
  std::vector<Item> stack;
  auto newStep = [&](StepKind kind, int test) {
    plan->steps_.push_back({kind, test});
    return static_cast<int>(plan->steps_.size()) - 1;
  };
  // An operand of and, or, xor or not: a condition, or a bare field read tested as a logical.
  auto asCondition = [&](Item& item) -> bool {
    if (item.kind == Item::Condition) return true;
    if (item.kind != Item::Field) return false;
    Test test;
    test.field = item.name;
    test.bare = true;
    plan->tests_.push_back(std::move(test));
    item.kind = Item::Condition;
    item.steps = {newStep(StepKind::Test, static_cast<int>(plan->tests_.size()) - 1)};
    return true;
  };

  for (const TAtom& atom : atoms) {
    if (atom.Kind == AtomKind::ExternalVariable) {
      if (!atom.Value.IsString() || atom.Value.StringValue() != "get") return nullptr;
      stack.push_back({Item::Field, atom.Text, Variant(), {}});
      continue;
    }
    if (atom.Kind == AtomKind::PushLiteral) {
      switch (atom.Value.Kind()) {
        case VariantKind::Integer:
        case VariantKind::Real:
        case VariantKind::Date:
        case VariantKind::String:
          stack.push_back({Item::Literal, std::string(), atom.Value, {}});
          continue;
        default:
          return nullptr;
      }
    }
    // Only the core's own operators: a word registered over one of their names is unknown.
    if (atom.Kind != AtomKind::Word || atom.Handler == nullptr ||
        atom.Handler != CoreOperatorHandler(atom.Text))
      return nullptr;
    bool known = false;
    for (const auto& t : kTests) {
      if (atom.Text != t.word) continue;
      known = true;
      if (stack.size() < 2) return nullptr;
      Item b = std::move(stack.back());
      stack.pop_back();
      Item a = std::move(stack.back());
      stack.pop_back();
      Test test;
      test.op = t.op;
      if (a.kind == Item::Field && b.kind == Item::Literal) {
        test.field = a.name;
        test.literal = b.literal;
      } else if (a.kind == Item::Literal && b.kind == Item::Field && t.op <= Op::Ge) {
        // literal op field is field op' literal, op' the mirrored comparison.
        static const Op kMirror[] = {Op::Eq, Op::Ne, Op::Gt, Op::Ge, Op::Lt, Op::Le};
        test.field = b.name;
        test.literal = a.literal;
        test.op = kMirror[static_cast<int>(t.op)];
      } else {
        return nullptr;
      }
      plan->tests_.push_back(std::move(test));
      Item result{Item::Condition, std::string(), Variant(), {}};
      result.steps = {newStep(StepKind::Test, static_cast<int>(plan->tests_.size()) - 1)};
      stack.push_back(std::move(result));
      break;
    }
    if (known) continue;
    for (const auto& l : kLogic) {
      if (atom.Text != l.word) continue;
      known = true;
      Item result{Item::Condition, std::string(), Variant(), {}};
      if (l.kind == StepKind::True || l.kind == StepKind::False) {
        result.steps = {newStep(l.kind, -1)};
      } else if (l.kind == StepKind::Not) {
        if (stack.empty() || !asCondition(stack.back())) return nullptr;
        result.steps = std::move(stack.back().steps);
        stack.pop_back();
        result.steps.push_back(newStep(l.kind, -1));
      } else {
        if (stack.size() < 2) return nullptr;
        if (!asCondition(stack[stack.size() - 2]) || !asCondition(stack.back())) return nullptr;
        std::vector<int> right = std::move(stack.back().steps);
        stack.pop_back();
        result.steps = std::move(stack.back().steps);
        stack.pop_back();
        result.steps.insert(result.steps.end(), right.begin(), right.end());
        result.steps.push_back(newStep(l.kind, -1));
      }
      stack.push_back(std::move(result));
      break;
    }
    if (!known) return nullptr;
    if (plan->steps_.size() > kMaxSteps) return nullptr;
  }
  // Exactly one condition left: what Run returns and the filter converts to a boolean.
  if (stack.size() != 1 || !asCondition(stack.back())) return nullptr;
  std::vector<Step> ordered;
  for (int index : stack.back().steps) ordered.push_back(plan->steps_[index]);
  plan->steps_ = std::move(ordered);
  plan->stack_.resize(plan->steps_.size());
  return plan;
}

bool TFilterPlan::BindTranslation(const TColumnLayout& layout, Test& test) {
  // The translation of character fields is the layout's byte table, the one the cursor's
  // readers use; a translation that is not one byte for one byte is declined.
  test.identity = true;
  test.byStored = false;
  const auto* table = layout.ByteTable();
  if (test.column.available == 0) {
    // No byte of the field lies inside the record: it reads as Null whatever the table
    // holds, and nothing is translated.
    for (int b = 0; b < 256; ++b) test.translate[b] = static_cast<unsigned char>(b);
    return true;
  }
  if (table == nullptr) return false;
  test.translate = *table;
  for (int b = 0; b < 256; ++b)
    if (test.translate[b] != b) test.identity = false;
  // Equality needs no translation per record when every byte of the literal has exactly one
  // stored byte that translates to it: the stored text must then be exactly those bytes.
  if (test.op == Op::Eq || test.op == Op::Ne) {
    test.stored.clear();
    for (char c : test.text) {
      int preimages = 0;
      unsigned char preimage = 0;
      for (int b = 0; b < 256; ++b) {
        if (test.translate[b] == static_cast<unsigned char>(c)) {
          ++preimages;
          preimage = static_cast<unsigned char>(b);
        }
      }
      if (preimages != 1) return true;
      test.stored += static_cast<char>(preimage);
    }
    test.byStored = true;
  }
  return true;
}

bool TFilterPlan::BindTest(TDbf& dbf, Test& test) {
  TField* field = dbf.FindField(test.field);
  TDbfFile* file = dbf.DbfFile();
  if (field == nullptr || file == nullptr) return false;
  const TColumnLayout& layout = dbf.Layout();
  const int index = field->FieldNo() - 1;
  if (index < 0 || index >= layout.Columns()) return false;
  test.layout = &layout;
  test.column = layout.Column(index);
  TColumn& column = test.column;
  if (column.type != field->DataType() || column.storage != FieldStorage::Text) return false;
  const FieldReading reading = column.reading;
  if (reading != FieldReading::String && reading != FieldReading::Whole &&
      reading != FieldReading::Float && reading != FieldReading::Logical &&
      reading != FieldReading::Date)
    return false;
  // Only the bytes inside the record the file was opened with are read, as the cursor reads
  // them: a field cut off by a short header record size is read as far as the record goes,
  // and one wholly past its end (no byte available) reads as Null from zero bytes.
  if (column.available < 0) return false;
  if (column.available == 0) column.offset = 0;
  if (column.offset + column.available > file->RecordSize()) return false;

  if (test.bare) return reading == FieldReading::Logical;  // others combine bitwise
  const VariantKind kind = test.literal.Kind();
  if (reading == FieldReading::String) {
    // Text against text only: against a number the field's text would be parsed per record.
    if (kind != VariantKind::String) return false;
    test.text = test.literal.StringValue();
    test.items.clear();
    if (test.op == Op::In) {
      // The items as `in` reads them for a text value; reading stops at an unclosed quote,
      // which answers false from there on.
      TSetItems items(test.text);
      TSetItem item;
      while (items.Next(item)) test.items.push_back(item);
    }
    return BindTranslation(layout, test);
  }
  if (test.op > Op::Ge) return false;  // like and in read numbers as text
  test.byTruth = false;
  try {
    if (reading == FieldReading::Logical && kind == VariantKind::String) {
      // A logical against a text compares as booleans.
      test.byTruth = true;
      test.truth = test.literal.ToBoolean();
    } else {
      test.number = test.literal.ToReal();
    }
  } catch (const EVariantError&) {
    return false;  // the interpreter fails on every record that has a value: its business
  }
  return true;
}

bool TFilterPlan::Bind(TDbf& dbf) {
  bound_ = false;
  if (!dbf.Active() || dbf.DbfFile() == nullptr) return false;
  for (Test& test : tests_)
    if (!BindTest(dbf, test)) return false;
  bound_ = true;
  return true;
}

std::string_view TFilterPlan::Translated(const Test& test, std::string_view stored) {
  if (test.identity) return stored;
  scratch_.resize(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i)
    scratch_[i] = static_cast<char>(test.translate[static_cast<unsigned char>(stored[i])]);
  return scratch_;
}

namespace {

// Whether the trimmed bytes of a field equal text, whose first and last bytes are above 32:
// leading bytes up to 32, then text, then bytes up to 32 only.
bool TrimmedEquals(const std::uint8_t* bytes, std::size_t length, const std::string& text) {
  std::size_t start = 0;
  while (start < length && bytes[start] <= 32) ++start;
  if (length - start < text.size()) return false;
  if (std::memcmp(bytes + start, text.data(), text.size()) != 0) return false;
  for (std::size_t i = start + text.size(); i < length; ++i)
    if (bytes[i] > 32) return false;
  return true;
}

}  // namespace

int TFilterPlan::TestVerdict(Test& test, const std::uint8_t* record) {
  const TColumn& column = test.column;
  // A field its null flag marks reads as Null, whatever its bytes hold.
  if (test.byStored) {
    // A literal with a blank or control byte at either end equals no trimmed value, nor does
    // the empty literal (a blank field is Null).
    const std::string& text = test.stored;
    bool equal =
        !text.empty() && static_cast<unsigned char>(text.front()) > 32 &&
        static_cast<unsigned char>(text.back()) > 32 &&
        TrimmedEquals(record + column.offset, static_cast<std::size_t>(column.available), text) &&
        !test.layout->NullFlagged(column, record);
    return equal == (test.op == Op::Eq) ? kTrue : kFalse;
  }
  const std::string_view stored = test.layout->NullFlagged(column, record)
                                      ? std::string_view()
                                      : test.layout->Text(column, record);
  // The order of the field's value against the literal; Null is less than any literal.
  int order = -1;
  switch (column.reading) {
    case FieldReading::String: {
      if (test.op == Op::Like || test.op == Op::Unlike) {
        // Null reads as the empty text, in which nothing occurs.
        const bool found = !stored.empty() && LikeMatches(Translated(test, stored), test.text);
        return (found == (test.op == Op::Like)) ? kTrue : kFalse;
      }
      if (stored.empty()) break;
      const std::string_view value = Translated(test, stored);
      if (test.op == Op::In) {
        for (const TSetItem& item : test.items)
          if (TextMatchesItem(value, item)) return kTrue;
        return kFalse;
      }
      if ((test.op == Op::Eq || test.op == Op::Ne) && value.size() != test.text.size()) {
        order = 1;  // any non-zero order answers = and <>
      } else {
        order = CompareTexts(value, test.text);
      }
      break;
    }
    case FieldReading::Whole: {
      std::int64_t whole = 0;
      // Blank, or beyond 64 bits: read as Null.
      if (stored.empty() || !TColumnLayout::Whole(stored, whole)) break;
      order = Compare3(static_cast<double>(whole), test.number);
      break;
    }
    case FieldReading::Float:
      if (stored.empty()) break;
      order = Compare3(TColumnLayout::Real(stored), test.number);
      break;
    case FieldReading::Date: {
      if (stored.empty()) break;
      const std::int32_t day = TColumnLayout::Day(stored);
      if (day == 0) break;  // no valid date: read as Null
      order = Compare3(DayNumberToDateTime(day), test.number);
      break;
    }
    case FieldReading::Logical: {
      // Read as the field reads it: blank and "?" are Null, T/t/Y/y true, anything else false.
      const TLogical flag = TColumnLayout::Logical(stored);
      if (flag == TLogical::Null) {
        if (test.bare) return kNull;
        break;
      }
      const bool truth = flag == TLogical::True;
      if (test.bare) return truth ? kTrue : kFalse;
      if (test.byTruth) {
        order = truth == test.truth ? 0 : truth ? 1 : -1;
      } else {
        order = Compare3(truth ? -1.0 : 0.0, test.number);
      }
      break;
    }
    default:
      break;  // not bound
  }
  bool result = false;
  switch (test.op) {
    case Op::Eq:
      result = order == 0;
      break;
    case Op::Ne:
      result = order != 0;
      break;
    case Op::Lt:
      result = order < 0;
      break;
    case Op::Le:
      result = order <= 0;
      break;
    case Op::Gt:
      result = order > 0;
      break;
    case Op::Ge:
      result = order >= 0;
      break;
    case Op::Like:
    case Op::Unlike:
    case Op::In:
      result = false;  // a Null value is in no set
      break;
  }
  return result ? kTrue : kFalse;
}

bool TFilterPlan::Accept(const std::uint8_t* record) {
  if (steps_.size() == 1 && steps_[0].kind == StepKind::Test) {
    const int verdict = TestVerdict(tests_[steps_[0].test], record);
    if (verdict == kNull) throw EVariantTypeCastError();
    return verdict == kTrue;
  }
  std::uint8_t* top = stack_.data();
  for (const Step& step : steps_) {
    switch (step.kind) {
      case StepKind::Test:
        *top++ = static_cast<std::uint8_t>(TestVerdict(tests_[step.test], record));
        break;
      case StepKind::True:
        *top++ = kTrue;
        break;
      case StepKind::False:
        *top++ = kFalse;
        break;
      case StepKind::Not:
        if (top[-1] != kNull) top[-1] = top[-1] == kTrue ? kFalse : kTrue;
        break;
      default: {
        // Null with anything is Null; two booleans combine as booleans.
        const std::uint8_t b = *--top, a = top[-1];
        if (a == kNull || b == kNull) {
          top[-1] = kNull;
        } else if (step.kind == StepKind::And) {
          top[-1] = a & b;
        } else if (step.kind == StepKind::Or) {
          top[-1] = a | b;
        } else {
          top[-1] = a ^ b;
        }
        break;
      }
    }
  }
  if (top[-1] == kNull) throw EVariantTypeCastError();
  return top[-1] == kTrue;
}

}  // namespace tavlo
