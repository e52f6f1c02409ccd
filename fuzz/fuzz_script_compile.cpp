// libFuzzer target: compiles arbitrary text as a script with the whole word library and runs
// it under a one-second limit, with a host that answers variables, system values, objects and
// includes. Files the words touch stay in a private temporary folder and dialogs answer
// "cancelled". Only crashes, leaks and undefined behaviour count; engine errors are expected.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzsupport.h"
#include "script/qelscript.h"
#include "words/library.h"

namespace {

// Answers of different types, chosen by the name, so that words meet every kind of value.
tavlo::Variant AnswerFor(const std::string& name) {
  switch (name.size() % 5) {
    case 0:
      return tavlo::Variant(static_cast<std::int32_t>(name.size()));
    case 1:
      return tavlo::Variant(name);
    case 2:
      return tavlo::Variant(name.size() * 0.5);
    case 3:
      return tavlo::Variant(name.size() % 2 == 0);
    default:
      return tavlo::Variant::Null();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (tavlo::RegisterLibraryWords(), true);
  (void)registered;
  static tavlo::fuzz::JailFiles files;
  static tavlo::fuzz::QuietHost host;
  tavlo::ScopedFileSystem scopedFiles(files);
  tavlo::ScopedDesktopHost scopedHost(host);

  {
    tavlo::TqelScript script;
    script.SetScriptTimeOut(1);
    script.SetDataSourceFolder(files.Folder());
    script.SetParams({"a=1", "name=fuzz"});
    script.onInclude = [](tavlo::TqelScript&, const std::string& file, std::string& value,
                          bool& handled, std::string&) {
      value = file.size() < 12 ? "$$" + file + "x;" : "1";
      handled = true;
    };
    script.onGetVariable = [](tavlo::TqelScript&, const std::string& name, tavlo::Variant& value,
                              bool& handled, std::string&) {
      value = AnswerFor(name);
      handled = true;
    };
    script.onSetVariable = [](tavlo::TqelScript&, const std::string& name, const tavlo::Variant&,
                              bool& handled, std::string&) { handled = name.size() % 3 != 0; };
    script.onGetSystem = [](tavlo::TqelScript&, const std::string& name, const std::string&,
                            tavlo::Variant& value, bool& handled, std::string&) {
      value = AnswerFor(name);
      handled = true;
    };
    script.onSetSystem = script.onSetVariable;
    script.onGetObject = [](tavlo::TqelScript&, const std::string& name, const std::string& method,
                            tavlo::Variant& value, bool& handled, std::string&) {
      value = AnswerFor(name + method);
      handled = true;
    };
    script.onSetObject = [](tavlo::TqelScript&, const std::string&, const std::string& method,
                            const tavlo::Variant&, bool& handled,
                            std::string&) { handled = !method.empty(); };
    bool compiled = true;
    try {
      script.SetScript(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const tavlo::Exception&) {
      compiled = false;
    }
    // A failed compile keeps what was built before the error: run that too.
    for (int run = 0; run < (compiled ? 2 : 1); ++run) {
      try {
        script.Run();
      } catch (const tavlo::Exception&) {
      }
    }
  }
  files.Clear();
  return 0;
}
