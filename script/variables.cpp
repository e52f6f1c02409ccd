// Variables: the cells of TVariantList, the methods of internal variables (:name.method),
// external (>), system ()) and object (^) variables through the host events, and parameter
// reads (%name). Methods are dispatched at run time by exact name; operands are popped
// before the variable is looked up, so a failing lookup has consumed them.
#include <string_view>

#include "script/coreint.h"
#include "script/literals.h"
#include "script/qelscript.h"
#include "text/qelstrings.h"

namespace tavlo {

// ---- TVariantList ------------------------------------------------------------------------

TVariantObject* TVariantList::Find(const std::string& name) noexcept {
  for (Cell& cell : cells_)
    if (EqualTextNoCase(cell.name, name)) return cell.object.get();
  return nullptr;
}

TVariantObject& TVariantList::FindOrCreate(const std::string& name) {
  if (TVariantObject* found = Find(name)) return *found;
  cells_.push_back(Cell{name, std::make_unique<TVariantObject>()});
  return *cells_.back().object;
}

Variant TVariantList::Read(const std::string& name) {
  TVariantObject* cell = Find(name);
  if (cell == nullptr || cell->Items.empty()) return Variant::Null();
  return cell->Items[0];
}

void TVariantList::Write(const std::string& name, const Variant& value) {
  TVariantObject& cell = FindOrCreate(name);
  if (cell.Items.empty()) cell.Items.resize(1);
  cell.Items[0] = value;
}

TVariantObject& TVariantList::Resize(const std::string& name, std::size_t length) {
  TVariantObject& cell = FindOrCreate(name);
  cell.Items.resize(length);
  return cell;
}

// ---- Internal variables -------------------------------------------------------------------

namespace {

// Arrays beyond this would exhaust memory rather than serve a script.
constexpr std::int32_t kMaxArrayLength = 10'000'000;

[[noreturn]] void NotDefined(const std::string& name) {
  TqelScript::Fail("variable " + name + " not defined");
}

[[noreturn]] void OutOfRange(const std::string& name, std::int64_t index) {
  TqelScript::Fail("variable " + name + " array get index out of range " + std::to_string(index));
}

TVariantObject& Existing(TqelScript& s, const std::string& name) {
  TVariantObject* cell = s.Variables().Find(name);
  if (cell == nullptr) NotDefined(name);
  return *cell;
}

// Element 0 of an existing variable; a variable sized to no elements has no scalar.
Variant& Scalar(TqelScript& s, const std::string& name) {
  TVariantObject& cell = Existing(s, name);
  if (cell.Items.empty()) OutOfRange(name, 0);
  return cell.Items[0];
}

void MethodSet(TqelScript& s, const std::string& name) {
  Variant v = s.Pop();
  s.Variables().Write(name, v);
}

void MethodGet(TqelScript& s, const std::string& name) {
  const Variant& v = Scalar(s, name);
  if (v.IsNull()) NotDefined(name);
  if (v.IsEmpty()) throw EVariantInvalidOpError();
  s.Push(v);
}

void MethodIncrement(TqelScript& s, const std::string& name) {
  Variant& v = Scalar(s, name);
  v = Add(v, Variant(std::int32_t{1}));
}

void MethodDecrement(TqelScript& s, const std::string& name) {
  Variant& v = Scalar(s, name);
  v = Subtract(v, Variant(std::int32_t{1}));
}

void MethodDecrementIsZero(TqelScript& s, const std::string& name) {
  Variant& v = Scalar(s, name);
  v = Subtract(v, Variant(std::int32_t{1}));
  s.Push(Variant(Compare(v, Variant(std::int32_t{0})) == VariantOrder::Equal));
}

template <Variant (*Op)(const Variant&, const Variant&)>
void MethodArithmetic(TqelScript& s, const std::string& name) {
  Variant x = s.Pop();
  Variant& v = Scalar(s, name);
  v = Op(v, x);
}

void MethodNegate(TqelScript& s, const std::string& name) {
  Variant& v = Scalar(s, name);
  v = Negate(v);
}

void MethodIncrementIndex(TqelScript& s, const std::string& name) {
  Variant& v = Scalar(s, name);
  const std::string text = v.ToText();
  std::size_t open = text.rfind('[');
  if (open == std::string::npos) TqelScript::Fail("Increment Index: \"[\" expected in " + text);
  std::size_t close = text.rfind(']');
  if (close == std::string::npos) TqelScript::Fail("Increment Index: \"]\" expected in " + text);
  std::int32_t index;
  if (close < open || !ReadIntegerLiteral(text.substr(open + 1, close - open - 1), index))
    TqelScript::Fail("Increment Index: expected integer between \"[..]\" in " + text);
  std::string result = text.substr(0, open) + "[" + std::to_string(std::int64_t{index} + 1) + "]";
  v = Variant(result);
  s.Push(Variant(std::move(result)));
}

void MethodLoad(TqelScript& s, const std::string& name) {
  std::string file = s.PopFileName();
  Variant& v = Scalar(s, name);
  v = Variant(LoadFileToString(file));
}

void MethodSave(TqelScript& s, const std::string& name) {
  std::string file = s.PopFileName();
  const Variant& v = Scalar(s, name);
  SaveStringToFile(file, v.ToText());
}

void MethodSetSize(TqelScript& s, const std::string& name) {
  std::int32_t length = s.PopInteger();
  if (length < 0 || length > kMaxArrayLength)
    TqelScript::Fail("variable " + name + " array size out of range " + std::to_string(length));
  s.Variables().Resize(name, static_cast<std::size_t>(length));
}

void MethodGetSize(TqelScript& s, const std::string& name) {
  TVariantObject& cell = Existing(s, name);
  s.Push(Variant(static_cast<std::int32_t>(cell.Items.size())));
}

void MethodGetItem(TqelScript& s, const std::string& name) {
  std::int32_t index = s.PopInteger();
  TVariantObject& cell = Existing(s, name);
  if (index < 0 || static_cast<std::size_t>(index) >= cell.Items.size()) OutOfRange(name, index);
  const Variant& v = cell.Items[index];
  s.Push(v.IsEmpty() ? Variant::Null() : v);
}

void MethodSetItem(TqelScript& s, const std::string& name) {
  std::int32_t index = s.PopInteger();
  Variant v = s.Pop();
  TVariantObject& cell = Existing(s, name);
  if (index < 0 || static_cast<std::size_t>(index) >= cell.Items.size()) OutOfRange(name, index);
  cell.Items[index] = std::move(v);
}

void MethodSplit(TqelScript& s, const std::string& name) {
  std::vector<std::string> items =
      SplitCommaList(s.PopText(), TrailingComma::Dropped, s.WorkMeter());
  if (items.empty()) TqelScript::Fail("internal variable " + name + " can not split empty string");
  TVariantObject& cell = s.Variables().Resize(name, items.size());
  for (std::size_t k = 0; k < items.size(); ++k) cell.Items[k] = Variant(std::move(items[k]));
}

struct InternalMethod {
  std::string_view name;
  void (*run)(TqelScript&, const std::string&);
};

const InternalMethod kInternalMethods[] = {
    {"set", MethodSet},
    {"get", MethodGet},
    {"1+", MethodIncrement},
    {"1-", MethodDecrement},
    {"1-?0", MethodDecrementIsZero},
    {"+", MethodArithmetic<Add>},
    {"-", MethodArithmetic<Subtract>},
    {"*", MethodArithmetic<Multiply>},
    {"/", MethodArithmetic<Divide>},
    {"--", MethodNegate},
    {"[1+]", MethodIncrementIndex},
    {"load", MethodLoad},
    {"save", MethodSave},
    {"setsize[]", MethodSetSize},
    {"getsize[]", MethodGetSize},
    {"get[]", MethodGetItem},
    {"set[]", MethodSetItem},
    {"split[]", MethodSplit},
};

}  // namespace

void HandleInternalVariable(TqelScript& s) {
  const std::string& name = s.CurrentText();
  const std::string& method = s.CurrentMethod();
  for (const InternalMethod& entry : kInternalMethods) {
    if (entry.name == method) {
      entry.run(s, name);
      return;
    }
  }
  TqelScript::Fail("unrecognize internal variable method " + name + "." + method);
}

// ---- Host variables ----------------------------------------------------------------------

void HandleExternalVariable(TqelScript& s) {
  const std::string& name = s.CurrentText();
  const std::string& method = s.CurrentMethod();
  if (method == std::string_view("get")) {
    s.PushVariable(name);
  } else if (method == std::string_view("set")) {
    Variant v = s.Pop();
    s.SetVariable(name, v);
  } else {
    TqelScript::Fail("unrecognize external variable method " + name + "." + method);
  }
}

void HandleSystemVariable(TqelScript& s) {
  const std::string& name = s.CurrentText();
  const std::string& method = s.CurrentMethod();
  if (method == "get") {
    std::string prompt = s.PopText();
    s.Push(s.GetSystem(name, prompt));
  } else if (method == "set") {
    // The value stays on the stack.
    Variant v = s.Top();
    s.SetSystem(name, v);
  } else {
    TqelScript::Fail("unrecognize system method " + name + "." + method);
  }
}

void HandleObjectVariable(TqelScript& s) {
  const std::string& name = s.CurrentText();
  const std::string& method = s.CurrentMethod();
  std::size_t dot = method.find('.');
  if (dot == std::string::npos)
    TqelScript::Fail("missing object method or property specifier in " + name + "." + method);
  const std::string verb = method.substr(0, dot);
  const std::string property = method.substr(dot + 1);
  if (verb == "get") {
    s.Push(s.GetObject(name, property));
  } else if (verb == "set") {
    Variant v = s.Top();
    s.SetObject(name, property, v);
  } else {
    TqelScript::Fail("unrecognized object variable method or property " + name + "." + property);
  }
}

void HandleParameter(TqelScript& s) {
  s.Push(Variant(s.Param(s.CurrentText())));
}

}  // namespace tavlo
