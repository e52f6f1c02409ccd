// tavlo-cli run FILE.qel: compiles and runs a script file; include files come from the
// script file's folder.
#include "cli/command.h"
#include "cli/scriptrunner.h"
#include "text/qelstrings.h"

namespace tavlo::cli {

namespace {

int RunFile(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw UsageError("missing script file");
  const std::string& path = arguments.front();
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::vector<std::string> options(arguments.begin() + 1, arguments.end());
  return RunScriptCommand(LoadTextFileLines(path), folder, options);
}

const CommandRegistration kRun({"run",
                                "run FILE.qel [--param name=value]... [--var name=value]... "
                                "[--timeout SECONDS]",
                                "run a script file and print its result", RunFile});

}  // namespace

}  // namespace tavlo::cli
