// Fuzz target of the script compiler and interpreter: any text compiles or raises, and any
// compiled program runs or raises, without crashing. Runs are cut short by a zero time limit;
// includes answer with the name itself, so nested and circular includes are exercised. The
// core's file methods (:x.load, :x.save) reach only a private temporary folder, emptied after
// every input: a run of this target writes nothing where it was started.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzzsupport.h"
#include "script/qelscript.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavlo::fuzz::JailFiles files;
  static tavlo::fuzz::QuietHost host;
  tavlo::ScopedFileSystem scopedFiles(files);
  tavlo::ScopedDesktopHost scopedHost(host);
  {
    tavlo::TqelScript script;
    script.SetScriptTimeOut(0);
    script.SetDataSourceFolder(files.Folder());
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
  }
  files.Clear();
  return 0;
}
