// Options and host of the eval and run commands. Every library word is installed, so a
// script run here reaches the same words as one run in the application.
#include "cli/scriptrunner.h"

#include <iostream>
#include <map>

#include "cli/command.h"
#include "platform/filesystem.h"
#include "script/literals.h"
#include "script/qelscript.h"
#include "text/qelstrings.h"
#include "words/library.h"

namespace tavlo::cli {

namespace {

std::pair<std::string, std::string> SplitAssignment(const std::string& option,
                                                    const std::string& text) {
  std::size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0)
    throw UsageError(option + " expects name=value, got '" + text + "'");
  return {text.substr(0, equals), text.substr(equals + 1)};
}

}  // namespace

int RunScriptCommand(const std::string& text, const std::string& includeFolder,
                     const std::vector<std::string>& options) {
  RegisterLibraryWords();
  TqelScript script;
  std::vector<std::string> params;
  // Host variables by name without regard to case, as the table fields they stand for.
  std::vector<std::pair<std::string, Variant>> variables;
  for (std::size_t i = 0; i < options.size(); ++i) {
    const std::string& option = options[i];
    if (option != "--param" && option != "--var" && option != "--timeout")
      throw UsageError("unknown option " + option);
    if (i + 1 >= options.size()) throw UsageError("missing value after " + option);
    const std::string& value = options[++i];
    if (option == "--param") {
      SplitAssignment(option, value);
      params.push_back(value);
    } else if (option == "--var") {
      auto [name, content] = SplitAssignment(option, value);
      variables.emplace_back(name, Variant(content));
    } else {
      std::int32_t seconds;
      if (!ReadIntegerLiteral(value, seconds) || seconds < 0)
        throw UsageError("--timeout expects a number of seconds, got '" + value + "'");
      script.SetScriptTimeOut(seconds);
    }
  }
  script.SetParams(params);
  script.onGetVariable = [&variables](TqelScript&, const std::string& name, Variant& value,
                                      bool& handled, std::string&) {
    for (const auto& [known, content] : variables) {
      if (EqualTextNoCase(known, name)) {
        value = content;
        handled = true;
        return;
      }
    }
  };
  script.onSetVariable = [&variables](TqelScript&, const std::string& name, const Variant& value,
                                      bool& handled, std::string&) {
    handled = true;
    for (auto& [known, content] : variables) {
      if (EqualTextNoCase(known, name)) {
        content = value;
        return;
      }
    }
    variables.emplace_back(name, value);
  };
  script.onInclude = [&includeFolder](TqelScript&, const std::string& file, std::string& value,
                                      bool& handled, std::string&) {
    const std::string path = includeFolder + file;
    if (!Files().FileExists(path)) return;  // the preset "Can not find include file" message
    value = LoadTextFileLines(path);
    handled = true;
  };
  script.SetScript(text);
  Variant result = script.Run();
  if (!result.IsNull()) std::cout << result.ToText() << "\n";
  return 0;
}

}  // namespace tavlo::cli
