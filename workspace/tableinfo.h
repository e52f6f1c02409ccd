// The information of a table as text: what `tavlo-cli info` prints and the "Table
// information" window shows. Reads only.
#pragma once

#include <string>

namespace tavlo {

// dataPath as found on disk (the case of its extension kept); codePage 0 for the table's own
// page, else the page to read it in. Raises the cursor's "Table file not found" and the file
// layer's errors.
std::string TableInformationText(const std::string& dataPath, int codePage = 0);

}  // namespace tavlo
