// The data source words _d.set, get, count, clear, load and save, and dsobase. Objects live
// for one run; load and save move them to and from DataSourceFolder/name.txt.

#include "words/dsowords.h"

#include <optional>

#include "platform/filesystem.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

// A key that reads as an integer: optional sign, decimal digits or "$" hexadecimal, 32 bits.
std::optional<std::int64_t> KeyNumber(const Variant& key) {
  if (key.IsInteger()) return key.IntegerValue();
  if (!key.IsString()) {
    if (key.IsNull() || key.IsEmpty()) return std::nullopt;
    std::string text = key.ToText();
    return KeyNumber(Variant(text));
  }
  const std::string& text = key.StringValue();
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  if (i >= text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * base + digit;
    if (value > INT32_MAX + std::int64_t{1}) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return value;
}

std::string KeyText(const Variant& key) {
  return key.ToTextOrEmpty();
}

std::string RowKey(const std::string& row) {
  return row.substr(0, row.find('='));
}

std::string RowAttributes(const std::string& row) {
  std::size_t eq = row.find('=');
  return eq == std::string::npos ? std::string() : row.substr(eq + 1);
}

}  // namespace

void TqelDSO::AddRow(std::string row) {
  firstRowOf_.emplace(FoldedText(RowKey(row)), Count());
  rows_.push_back(std::move(row));
}

int TqelDSO::RowIndex(const Variant& key) const {
  if (auto number = KeyNumber(key)) {
    if (*number < 0 || *number >= Count())
      TqelScript::Fail("DSO index out of range " + std::to_string(*number));
    return static_cast<int>(*number);
  }
  auto found = firstRowOf_.find(FoldedText(KeyText(key)));
  return found == firstRowOf_.end() ? -1 : found->second;
}

void TqelDSO::Set(const std::string& value, const std::string& name, const Variant& key) {
  int i = RowIndex(key);
  if (i < 0) {
    AddRow(KeyText(key) + "=");
    i = Count() - 1;
  }
  std::string attributes = RowAttributes(rows_[i]);
  AttrSet(attributes, name, value);
  rows_[i] = RowKey(rows_[i]) + "=" + attributes;
}

std::string TqelDSO::Get(const std::string& name, const Variant& key) const {
  int i = RowIndex(key);
  if (i < 0) TqelScript::Fail("DSO unknown key " + KeyText(key));
  return AttrGet(RowAttributes(rows_[i]), name);
}

void TqelDSO::Load(const std::string& path, const TWorkMeter& meter) {
  std::string text = LoadFileToString(path);
  // Read whole before the rows change: a failure leaves the object as it was.
  TqelDSO loaded;
  std::size_t start = 0;
  while (start < text.size()) {
    meter.Step();
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      loaded.AddRow(text.substr(start));
      break;
    }
    loaded.AddRow(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  rows_ = std::move(loaded.rows_);
  firstRowOf_ = std::move(loaded.firstRowOf_);
}

void TqelDSO::Save(const std::string& path) const {
  std::string text;
  for (const std::string& row : rows_) text += row + "\r\n";
  SaveStringToFile(path, text);
}

namespace {

std::string ObjectFile(const TqelScript& s) {
  return s.DataSourceFolder() + kPathSeparator + s.CurrentText() + ".txt";
}

void DataSourceWord(TqelScript& s) {
  const std::string& method = s.CurrentMethod();
  TqelDSO& d = s.RunState<TqelDSOList>().GetOrCreate(s.CurrentText());
  if (method == "set") {  // value name key ->
    Variant key = s.PopValue();
    std::string name = s.PopText();
    std::string value = s.PopText();
    d.Set(value, name, key);
  } else if (method == "get") {  // name key -> text
    Variant key = s.PopValue();
    std::string name = s.PopText();
    s.Push(Variant(d.Get(name, key)));
  } else if (method == "count") {
    s.Push(Variant(std::int32_t{d.Count()}));
  } else if (method == "clear") {
    d.Clear();
  } else if (method == "load") {
    d.Load(ObjectFile(s), s.WorkMeter());
  } else if (method == "save") {
    d.Save(ObjectFile(s));
  }
  // Any other method does nothing at all.
}

// folder ->
void WordDsoBase(TqelScript& s) {
  s.SetDataSourceFolder(s.PopText());
}

const TqelWord kDataSourceWords[] = {{"dsobase", WordDsoBase}};

}  // namespace

void RegisterDataSourceWords() {
  RegisterWords(kDataSourceWords);
  RegisterMethodFamily(TqelMethodFamily::DataSource, DataSourceWord);
  static const char* const kChanging[] = {"save"};
  RegisterChangingMethods(TqelMethodFamily::DataSource, kChanging);
}

}  // namespace tavlo
