// The key expression evaluator: a compiled expression's nodes on the raw bytes of one
// record, each value written into the slot its node keeps, so that nothing is allocated per
// record. Fields are read through the column layout only; record bytes are never written.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "dbf/binaryfields.h"
#include "dbf/fieldcodec.h"
#include "dbf/keyexprnode.h"
#include "text/qelstrings.h"

namespace tavlo {

using keyexpr::Node;
using keyexpr::Op;

namespace {

constexpr double kJulianOfDayZero = 1721425;

bool IsBlankText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

// Trailing blanks only, as TRIM takes them.
std::string_view WithoutTrailing(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::string_view WithoutLeading(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

// Byte order, the shorter text compared as if filled with blanks (MACHINE collation).
int CompareTexts(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  const int head = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (head != 0) return head;
  for (std::size_t i = common; i < a.size(); ++i) {
    if (a[i] != ' ') return static_cast<unsigned char>(a[i]) < ' ' ? -1 : 1;
  }
  for (std::size_t i = common; i < b.size(); ++i) {
    if (b[i] != ' ') return static_cast<unsigned char>(b[i]) < ' ' ? 1 : -1;
  }
  return 0;
}

// a = b as xBase compares texts when exactness is off: b is a prefix of a; a shorter a
// counts as filled with blanks. An empty b equals every text.
bool TextsEqual(std::string_view a, std::string_view b) {
  if (a.size() >= b.size()) return a.compare(0, b.size(), b) == 0;
  return b.compare(0, a.size(), a) == 0 && IsBlankText(b.substr(a.size()));
}

// VAL: leading blanks, a sign, digits and a point; the rest of the text is ignored.
double ValueOfText(std::string_view text) {
  text = WithoutLeading(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  double value = 0;
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (result.ec != std::errc()) return 0;
  return negative ? -value : value;
}

// The characters a number counts: its whole part, 0 for anything below 1 (and for NaN).
std::size_t CountOf(double value) {
  if (!(value >= 1)) return 0;
  return value > 1e9 ? std::size_t{1000000000} : static_cast<std::size_t>(value);
}

// The calendar date of a Julian day; zeros for the empty date and for days beyond the
// calendar (date arithmetic can reach them).
void DateParts(double julian, int& year, int& month, int& day) {
  year = month = day = 0;
  if (!(julian >= kJulianOfDayZero + 1 && julian < kJulianOfDayZero + 3652060)) return;
  DateOfDayNumber(static_cast<std::int32_t>(std::floor(julian) - kJulianOfDayZero), year, month,
                  day);
}

void PutDigits(char* at, int value, int count) {
  for (int i = count - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
}

// CTOD of MM/DD/YY or MM/DD/YYYY (any separators); two-digit years are of the 1900s, as
// the default century and epoch of xBase have them. The empty date for anything else.
double DateOfText(std::string_view text) {
  int parts[3] = {0, 0, 0};
  int lengths[3] = {0, 0, 0};
  int part = 0;
  text = WithoutTrailing(WithoutLeading(text));
  if (text.empty()) return 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (lengths[part] >= 4) return 0;
      parts[part] = parts[part] * 10 + (c - '0');
      ++lengths[part];
    } else {
      if (lengths[part] == 0 || part == 2) return 0;
      ++part;
    }
  }
  if (part != 2 || lengths[2] == 0) return 0;
  int year = parts[2];
  if (lengths[2] <= 2) year += 1900;
  const std::int32_t native = DayNumberOfDate(year, parts[0], parts[1]);
  return native == 0 ? 0 : native + kJulianOfDayZero;
}

class TEvaluator {
 public:
  TEvaluator(std::vector<Node>& nodes, const TColumnLayout* layout,
             const std::array<unsigned char, 256>& upper,
             const std::array<unsigned char, 256>& lower, const std::uint8_t* record,
             std::uint32_t recordNumber, std::string& failure)
      : nodes_(nodes),
        layout_(layout),
        upper_(upper),
        lower_(lower),
        record_(record),
        recordNumber_(recordNumber),
        failure_(failure) {}

  bool Run(int index) {
    Node& node = nodes_[static_cast<std::size_t>(index)];
    TKeyValue& out = node.value;
    switch (node.op) {
      case Op::Literal:
        return true;
      case Op::Field:
        ReadField(node);
        return true;
      case Op::RecNo:
        out.number = recordNumber_;
        return true;
      case Op::Deleted:
        out.logical = record_[0] == '*';
        return true;
      case Op::Iif:
        return Choice(node);
      case Op::Nvl:
        if (!Run(node.args[0])) return false;
        if (!Arg(node, 0).null) return Take(out, Arg(node, 0));
        return Run(node.args[1]) && Take(out, Arg(node, 1));
      case Op::Empty:
      case Op::IsNull:
        if (!Run(node.args[0])) return false;
        out.null = false;
        out.logical = node.op == Op::IsNull ? Arg(node, 0).null : IsEmpty(Arg(node, 0), node);
        return true;
      case Op::And:
      case Op::Or:
        return Junction(node);
      default:
        break;
    }
    out.null = false;
    for (int arg : node.args) {
      if (arg < 0) continue;
      if (!Run(arg)) return false;
      if (nodes_[static_cast<std::size_t>(arg)].value.null) out.null = true;
    }
    if (out.null) return true;
    return Compute(node);
  }

 private:
  const TKeyValue& Arg(const Node& node, int i) const {
    return nodes_[static_cast<std::size_t>(node.args[static_cast<std::size_t>(i)])].value;
  }
  const Node& ArgNode(const Node& node, int i) const {
    return nodes_[static_cast<std::size_t>(node.args[static_cast<std::size_t>(i)])];
  }

  static bool Take(TKeyValue& out, const TKeyValue& from) {
    out.null = from.null;
    out.logical = from.logical;
    out.number = from.number;
    out.text.assign(from.text);
    return true;
  }

  bool Fail(const std::string& why) {
    failure_ = why;
    return false;
  }

  void ReadField(Node& node) {
    TKeyValue& out = node.value;
    const TColumn& column = layout_->Column(node.column);
    out.null = column.nullBit >= 0 && layout_->NullFlagged(column, record_);
    if (out.null) return;
    const std::uint8_t* bytes = record_ + column.offset;
    switch (column.reading) {
      case FieldReading::String: {
        const auto available = static_cast<std::size_t>(std::max(0, column.available));
        out.text.assign(reinterpret_cast<const char*>(bytes),
                        std::min(available, static_cast<std::size_t>(column.length)));
        out.text.resize(static_cast<std::size_t>(column.length), ' ');
        return;
      }
      case FieldReading::VarText:
        out.text.assign(layout_->ValueBytes(column, record_));
        return;
      case FieldReading::Whole:
      case FieldReading::Float: {
        const std::string_view text = layout_->Text(column, record_);
        out.number = text.empty() ? 0 : TColumnLayout::Real(text);
        return;
      }
      case FieldReading::Date: {
        const std::string_view text = layout_->Text(column, record_);
        const std::int32_t day = text.empty() ? 0 : TColumnLayout::Day(text);
        out.number = day > 0 ? day + kJulianOfDayZero : 0;
        return;
      }
      case FieldReading::Logical:
        out.logical = TColumnLayout::Logical(layout_->Text(column, record_)) == TLogical::True;
        return;
      default:
        ReadBinary(column, bytes, out);
        return;
    }
  }

  static void ReadBinary(const TColumn& column, const std::uint8_t* bytes, TKeyValue& out) {
    const auto length = static_cast<std::size_t>(column.length);
    out.number = 0;
    if (BinaryFieldIsBlank(column.storage, bytes, length)) return;
    switch (column.storage) {
      case FieldStorage::LittleEndianInteger:
      case FieldStorage::SortableInteger: {
        std::int32_t value = 0;
        if (DecodeBinaryField(column.storage, TFieldType::ftInteger, bytes, length, &value))
          out.number = value;
        return;
      }
      case FieldStorage::Currency: {
        std::int64_t value = 0;
        if (DecodeBinaryField(column.storage, TFieldType::ftCurrency, bytes, length, &value))
          out.number = static_cast<double>(value) / 10000;
        return;
      }
      case FieldStorage::FoxDateTime:
      case FieldStorage::SortableTimestamp: {
        double value = 0;
        if (DecodeBinaryField(column.storage, TFieldType::ftDateTime, bytes, length, &value))
          out.number = value + kJulianDayOfPlatformZero;
        return;
      }
      default: {
        double value = 0;
        if (DecodeBinaryField(column.storage, TFieldType::ftFloat, bytes, length, &value))
          out.number = value;
        return;
      }
    }
  }

  bool Choice(Node& node) {
    if (!Run(node.args[0])) return false;
    const TKeyValue& condition = Arg(node, 0);
    const int branch = !condition.null && condition.logical ? 1 : 2;
    return Run(node.args[static_cast<std::size_t>(branch)]) && Take(node.value, Arg(node, branch));
  }

  // Three-valued: a false side decides .AND., a true side .OR.; else null wins.
  bool Junction(Node& node) {
    if (!Run(node.args[0]) || !Run(node.args[1])) return false;
    const TKeyValue& a = Arg(node, 0);
    const TKeyValue& b = Arg(node, 1);
    const bool decisive = node.op == Op::Or;
    TKeyValue& out = node.value;
    if ((!a.null && a.logical == decisive) || (!b.null && b.logical == decisive)) {
      out.null = false;
      out.logical = decisive;
    } else {
      out.null = a.null || b.null;
      out.logical = !decisive;
    }
    return true;
  }

  bool IsEmpty(const TKeyValue& value, const Node& node) const {
    if (value.null) return false;
    switch (ArgNode(node, 0).type.kind) {
      case TKeyKind::Character:
        return std::all_of(value.text.begin(), value.text.end(),
                           [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
      case TKeyKind::Logical:
        return !value.logical;
      default:
        return value.number == 0;
    }
  }

  bool Compare(Node& node) {
    const TKeyValue& a = Arg(node, 0);
    const TKeyValue& b = Arg(node, 1);
    int order = 0;
    bool equal = false;
    if (node.operand == TKeyKind::Character) {
      if (node.op == Op::Contains) {
        node.value.logical = !a.text.empty() && FindBytes(b.text, a.text) != std::string::npos;
        return true;
      }
      order = CompareTexts(a.text, b.text);
      equal = node.op == Op::Exact ? a.text == b.text : TextsEqual(a.text, b.text);
    } else if (node.operand == TKeyKind::Logical) {
      order = static_cast<int>(a.logical) - static_cast<int>(b.logical);
      equal = order == 0;
    } else {
      order = a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
      equal = order == 0;
    }
    bool result = false;
    switch (node.op) {
      case Op::Equal:
      case Op::Exact:
        result = equal;
        break;
      case Op::NotEqual:
        result = !equal;
        break;
      case Op::Less:
        result = order < 0;
        break;
      case Op::LessEqual:
        result = order <= 0;
        break;
      case Op::Greater:
        result = order > 0;
        break;
      default:
        result = order >= 0;
        break;
    }
    node.value.logical = result;
    return true;
  }

  bool Compute(Node& node) {
    TKeyValue& out = node.value;
    switch (node.op) {
      case Op::Negate:
        out.number = -Arg(node, 0).number;
        return true;
      case Op::Not:
        out.logical = !Arg(node, 0).logical;
        return true;
      case Op::Concat:
        out.text.assign(Arg(node, 0).text);
        out.text.append(Arg(node, 1).text);
        return true;
      case Op::ConcatMove: {
        const std::string_view a = Arg(node, 0).text;
        const std::string_view kept = WithoutTrailing(a);
        out.text.assign(kept);
        out.text.append(Arg(node, 1).text);
        out.text.append(a.size() - kept.size(), ' ');
        return true;
      }
      case Op::Add:
        out.number = Arg(node, 0).number + Arg(node, 1).number;
        return true;
      case Op::Subtract:
        out.number = Arg(node, 0).number - Arg(node, 1).number;
        return true;
      case Op::Multiply:
        out.number = Arg(node, 0).number * Arg(node, 1).number;
        return true;
      case Op::Divide:
      case Op::Modulo: {
        const double a = Arg(node, 0).number, b = Arg(node, 1).number;
        if (b == 0) return Fail("division by zero");
        out.number = node.op == Op::Divide ? a / b : a - b * std::floor(a / b);
        return true;
      }
      case Op::Power:
        out.number = std::pow(Arg(node, 0).number, Arg(node, 1).number);
        return true;
      case Op::DateAdd:
      case Op::DateSub: {
        const double date = Arg(node, 0).number;
        const double days = Arg(node, 1).number / node.scale;
        // The empty date stays empty.
        out.number = date == 0 ? 0 : node.op == Op::DateAdd ? date + days : date - days;
        return true;
      }
      case Op::DateDiff: {
        const double a = Arg(node, 0).number, b = Arg(node, 1).number;
        out.number = a == 0 || b == 0 ? 0 : (a - b) * node.scale;
        return true;
      }
      case Op::Equal:
      case Op::Exact:
      case Op::NotEqual:
      case Op::Less:
      case Op::LessEqual:
      case Op::Greater:
      case Op::GreaterEqual:
      case Op::Contains:
        return Compare(node);
      default:
        return Function(node);
    }
  }

  bool Function(Node& node) {
    TKeyValue& out = node.value;
    const TKeyValue& a = Arg(node, 0);
    switch (node.op) {
      case Op::Upper:
      case Op::Lower: {
        const auto& table = node.op == Op::Upper ? upper_ : lower_;
        out.text.assign(a.text);
        for (char& c : out.text) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
        return true;
      }
      case Op::Left:
      case Op::Right: {
        const std::size_t count = std::min(a.text.size(), CountOf(Arg(node, 1).number));
        out.text.assign(a.text, node.op == Op::Left ? 0 : a.text.size() - count, count);
        return true;
      }
      case Op::Substr: {
        const std::size_t start = CountOf(Arg(node, 1).number);
        if (start == 0) return Fail("SUBSTR()'s start lies before the text");
        const std::size_t from = start - 1;
        if (from >= a.text.size()) {
          out.text.clear();
          return true;
        }
        std::size_t count = a.text.size() - from;
        if (node.n == 1) {
          count = std::min(count, CountOf(Arg(node, 2).number));
        }
        out.text.assign(a.text, from, count);
        return true;
      }
      case Op::Trim:
        out.text.assign(WithoutTrailing(a.text));
        return true;
      case Op::LTrim:
        out.text.assign(WithoutLeading(a.text));
        return true;
      case Op::AllTrim:
        out.text.assign(WithoutLeading(WithoutTrailing(a.text)));
        return true;
      case Op::PadL:
      case Op::PadR:
      case Op::PadC: {
        // A longer text keeps its first characters.
        const auto length = static_cast<std::size_t>(node.n);
        const std::size_t kept = std::min(length, a.text.size());
        const std::size_t room = length - kept;
        const std::size_t before = node.op == Op::PadL ? room : node.op == Op::PadC ? room / 2 : 0;
        out.text.assign(before, node.fill);
        out.text.append(a.text, 0, kept);
        out.text.append(room - before, node.fill);
        return true;
      }
      case Op::Str:
        out.text.resize(static_cast<std::size_t>(node.n));
        StrText(a.number, node.n, node.m, out.text.data());
        return true;
      case Op::Val:
        out.number = ValueOfText(a.text);
        return true;
      case Op::Dtos:
      case Op::Dtoc: {
        int year = 0, month = 0, day = 0;
        DateParts(a.number, year, month, day);
        out.text.assign(8, ' ');
        if (year == 0) {
          if (node.op == Op::Dtoc) out.text = "  /  /  ";
          return true;
        }
        if (node.op == Op::Dtos) {
          PutDigits(out.text.data(), year, 4);
          PutDigits(out.text.data() + 4, month, 2);
          PutDigits(out.text.data() + 6, day, 2);
        } else {
          PutDigits(out.text.data(), month, 2);
          out.text[2] = '/';
          PutDigits(out.text.data() + 3, day, 2);
          out.text[5] = '/';
          PutDigits(out.text.data() + 6, year % 100, 2);
        }
        return true;
      }
      case Op::Ctod:
        out.number = DateOfText(a.text);
        return true;
      case Op::Year:
      case Op::Month:
      case Op::Day: {
        int year = 0, month = 0, day = 0;
        DateParts(a.number, year, month, day);
        out.number = node.op == Op::Year ? year : node.op == Op::Month ? month : day;
        return true;
      }
      case Op::BinToC: {
        // Big-endian with the sign bit flipped, so that the bytes sort as the numbers do.
        const double whole = std::trunc(a.number);
        const double limit = std::ldexp(1.0, node.n * 8 - 1);
        if (!(whole >= -limit && whole < limit)) {
          return Fail("BINTOC()'s number does not fit " + std::to_string(node.n) + " bytes");
        }
        auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(whole));
        bits ^= std::uint32_t{1} << (node.n * 8 - 1);
        out.text.assign(static_cast<std::size_t>(node.n), '\0');
        for (int i = 0; i < node.n; ++i) {
          out.text[static_cast<std::size_t>(i)] = static_cast<char>(bits >> (8 * (node.n - 1 - i)));
        }
        return true;
      }
      default:
        return Fail("the expression cannot be evaluated");
    }
  }

  std::vector<Node>& nodes_;
  const TColumnLayout* layout_;
  const std::array<unsigned char, 256>& upper_;
  const std::array<unsigned char, 256>& lower_;
  const std::uint8_t* record_;
  std::uint32_t recordNumber_;
  std::string& failure_;
};

const TKeyType kNoType{};
const TKeyValue kNoValue{};

}  // namespace

bool StrText(double value, int length, int decimals, char* out) {
  static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                     1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
  std::memset(out, '*', static_cast<std::size_t>(length));
  if (decimals < 0 || decimals > 18) return false;
  const double scaled = std::fabs(value) * kTens[decimals];
  if (!std::isfinite(scaled) || scaled >= 1e18) return false;
  double whole = std::floor(scaled);
  // A tolerance for the halves that binary fractions hold a hair below (2.675).
  if (scaled - whole >= 0.5 - 1e-9) whole += 1;
  auto units = static_cast<std::uint64_t>(whole);
  char digits[48];
  int used = 0;
  char reversed[24];
  int count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + units % 10);
    units /= 10;
  } while (units != 0 || count <= decimals);
  if (value < 0 && whole != 0) digits[used++] = '-';
  for (int i = count - 1; i >= 0; --i) {
    digits[used++] = reversed[i];
    if (i == decimals && decimals > 0) digits[used++] = '.';
  }
  if (used > length) return false;
  std::memset(out, ' ', static_cast<std::size_t>(length - used));
  std::memcpy(out + (length - used), digits, static_cast<std::size_t>(used));
  return true;
}

TKeyExpression::TKeyExpression() = default;
TKeyExpression::~TKeyExpression() = default;
// A copied text keeps only the capacity its value needs: the copy reserves each node's
// greatest length again, so that it too evaluates without allocating.
TKeyExpression::TKeyExpression(const TKeyExpression& other)
    : text_(other.text_),
      nodes_(other.nodes_),
      layout_(other.layout_),
      upper_(other.upper_),
      lower_(other.lower_),
      failure_(other.failure_) {
  for (Node& node : nodes_) {
    if (node.type.kind == TKeyKind::Character) {
      node.value.text.reserve(static_cast<std::size_t>(node.type.length));
    }
  }
}

TKeyExpression& TKeyExpression::operator=(const TKeyExpression& other) {
  if (this != &other) *this = TKeyExpression(other);
  return *this;
}
TKeyExpression::TKeyExpression(TKeyExpression&&) noexcept = default;
TKeyExpression& TKeyExpression::operator=(TKeyExpression&&) noexcept = default;

const TKeyType& TKeyExpression::Type() const {
  return nodes_.empty() ? kNoType : nodes_.back().type;
}

int TKeyExpression::SingleField(bool& upper) const {
  upper = false;
  if (nodes_.empty()) return -1;
  const keyexpr::Node* node = &nodes_.back();
  if (node->op == keyexpr::Op::Upper && node->args[0] >= 0) {
    upper = true;
    node = &nodes_[static_cast<std::size_t>(node->args[0])];
  }
  return node->op == keyexpr::Op::Field ? node->column : -1;
}

const TKeyValue& TKeyExpression::Value() const {
  return nodes_.empty() ? kNoValue : nodes_.back().value;
}

bool TKeyExpression::Evaluate(const std::uint8_t* record, std::uint32_t recordNumber) {
  if (nodes_.empty()) {
    failure_ = "no expression is compiled";
    return false;
  }
  failure_.clear();
  TEvaluator evaluator(nodes_, layout_, upper_, lower_, record, recordNumber, failure_);
  return evaluator.Run(static_cast<int>(nodes_.size()) - 1);
}

bool TKeyExpression::Accepts(const std::uint8_t* record, std::uint32_t recordNumber) {
  if (Type().kind != TKeyKind::Logical || !Evaluate(record, recordNumber)) return false;
  return !Value().null && Value().logical;
}

}  // namespace tavlo
