// tavlo-cli: the command-line companion of Tavlo. Dispatches to the registered commands and
// turns their failures into the usual exit codes.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <new>

#include "cli/command.h"
#include "dbf/tablecodepage.h"
#include "platform/asciitext.h"
#include "platform/desktophost.h"
#include "platform/errors.h"
#include "tavloversion.h"

namespace tavlo::cli {

static std::vector<Command>& CommandTable() {
  static std::vector<Command> table;
  return table;
}

CommandRegistration::CommandRegistration(Command command) {
  CommandTable().push_back(std::move(command));
}

const std::vector<Command>& Commands() {
  auto& table = CommandTable();
  std::sort(table.begin(), table.end(),
            [](const Command& a, const Command& b) { return a.name < b.name; });
  return table;
}

int ParseCodePageArgument(const std::string& text) {
  const int page = CodePageOfCpgText(text);
  if (page == 0) throw UsageError("unknown code page '" + text + "'");
  return page;
}

static void PrintHelp(std::ostream& out) {
  out << "Usage: tavlo-cli COMMAND [ARGUMENTS]\n"
         "       tavlo-cli --help | --version\n\n"
         "The command-line companion of Tavlo, the desktop tool for dBase tables.\n\n"
         "Commands:\n";
  for (const Command& command : Commands()) {
    out << "  " << command.usage << "\n      " << command.summary << "\n";
  }
}

static int Main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty()) {
    PrintHelp(std::cerr);
    return 2;
  }
  const std::string& first = arguments.front();
  if (first == "--help" || first == "-h" || first == "help") {
    PrintHelp(std::cout);
    return 0;
  }
  if (first == "--version") {
    std::cout << "tavlo-cli " << TAVLO_VERSION << "\n";
    return 0;
  }
  for (const Command& command : Commands()) {
    if (command.name != first) continue;
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    try {
      return command.run(rest);
    } catch (const UsageError& error) {
      std::cerr << "tavlo-cli: " << error.what() << "\nUsage: tavlo-cli " << command.usage << "\n";
      return 2;
    }
  }
  std::cerr << "tavlo-cli: unknown command '" << first << "'\n";
  PrintHelp(std::cerr);
  return 2;
}

}  // namespace tavlo::cli

int main(int argc, char** argv) {
  // Messages shown while a table opens (a corrected record count) carry the program's name.
  const std::unique_ptr<tavlo::DesktopHost> host = tavlo::NewHeadlessHost("tavlo-cli: ");
  tavlo::ScopedDesktopHost scope(*host);
  try {
    return tavlo::cli::Main(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::cerr << "tavlo-cli: out of memory: the input needs more memory than the system gives\n";
    return 1;
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::cerr << "tavlo-cli: " << tavlo::CrLinesToLf(error.what()) << "\n";
    return 1;
  }
}
