// The command table of tavlo-cli. Each command lives in a file of its own and registers itself
// with a static CommandRegistration, so adding a command touches no other file.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tavlo {
class TDbf;
}

namespace tavlo::cli {

struct Command {
  std::string name;
  std::string usage;    // e.g. "info TABLE"
  std::string summary;  // one line for --help
  // Runs with the arguments after the command name; returns the exit code. Raises UsageError
  // for bad arguments (exit 2, usage on stderr) and any tavlo::Exception for a failure
  // (exit 1, "tavlo-cli: message" on stderr).
  int (*run)(const std::vector<std::string>& arguments);
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct CommandRegistration {
  explicit CommandRegistration(Command command);
};

const std::vector<Command>& Commands();

// The page of a --codepage argument: a number ("1251", "65001") or a name as a .cpg file
// holds it ("UTF-8", "cp866"). UsageError "unknown code page 'x'" otherwise.
int ParseCodePageArgument(const std::string& text);

// path made absolute against the current folder (the engine would take a relative table name
// as relative to the program's own folder). Raises when the current folder cannot be told
// (deleted, or deeper than the system's path limit) rather than guess another folder.
std::string AbsolutePath(const std::string& path);

// The data file a table argument names, found as the cursor finds it for dump: made absolute,
// the extension added when it is left out, and any case of ".dbf" on disk accepted
// ("people", "PEOPLE.DBF", "people.DBF"). Commands that work on a table's files take their
// table through this, so that every command opens what dump opens.
std::string TableArgument(const std::string& argument);

// Takes "--index-file FILE" at arguments[i] (i moves past FILE) into indexFiles; false when
// arguments[i] is another argument. UsageError when FILE is missing.
bool TakeIndexFileArgument(const std::vector<std::string>& arguments, std::size_t& i,
                           std::vector<std::string>& indexFiles);

// Opens dbf. What its opening checks corrected and went on with ("Invalid Record Count,...")
// is said on standard error through the desktop host ("tavlo-cli: " and the text, a line for
// each of its lines) before anything else, also when the opening then fails. indexFiles (made
// absolute) are read first and attached with the table; the reader's error for one that is
// no index file is raised before the table is opened.
void OpenTable(TDbf& dbf, const std::vector<std::string>& indexFiles = {});

}  // namespace tavlo::cli
