// Fuzz target of the script compiler and interpreter: any text compiles or raises, and any
// compiled program runs or raises, without crashing. Runs are cut short by a zero time limit;
// includes answer with the name itself, so nested and circular includes are exercised.
#include <cstddef>
#include <cstdint>
#include <string>

#include "script/qelscript.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tavlo::TqelScript script;
  script.SetScriptTimeOut(0);
  script.onInclude = [](tavlo::TqelScript&, const std::string& file, std::string& value,
                        bool& handled, std::string&) {
    value = file.size() < 12 ? "$$" + file + "x;" : "1";
    handled = true;
  };
  script.onGetVariable = [](tavlo::TqelScript&, const std::string& name, tavlo::Variant& value,
                            bool& handled, std::string&) {
    value = tavlo::Variant(name);
    handled = true;
  };
  try {
    script.SetScript(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const tavlo::Exception&) {
  }
  try {
    script.Run();
  } catch (const tavlo::Exception&) {
  }
  return 0;
}
