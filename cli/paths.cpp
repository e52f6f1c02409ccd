// Paths given on tavlo-cli's command line.
#include "cli/paths.h"

#include <unistd.h>

namespace tavlo::cli {

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char folder[4096];
  if (getcwd(folder, sizeof folder) == nullptr) return path;
  return std::string(folder) + "/" + path;
}

}  // namespace tavlo::cli
