// TqelScript: construction, the Script property, Params, the checked pop helpers and the
// host event calls with their preset messages.
#include "script/qelscript.h"

#include <cstring>

#include "platform/filesystem.h"

namespace tavlo {

namespace {

// head + name + tail into the shared message buffer with one resize: the filter presets a
// message for every record it reads. The literal parts are copied with constant lengths.
template <std::size_t H, std::size_t T = 1>
void SetPreset(std::string& buffer, const char (&head)[H], const std::string& name,
               const char (&tail)[T] = "") {
  buffer.resize(H - 1 + name.size() + T - 1);
  char* out = buffer.data();
  std::memcpy(out, head, H - 1);
  std::memcpy(out + H - 1, name.data(), name.size());
  std::memcpy(out + H - 1 + name.size(), tail, T - 1);
}

}  // namespace

TqelScript::TqelScript()
    : appFolder_(ExecutableFolder()),
      stackStorage_(std::make_unique<std::array<Variant, kStackSize>>()) {
  stack_ = stackStorage_->data();
  dataSourceFolder_ = appFolder_;
  if (!dataSourceFolder_.empty() && dataSourceFolder_.back() == kPathSeparator)
    dataSourceFolder_.pop_back();
}

TqelScript::~TqelScript() noexcept = default;

void TqelScript::SetScript(const std::string& text) {
  if (text == script_) return;
  if (running_) Fail("the script can not be changed while it runs");
  script_ = text;
  Compile();
}

std::string TqelScript::Param(const std::string& name) const {
  for (const std::string& line : params_) {
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (EqualTextNoCase(line.substr(0, equals), name)) return line.substr(equals + 1);
  }
  return std::string();
}

std::string TqelScript::ExpandAppFolder(const std::string& fileName) const {
  std::string result = fileName;
  std::size_t at = result.find('%');
  if (at != std::string::npos) result.replace(at, 1, appFolder_);
  return result;
}

void TqelScript::Fail(const std::string& message) {
  throw EqelScriptError(message);
}

std::string TqelScript::PopText() {
  return Pop().ToText();
}
std::string TqelScript::PopTextOrEmpty() {
  return Pop().ToTextOrEmpty();
}
std::int32_t TqelScript::PopInteger() {
  return Pop().ToInteger();
}
double TqelScript::PopNumber() {
  return Pop().ToReal();
}
bool TqelScript::PopFlag() {
  return Pop().ToBoolean();
}
std::string TqelScript::PopFileName() {
  return ExpandAppFolder(PopText());
}

// The events share one message buffer, so a handled event costs no allocation once the
// buffer has grown to the longest message.
Variant TqelScript::GetVariable(const std::string& name) {
  SetPreset(errorStr_, "Variable ", name, " not defined");
  Variant value;
  bool handled = false;
  if (onGetVariable) onGetVariable(*this, name, value, handled, errorStr_);
  if (!handled) Fail(errorStr_);
  return value;
}

void TqelScript::PushVariable(const std::string& name) {
  if (sp_ == kStackSize) StackOverflow();
  SetPreset(errorStr_, "Variable ", name, " not defined");
  Variant& value = stack_[sp_];
  value.Clear();
  bool handled = false;
  if (onGetVariable) onGetVariable(*this, name, value, handled, errorStr_);
  if (!handled) {
    value.Clear();
    Fail(errorStr_);
  }
  ++sp_;
}

void TqelScript::SetVariable(const std::string& name, const Variant& value) {
  if (!onSetVariable) return;
  SetPreset(errorStr_, "can not assign variable ", name);
  bool handled = false;
  onSetVariable(*this, name, value, handled, errorStr_);
  if (!handled) Fail(errorStr_);
}

Variant TqelScript::GetSystem(const std::string& name, const std::string& prompt) {
  SetPreset(errorStr_, "System ", name, " not defined");
  Variant value;
  bool handled = false;
  if (onGetSystem) onGetSystem(*this, name, prompt, value, handled, errorStr_);
  if (!handled) Fail(errorStr_);
  return value;
}

void TqelScript::SetSystem(const std::string& name, const Variant& value) {
  if (!onSetSystem) return;
  SetPreset(errorStr_, "can not assign System ", name);
  bool handled = false;
  onSetSystem(*this, name, value, handled, errorStr_);
  if (!handled) Fail(errorStr_);
}

Variant TqelScript::GetObject(const std::string& name, const std::string& property) {
  SetPreset(errorStr_, "Object variable ", name, " not defined");
  Variant value;
  bool handled = false;
  if (onGetObject) onGetObject(*this, name, property, value, handled, errorStr_);
  if (!handled) Fail(errorStr_);
  return value;
}

void TqelScript::SetObject(const std::string& name, const std::string& property,
                           const Variant& value) {
  if (!onSetObject) return;
  SetPreset(errorStr_, "can not assign object variable ", name);
  bool handled = false;
  onSetObject(*this, name, property, value, handled, errorStr_);
  if (!handled) Fail(errorStr_);
}

}  // namespace tavlo
