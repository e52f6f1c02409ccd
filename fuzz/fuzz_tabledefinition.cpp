// libFuzzer target of the table designer's definition text: any text is read into field
// definitions, and a complete definition is made into a table in a private temporary folder,
// which must then open with one field per definition line. Only crashes, leaks, undefined
// behaviour and a created table that does not match its definition count.
#include <cstddef>
#include <cstdint>
#include <string>

#include "workspace/tabledefinition.h"
#include "dbf/tdbf.h"
#include "fuzz/fuzzsupport.h"
#include "text/qelstrings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavlo::fuzz::JailFiles folder;
  static tavlo::fuzz::QuietHost host;
  tavlo::ScopedDesktopHost scopedHost(host);
  const std::string text(reinterpret_cast<const char*>(data), size);

  tavlo::TFieldDefs definitions;
  try {
    tavlo::ReadTableDefinition(tavlo::SplitLines(text), definitions);
  } catch (const tavlo::Exception&) {
  }
  tavlo::TableFileForDefinition(text.substr(0, 40));

  {
    tavlo::TDbf dbf;
    const std::string path = tavlo::TableFileForDefinition(folder.Folder() + "/t");
    std::size_t made = 0;
    bool created = false;
    try {
      created = tavlo::CreateTableFromDefinition(dbf, path, text).complete;
      made = dbf.FieldDefs().size();
    } catch (const tavlo::Exception&) {
    }
    if (created) {
      // Creation succeeded, so the table must open and show what was defined.
      dbf.Open();
      if (static_cast<std::size_t>(dbf.FieldCount()) != made) __builtin_trap();
      dbf.Close();
    }
  }
  folder.Clear();
  return 0;
}
