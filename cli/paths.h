// Paths given on tavlo-cli's command line.
#pragma once

#include <string>

namespace tavlo::cli {

// path made absolute against the current folder (the cursor would otherwise take a relative
// table name from the table folder it resolves against).
std::string AbsolutePath(const std::string& path);

}  // namespace tavlo::cli
