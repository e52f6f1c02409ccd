// The shared part of the eval and run commands: option parsing, the host callbacks that the
// command line offers (parameters, variables, include files from a folder) and printing.
#pragma once

#include <string>
#include <vector>

namespace tavlo::cli {

// Compiles and runs text; includes are read from includeFolder (ending in a separator or
// empty for the current folder). Options are --param name=value, --var name=value and
// --timeout N. Prints the text form of the result (nothing for Null) and returns 0.
int RunScriptCommand(const std::string& text, const std::string& includeFolder,
                     const std::vector<std::string>& options);

}  // namespace tavlo::cli
