// tavlo-cli eval 'SCRIPT': compiles and runs a script given on the command line; include
// files come from the current folder.
#include "cli/command.h"
#include "cli/scriptrunner.h"

namespace tavlo::cli {

namespace {

int Eval(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw UsageError("missing script");
  std::vector<std::string> options(arguments.begin() + 1, arguments.end());
  return RunScriptCommand(arguments.front(), "", options);
}

const CommandRegistration kEval({"eval",
                                 "eval 'SCRIPT' [--param name=value]... [--var name=value]... "
                                 "[--timeout SECONDS]",
                                 "run a script and print its result", Eval});

}  // namespace

}  // namespace tavlo::cli
