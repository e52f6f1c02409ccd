// A second program for the multi-process paged-file tests: reads one command per line on
// standard input, runs it against its own TqelPagedFile and answers one line, "ok ..." or
// "error <message>". Commands:
//   open PATH USER PASSWORD     -> ok SLOT
//   select FORUPDATE            -> ok COUNT      (every record; FORUPDATE is 0 or 1)
//   appendmany COUNT PREFIX     -> ok            (records id="PREFIX-i" pad="...")
//   close                       -> ok
//   quit                        exits

#include <iostream>
#include <sstream>
#include <string>

#include "pagedfile/pagedfile.h"

namespace {

// Long enough to take several 64-byte pages, and different for every record.
std::string ChildRecord(const std::string& prefix, int i) {
  std::string id = prefix + "-" + std::to_string(i);
  return "id=\"" + id + "\" pad=\"" + std::string(40 + i % 50, 'p') + id + "\"";
}

std::string Run(tavlo::TqelPagedFile& file, const std::string& line) {
  std::istringstream in(line);
  std::string command;
  in >> command;
  if (command == "open") {
    std::string path, user, password;
    in >> path >> user >> password;
    file.Open(path, user, password);
    return "ok " + std::to_string(file.UserSlot());
  }
  if (command == "select") {
    int forUpdate = 0;
    in >> forUpdate;
    file.Select("", forUpdate != 0);
    return "ok " + std::to_string(file.Count());
  }
  if (command == "appendmany") {
    int count = 0;
    std::string prefix;
    in >> count >> prefix;
    for (int i = 0; i < count; ++i) file.Append(ChildRecord(prefix, i));
    return "ok";
  }
  if (command == "close") {
    file.Close();
    return "ok";
  }
  return "error unknown command " + command;
}

}  // namespace

int main() {
  tavlo::TqelPagedFile file;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "quit") break;
    std::string answer;
    try {
      answer = Run(file, line);
    } catch (const std::exception& e) {
      answer = std::string("error ") + e.what();
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
