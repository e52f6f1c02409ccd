// Helpers of the script engine tests: compile-and-run in one call, and an assertion on the
// exact message of an exception.
#pragma once

#include <gtest/gtest.h>

#include "testsupport.h"

#include <ostream>
#include <string>

#include "script/qelscript.h"

namespace tavlo {
// Readable values in assertion messages.
inline void PrintTo(const Variant& value, std::ostream* out) {
  *out << value.Describe();
}
}  // namespace tavlo

namespace tavlo::testing {

// Compiles text on a fresh component and runs it once.
inline Variant RunScript(const std::string& text) {
  TqelScript script;
  script.SetScript(text);
  return script.Run();
}

inline Variant Int(int v) {
  return Variant(static_cast<std::int32_t>(v));
}
inline Variant Str(const char* v) {
  return Variant(v);
}
inline Variant Flag(bool v) {
  return Variant(v);
}

}  // namespace tavlo::testing
