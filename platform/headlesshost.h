// Internal to platform/: the headless desktop host over given C streams, so that tests can
// feed its input and read its output. Callers use NewHeadlessHost().
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktophost.h"

namespace tavlo {

std::unique_ptr<DesktopHost> NewHeadlessHost(std::FILE* input, std::FILE* output, std::FILE* errors,
                                             const std::string& prefix = "");
// Splits a parameter string into arguments: blanks separate, double quotes group ("a b" is
// one argument, "" an empty one), as a desktop shell passes them to a program.
std::vector<std::string> SplitParameters(const std::string& parameters);

}  // namespace tavlo
