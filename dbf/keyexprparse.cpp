// The key expression compiler: words of the xBase expression language to typed nodes. It
// knows only the words docs/indexes.md lists and refuses anything else with the exact word,
// its position and the reason; types are fixed here, so evaluation never checks them.
#include <algorithm>
#include <cmath>

#include "dbf/keyexprnode.h"
#include "dbf/keyexprwords.h"

namespace tavlo {

namespace {

using keyexpr::Node;
using keyexpr::Op;
using keyexpr::Quoted;
using keyexpr::Tok;
using keyexpr::Token;
using keyexpr::Upper;

// Texts longer than this are refused: no index key or FOR clause needs them, and a value of
// every node is kept ready at its greatest length.
constexpr int kMaxTextLength = 65535;
constexpr int kMaxDepth = 64;
// Evaluation recurses through the nodes: their count bounds its depth.
constexpr std::size_t kMaxNodes = 1024;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return out;
}

const char* KindName(TKeyKind kind) {
  switch (kind) {
    case TKeyKind::Character:
      return "a text";
    case TKeyKind::Numeric:
      return "a number";
    case TKeyKind::Date:
      return "a date";
    case TKeyKind::DateTime:
      return "a date-time";
    case TKeyKind::Logical:
      return "a logical";
  }
  return "?";
}

// The words and their argument counts; each is checked and typed in TCompiler::Function.
struct FunctionWord {
  const char* name;
  int minimum;
  int maximum;
};
constexpr FunctionWord kFunctions[] = {
    {"UPPER", 1, 1},  {"LOWER", 1, 1},   {"LEFT", 2, 2},  {"RIGHT", 2, 2},   {"SUBSTR", 2, 3},
    {"TRIM", 1, 1},   {"RTRIM", 1, 1},   {"LTRIM", 1, 1}, {"ALLTRIM", 1, 1}, {"PADL", 2, 3},
    {"PADR", 2, 3},   {"PADC", 2, 3},    {"STR", 1, 3},   {"VAL", 1, 1},     {"DTOS", 1, 1},
    {"DTOC", 1, 2},   {"CTOD", 1, 1},    {"YEAR", 1, 1},  {"MONTH", 1, 1},   {"DAY", 1, 1},
    {"IIF", 3, 3},    {"DELETED", 0, 0}, {"RECNO", 0, 0}, {"BINTOC", 1, 2},  {"EMPTY", 1, 1},
    {"ISNULL", 1, 1}, {"NVL", 2, 2},
};

class TCompiler : public keyexpr::TWords {
 public:
  TCompiler(std::string_view text, const TKeyExprTable& table) : TWords(text), table_(table) {}

  std::vector<Node> Compile() {
    Advance();
    Expression(0);
    if (token_.kind != Tok::End) {
      Refuse(token_, Quoted(token_.text) + " follows a complete expression");
    }
    return std::move(nodes_);
  }

 private:
  // ---- nodes ----

  int Add(Node node) {
    if (nodes_.size() >= kMaxNodes) {
      Refuse(token_, "the expression has more than 1024 parts");
    }
    if (node.type.kind == TKeyKind::Character) {
      node.value.text.reserve(static_cast<std::size_t>(node.type.length));
    }
    nodes_.push_back(std::move(node));
    return static_cast<int>(nodes_.size()) - 1;
  }

  const Node& At(int index) const { return nodes_[static_cast<std::size_t>(index)]; }

  int Make(Op op, TKeyType type, std::initializer_list<int> args) {
    Node node;
    node.op = op;
    node.type = type;
    int i = 0;
    for (int arg : args) {
      node.args[static_cast<std::size_t>(i++)] = arg;
      node.type.nullable = node.type.nullable || At(arg).type.nullable;
    }
    return Add(std::move(node));
  }

  static TKeyType TypeOf(TKeyKind kind, int length = 0) {
    TKeyType type;
    type.kind = kind;
    type.length = length;
    return type;
  }

  // ---- grammar: .OR. < .AND. < .NOT. < comparisons < + - < * / % < ^ ** < unary ----

  int Expression(int depth) {
    if (depth > kMaxDepth) Refuse(token_, "the expression is nested deeper than 64 levels");
    int left = Conjunction(depth);
    while (token_.kind == Tok::Or) {
      const Token op = token_;
      Advance();
      left = Logical(Op::Or, op, left, Conjunction(depth));
    }
    return left;
  }

  int Conjunction(int depth) {
    int left = Negation(depth);
    while (token_.kind == Tok::And) {
      const Token op = token_;
      Advance();
      left = Logical(Op::And, op, left, Negation(depth));
    }
    return left;
  }

  int Logical(Op op, const Token& at, int a, int b) {
    if (At(a).type.kind != TKeyKind::Logical || At(b).type.kind != TKeyKind::Logical) {
      Refuse(at, Quoted(at.text) + " joins logicals, not " + KindName(At(a).type.kind) + " and " +
                     KindName(At(b).type.kind));
    }
    return Make(op, TypeOf(TKeyKind::Logical), {a, b});
  }

  int Negation(int depth) {
    if (token_.kind != Tok::Not) return Comparison(depth);
    const Token op = token_;
    Advance();
    if (depth > kMaxDepth) Refuse(op, "the expression is nested deeper than 64 levels");
    const int a = Negation(depth + 1);
    if (At(a).type.kind != TKeyKind::Logical) {
      Refuse(op, Quoted(op.text) + " needs a logical, not " + KindName(At(a).type.kind));
    }
    return Make(Op::Not, TypeOf(TKeyKind::Logical), {a});
  }

  int Comparison(int depth) {
    const int left = Sum(depth);
    static const std::pair<const char*, Op> kComparisons[] = {
        {"=", Op::Equal},         {"==", Op::Exact},  {"<>", Op::NotEqual},  {"#", Op::NotEqual},
        {"!=", Op::NotEqual},     {"<", Op::Less},    {"<=", Op::LessEqual}, {">", Op::Greater},
        {">=", Op::GreaterEqual}, {"$", Op::Contains}};
    for (const auto& [text, op] : kComparisons) {
      if (!AtOp(text)) continue;
      const Token at = token_;
      Advance();
      const int right = Sum(depth);
      const TKeyKind kind = At(left).type.kind;
      const bool ordered = op != Op::Equal && op != Op::Exact && op != Op::NotEqual;
      if (kind != At(right).type.kind || (op == Op::Contains && kind != TKeyKind::Character) ||
          (ordered && kind == TKeyKind::Logical)) {
        Refuse(at, Quoted(at.text) + " cannot compare " + KindName(kind) + " with " +
                       KindName(At(right).type.kind));
      }
      const int node = Make(op, TypeOf(TKeyKind::Logical), {left, right});
      nodes_.back().operand = kind;
      return node;
    }
    return left;
  }

  int Sum(int depth) {
    int left = Product(depth);
    while (AtOp("+") || AtOp("-")) {
      const Token at = token_;
      Advance();
      left = Arithmetic(at, left, Product(depth));
    }
    return left;
  }

  int Product(int depth) {
    int left = Unary(depth);
    while (AtOp("*") || AtOp("/") || AtOp("%")) {
      const Token at = token_;
      Advance();
      left = Arithmetic(at, left, Unary(depth));
    }
    return left;
  }

  int Unary(int depth) {
    if (AtOp("-") || AtOp("+")) {
      const Token at = token_;
      Advance();
      if (depth > kMaxDepth) Refuse(at, "the expression is nested deeper than 64 levels");
      const int a = Unary(depth + 1);
      if (At(a).type.kind != TKeyKind::Numeric) {
        Refuse(at, Quoted(at.text) + " needs a number, not " + KindName(At(a).type.kind));
      }
      if (at.string == "+") return a;
      if (At(a).op == Op::Literal) {
        nodes_[static_cast<std::size_t>(a)].value.number = -At(a).value.number;
        return a;
      }
      // A computed number has no width of its own (NTX keys take the header's).
      TKeyType type = TypeOf(TKeyKind::Numeric);
      type.decimals = At(a).type.decimals;
      return Make(Op::Negate, type, {a});
    }
    return Power(depth);
  }

  int Power(int depth) {
    int left = Primary(depth);
    while (AtOp("^") || AtOp("**")) {
      const Token at = token_;
      Advance();
      left = Arithmetic(at, left, Primary(depth));
    }
    return left;
  }

  int Arithmetic(const Token& at, int a, int b) {
    const TKeyKind x = At(a).type.kind, y = At(b).type.kind;
    const bool dated = x == TKeyKind::Date || x == TKeyKind::DateTime;
    // Date-times count seconds, dates days.
    const double perDay = x == TKeyKind::DateTime || y == TKeyKind::DateTime ? 86400 : 1;
    const char op = at.string[0];
    int node = -1;
    if (x == TKeyKind::Character && y == TKeyKind::Character && (op == '+' || op == '-')) {
      if (At(a).type.length + At(b).type.length > kMaxTextLength) {
        Refuse(at, Quoted(at.text) + " makes a text longer than 65535 characters");
      }
      TKeyType type = TypeOf(TKeyKind::Character, At(a).type.length + At(b).type.length);
      type.variable = At(a).type.variable || At(b).type.variable;
      node = Make(op == '+' ? Op::Concat : Op::ConcatMove, type, {a, b});
    } else if (x == TKeyKind::Numeric && y == TKeyKind::Numeric) {
      static const std::pair<const char*, Op> kOps[] = {
          {"+", Op::Add},    {"-", Op::Subtract}, {"*", Op::Multiply}, {"/", Op::Divide},
          {"%", Op::Modulo}, {"^", Op::Power},    {"**", Op::Power}};
      for (const auto& [text, code] : kOps) {
        if (at.string == text) node = Make(code, TypeOf(TKeyKind::Numeric), {a, b});
      }
    } else if (dated && y == TKeyKind::Numeric && (op == '+' || op == '-')) {
      node = Make(op == '+' ? Op::DateAdd : Op::DateSub, TypeOf(x), {a, b});
      nodes_.back().scale = perDay;
    } else if (x == TKeyKind::Numeric && (y == TKeyKind::Date || y == TKeyKind::DateTime) &&
               op == '+') {
      node = Make(Op::DateAdd, TypeOf(y), {b, a});
      nodes_.back().scale = perDay;
    } else if (dated && x == y && op == '-') {
      node = Make(Op::DateDiff, TypeOf(TKeyKind::Numeric), {a, b});
      nodes_.back().scale = perDay;
    }
    if (node < 0) {
      Refuse(at, Quoted(at.text) + " cannot join " + KindName(x) + " and " + KindName(y));
    }
    return node;
  }

  int Primary(int depth) {
    const Token at = token_;
    switch (at.kind) {
      case Tok::Number: {
        Advance();
        Node node;
        node.op = Op::Literal;
        node.type = TypeOf(TKeyKind::Numeric, static_cast<int>(at.text.size()));
        node.type.decimals = at.decimals;
        node.value.number = at.number;
        return Add(std::move(node));
      }
      case Tok::String: {
        if (at.string.size() > kMaxTextLength) {
          Refuse(at, "the text is longer than 65535 characters");
        }
        Advance();
        Node node;
        node.op = Op::Literal;
        node.type = TypeOf(TKeyKind::Character, static_cast<int>(at.string.size()));
        node.value.text = at.string;
        return Add(std::move(node));
      }
      case Tok::Date:
      case Tok::Logical: {
        Advance();
        Node node;
        node.op = Op::Literal;
        node.type = TypeOf(at.kind == Tok::Date ? TKeyKind::Date : TKeyKind::Logical);
        node.value.number = at.kind == Tok::Date ? at.number : 0;
        node.value.logical = at.kind == Tok::Logical && at.number != 0;
        return Add(std::move(node));
      }
      case Tok::Open: {
        Advance();
        const int inner = Expression(depth + 1);
        if (token_.kind != Tok::Close) Refuse(token_, Expected(")"));
        Advance();
        return inner;
      }
      case Tok::Name:
        return Name(depth);
      default:
        Refuse(at, at.kind == Tok::End
                       ? std::string("the expression ends where a value is expected")
                       : Quoted(at.text) + " stands where a value is expected");
    }
  }

  std::string Expected(const char* what) const {
    if (token_.kind == Tok::End)
      return std::string("the expression ends where ") + what + " is expected";
    return Quoted(token_.text) + " stands where " + what + " is expected";
  }

  int Name(int depth) {
    const Token name = token_;
    Advance();
    if (token_.kind == Tok::Open) return Function(name, depth);
    if (token_.kind != Tok::Arrow) return Field(name);
    // FIELD->NAME and ALIAS->NAME: only this table's own fields.
    const std::string prefix = Upper(name.text);
    if (prefix != "FIELD" && prefix != "_FIELD" && prefix != table_.alias) {
      Refuse(name, std::string(name.text) + "-> names another table than this one (" +
                       table_.alias + ")");
    }
    Advance();
    if (token_.kind != Tok::Name) Refuse(token_, Expected("a field name"));
    const Token field = token_;
    Advance();
    if (token_.kind == Tok::Open) Refuse(field, Quoted(field.text) + " after -> is no field");
    return Field(field);
  }

  // A field by its name, any case. Names longer than 10 characters stand for the field of
  // their first 10 (the names of a Visual FoxPro database container, which the table's
  // descriptors cut to 10), unless another field starts with the same 9 characters: then
  // the container may have renamed the cut names (creditcar2), and only it could tell.
  int FindField(const Token& name) const {
    const std::string wanted = Lower(name.text);
    const std::size_t cut = std::min<std::size_t>(wanted.size(), 10);
    int found = -1;
    for (std::size_t f = 0; f < table_.names.size(); ++f) {
      if (table_.names[f] == wanted.substr(0, cut)) found = static_cast<int>(f);
    }
    if (found < 0 || wanted.size() <= 10) return found;
    for (std::size_t f = 0; f < table_.names.size(); ++f) {
      if (static_cast<int>(f) != found && table_.names[f].compare(0, 9, wanted, 0, 9) == 0) {
        Refuse(name, "the field " + std::string(name.text) +
                         " is cut to 10 characters in the table, and more than one field "
                         "starts like it");
      }
    }
    return found;
  }

  int Field(const Token& name) {
    const int field = FindField(name);
    if (field < 0 || table_.layout == nullptr || field >= table_.layout->Columns()) {
      Refuse(name, "the table has no field " + std::string(name.text));
    }
    const TColumn& column = table_.layout->Column(field);
    Node node;
    node.op = Op::Field;
    node.column = field;
    node.type.nullable = column.nullable;
    // Letters the table's format does not know are read as text, which is no value of
    // theirs (the binary integers Harbour writes into dBase III tables).
    const char letter = static_cast<std::size_t>(field) < table_.letters.size()
                            ? table_.letters[static_cast<std::size_t>(field)]
                            : 'C';
    if (column.reading == FieldReading::String && letter != 'C') {
      Refuse(name, "the field " + std::string(name.text) + " is of type " + std::string(1, letter) +
                       ", which this table's format does not read as a value");
    }
    switch (column.reading) {
      case FieldReading::String:
      case FieldReading::VarText:
        node.type.kind = TKeyKind::Character;
        node.type.length = column.length;
        node.type.variable = column.reading == FieldReading::VarText;
        break;
      case FieldReading::Whole:
      case FieldReading::Float:
        node.type.kind = TKeyKind::Numeric;
        node.type.length = column.length;
        break;
      case FieldReading::Date:
        node.type.kind = TKeyKind::Date;
        break;
      case FieldReading::Logical:
        node.type.kind = TKeyKind::Logical;
        break;
      case FieldReading::Binary:
        switch (column.storage) {
          case FieldStorage::LittleEndianInteger:
          case FieldStorage::SortableInteger:
            node.type.kind = TKeyKind::Numeric;
            node.type.integer = column.storage == FieldStorage::LittleEndianInteger;
            break;
          case FieldStorage::LittleEndianDouble:
          case FieldStorage::SortableDouble:
          case FieldStorage::Currency:
            node.type.kind = TKeyKind::Numeric;
            break;
          case FieldStorage::FoxDateTime:
          case FieldStorage::SortableTimestamp:
            node.type.kind = TKeyKind::DateTime;
            break;
          default:
            Refuse(name, "the field " + std::string(name.text) + " holds no value a key can hold");
        }
        break;
      default:
        Refuse(name, "the field " + std::string(name.text) +
                         " holds no value a key can hold (memo, binary or of a type this "
                         "table's format does not read)");
    }
    if (column.reading == FieldReading::Binary && column.length > column.available) {
      Refuse(name, "the field " + std::string(name.text) + " does not lie inside the record");
    }
    if (node.type.kind == TKeyKind::Numeric &&
        static_cast<std::size_t>(field) < table_.decimals.size()) {
      node.type.decimals = table_.decimals[static_cast<std::size_t>(field)];
    }
    return Add(std::move(node));
  }

  // ---- functions ----

  bool Constant(int arg, double& value) const {
    if (At(arg).op != Op::Literal || At(arg).type.kind != TKeyKind::Numeric) return false;
    value = At(arg).value.number;
    return true;
  }

  // A whole number written in the expression, min to max.
  int ConstantArg(const Token& name, const std::vector<int>& args, std::size_t i, int min, int max,
                  const char* what) const {
    double value = 0;
    if (!Constant(args[i], value) || value != std::floor(value) || value < min || value > max) {
      Refuse(name, Upper(name.text) + "()'s " + what + " must be a whole number from " +
                       std::to_string(min) + " to " + std::to_string(max) +
                       " written in the expression");
    }
    return static_cast<int>(value);
  }

  void NeedKind(const Token& name, const std::vector<int>& args, std::size_t i,
                std::initializer_list<TKeyKind> kinds) const {
    for (TKeyKind kind : kinds) {
      if (At(args[i]).type.kind == kind) return;
    }
    Refuse(name, Upper(name.text) + "() cannot take " + KindName(At(args[i]).type.kind) +
                     " as its argument " + std::to_string(i + 1));
  }

  int Function(const Token& name, int depth) {
    const std::string word = Upper(name.text);
    const FunctionWord* function = nullptr;
    for (const FunctionWord& f : kFunctions) {
      if (word == f.name) function = &f;
    }
    if (function == nullptr) {
      Refuse(name, "the function " + std::string(name.text) + "() is not understood");
    }
    Advance();  // (
    std::vector<int> args;
    if (token_.kind != Tok::Close) {
      for (;;) {
        args.push_back(Expression(depth + 1));
        if (token_.kind != Tok::Comma) break;
        Advance();
      }
    }
    if (token_.kind != Tok::Close) Refuse(token_, Expected("\",\" or \")\""));
    Advance();
    const int count = static_cast<int>(args.size());
    if (count < function->minimum || count > function->maximum) {
      const std::string takes =
          function->minimum == function->maximum
              ? std::to_string(function->minimum)
              : std::to_string(function->minimum) + " to " + std::to_string(function->maximum);
      Refuse(name, word + "() takes " + takes + " argument" + (function->maximum == 1 ? "" : "s") +
                       ", not " + std::to_string(count));
    }
    return Typed(name, word, args);
  }

  int Typed(const Token& name, const std::string& word, const std::vector<int>& args) {
    const auto arg = [&](std::size_t i) -> const TKeyType& { return At(args[i]).type; };
    const auto text = [&](std::initializer_list<int> indexes) {
      for (int i : indexes)
        NeedKind(name, args, static_cast<std::size_t>(i), {TKeyKind::Character});
    };
    const auto number = [&](std::initializer_list<int> indexes) {
      for (int i : indexes) NeedKind(name, args, static_cast<std::size_t>(i), {TKeyKind::Numeric});
    };
    const auto dated = [&]() { NeedKind(name, args, 0, {TKeyKind::Date, TKeyKind::DateTime}); };
    TKeyType type;
    if (word == "UPPER" || word == "LOWER") {
      text({0});
      if (!table_.caseMapped) {
        Refuse(name, word + "() cannot change case in the code page " +
                         std::to_string(table_.codePage) +
                         " (its characters take two bytes, or it cannot be converted)");
      }
      return MakeArgs(word == "UPPER" ? Op::Upper : Op::Lower, arg(0), args);
    }
    if (word == "LEFT" || word == "RIGHT") {
      text({0});
      number({1});
      type = arg(0);
      double count = 0;
      if (Constant(args[1], count)) {
        type.length = static_cast<int>(std::clamp(std::floor(count), 0.0, double(type.length)));
      } else {
        type.variable = true;
      }
      return MakeArgs(word == "LEFT" ? Op::Left : Op::Right, type, args);
    }
    if (word == "SUBSTR") {
      text({0});
      number({1});
      if (args.size() == 3) number({2});
      type = arg(0);
      double start = 0, length = 0;
      const bool fixedStart = Constant(args[1], start);
      if (fixedStart && start < 1) {
        Refuse(name, "SUBSTR()'s start " + std::to_string(static_cast<long long>(start)) +
                         " lies before the text");
      }
      int most = type.length;
      if (fixedStart) {
        most = std::max(0, type.length - static_cast<int>(std::min(start, 1e6)) + 1);
      }
      if (args.size() == 3 && Constant(args[2], length)) {
        most = std::min(most, static_cast<int>(std::clamp(std::floor(length), 0.0, 1e6)));
      } else if (args.size() == 3) {
        type.variable = true;
      }
      if (!fixedStart) type.variable = true;
      type.length = most;
      const int node = MakeArgs(Op::Substr, type, args);
      nodes_.back().n = args.size() == 3 ? 1 : 0;
      return node;
    }
    if (word == "TRIM" || word == "RTRIM" || word == "LTRIM" || word == "ALLTRIM") {
      text({0});
      type = arg(0);
      type.variable = true;
      const Op op = word == "LTRIM" ? Op::LTrim : word == "ALLTRIM" ? Op::AllTrim : Op::Trim;
      return MakeArgs(op, type, args);
    }
    if (word == "PADL" || word == "PADR" || word == "PADC") {
      text({0});
      number({1});
      const int length = ConstantArg(name, args, 1, 0, kMaxTextLength, "length");
      char fill = ' ';
      if (args.size() == 3) {
        text({2});
        if (At(args[2]).op != Op::Literal || At(args[2]).value.text.size() != 1) {
          Refuse(name, word + "()'s filler must be one character written in the expression");
        }
        fill = At(args[2]).value.text[0];
      }
      type = TypeOf(TKeyKind::Character, length);
      const Op op = word == "PADL" ? Op::PadL : word == "PADR" ? Op::PadR : Op::PadC;
      const int node = MakeArgs(op, type, {args[0]});
      nodes_.back().n = length;
      nodes_.back().fill = fill;
      return node;
    }
    if (word == "STR") {
      number({0});
      const int length = args.size() > 1 ? ConstantArg(name, args, 1, 1, 255, "length") : 10;
      const int decimals = args.size() > 2 ? ConstantArg(name, args, 2, 0, 18, "decimals") : 0;
      const int node = MakeArgs(Op::Str, TypeOf(TKeyKind::Character, length), {args[0]});
      nodes_.back().n = length;
      nodes_.back().m = decimals;
      return node;
    }
    if (word == "VAL") {
      text({0});
      return MakeArgs(Op::Val, TypeOf(TKeyKind::Numeric), args);
    }
    if (word == "DTOS" || word == "DTOC") {
      dated();
      bool ymd = word == "DTOS";
      if (args.size() == 2) {
        number({1});
        ConstantArg(name, args, 1, 1, 1, "second argument");
        ymd = true;
      }
      return MakeArgs(ymd ? Op::Dtos : Op::Dtoc, TypeOf(TKeyKind::Character, 8), {args[0]});
    }
    if (word == "CTOD") {
      text({0});
      return MakeArgs(Op::Ctod, TypeOf(TKeyKind::Date), args);
    }
    if (word == "YEAR" || word == "MONTH" || word == "DAY") {
      dated();
      const Op op = word == "YEAR" ? Op::Year : word == "MONTH" ? Op::Month : Op::Day;
      return MakeArgs(op, TypeOf(TKeyKind::Numeric), args);
    }
    if (word == "IIF" || word == "NVL") {
      const std::size_t first = word == "IIF" ? 1 : 0;
      if (word == "IIF") NeedKind(name, args, 0, {TKeyKind::Logical});
      // Copies: making the node may move the nodes.
      const TKeyType a = arg(first);
      const TKeyType b = arg(first + 1);
      if (a.kind != b.kind) {
        Refuse(name, word + "() cannot give " + KindName(a.kind) + " or " + KindName(b.kind));
      }
      type = a;
      type.length = std::max(a.length, b.length);
      type.decimals = std::max(a.decimals, b.decimals);
      type.variable = a.variable || b.variable || a.length != b.length;
      type.integer = a.integer && b.integer;
      if (word == "NVL") {
        const int node = Make(Op::Nvl, type, {});
        Node& made = nodes_.back();
        made.args = {args[0], args[1], -1};
        made.type.nullable = b.nullable;
        return node;
      }
      const int node = MakeArgs(Op::Iif, type, args);
      // A null condition takes the second branch: only the branches make the value null.
      nodes_.back().type.nullable = a.nullable || b.nullable;
      return node;
    }
    if (word == "DELETED" || word == "RECNO") {
      return Make(word == "DELETED" ? Op::Deleted : Op::RecNo,
                  TypeOf(word == "DELETED" ? TKeyKind::Logical : TKeyKind::Numeric), {});
    }
    if (word == "BINTOC") {
      number({0});
      int size = 4;
      if (args.size() == 2) {
        size = ConstantArg(name, args, 1, 1, 4, "size");
        if (size == 3) Refuse(name, "BINTOC()'s size must be 1, 2 or 4");
      }
      const int node = MakeArgs(Op::BinToC, TypeOf(TKeyKind::Character, size), {args[0]});
      nodes_.back().n = size;
      return node;
    }
    // EMPTY and ISNULL: never null themselves.
    const int node =
        MakeArgs(word == "EMPTY" ? Op::Empty : Op::IsNull, TypeOf(TKeyKind::Logical), args);
    nodes_.back().type.nullable = false;
    return node;
  }

  int MakeArgs(Op op, TKeyType type, const std::vector<int>& args) {
    type.nullable = false;
    const int node = Make(op, type, {});
    Node& made = nodes_.back();
    for (std::size_t i = 0; i < args.size() && i < made.args.size(); ++i) {
      made.args[i] = args[i];
      made.type.nullable = made.type.nullable || At(args[i]).type.nullable;
    }
    return node;
  }

  const TKeyExprTable& table_;
  std::vector<Node> nodes_;
};

}  // namespace

char KeyKindLetter(TKeyKind kind) {
  switch (kind) {
    case TKeyKind::Character:
      return 'C';
    case TKeyKind::Numeric:
      return 'N';
    case TKeyKind::Date:
      return 'D';
    case TKeyKind::DateTime:
      return 'T';
    case TKeyKind::Logical:
      return 'L';
  }
  return '?';
}

TKeyExpression TKeyExpression::Compile(std::string_view text, const TKeyExprTable& table) {
  TKeyExpression expression;
  expression.text_ = std::string(text);
  expression.nodes_ = TCompiler(expression.text_, table).Compile();
  expression.layout_ = table.layout;
  expression.upper_ = table.upper;
  expression.lower_ = table.lower;
  return expression;
}

}  // namespace tavlo
