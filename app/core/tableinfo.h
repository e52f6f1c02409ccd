// The information of a table as text: what `tavlo-cli info` prints and the "Table
// information" window shows. Reads only.
#pragma once

#include <string>

namespace tavlo {

// Raises the cursor's "Table file not found" and the file layer's errors.
std::string TableInformationText(const std::string& dataPath);

}  // namespace tavlo
