// Paths and table names given on the command line, made absolute against the current folder.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/command.h"
#include "dbf/tablefiles.h"
#include "platform/errors.h"

namespace tavlo::cli {

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char* folder = ::getcwd(nullptr, 0);
  if (folder == nullptr) {
    throw Exception("cannot tell the current folder (" + std::string(std::strerror(errno)) +
                    "), so " + (path.empty() ? std::string("''") : path) +
                    " cannot be found; give the full path");
  }
  std::string absolute = std::string(folder) + "/" + path;
  std::free(folder);
  return absolute;
}

std::string TableArgument(const std::string& argument) {
  return ResolveDataFilePath(AbsolutePath(argument));
}

}  // namespace tavlo::cli
