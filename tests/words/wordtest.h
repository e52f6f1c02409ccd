// A fixture for word tests: runs a script text on a fresh component with fixed regional
// settings and reports its result, its text, or the message it failed with.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/regional.h"
#include "script/qelscript.h"
#include "words/library.h"

namespace tavlo {

class WordTest : public ::testing::Test {
 protected:
  WordTest() : regional_(RegionalSettings()) { RegisterLibraryWords(); }

  Variant Run(const std::string& text) {
    script.SetScript(text);
    return script.Run();
  }
  std::string RunText(const std::string& text) { return Run(text).ToText(); }
  std::int32_t RunInteger(const std::string& text) {
    const Variant v = Run(text);
    EXPECT_TRUE(v.IsInteger()) << text << " gave " << v.Describe();
    return v.IsInteger() ? v.IntegerValue() : 0;
  }
  double RunNumber(const std::string& text) { return Run(text).ToReal(); }
  // The message of whatever the run raised, or "no error".
  std::string Failure(const std::string& text) {
    try {
      Run(text);
    } catch (const std::exception& error) {
      return error.what();
    }
    return "no error";
  }

  ScopedRegionalSettings regional_;
  TqelScript script;
};

}  // namespace tavlo
