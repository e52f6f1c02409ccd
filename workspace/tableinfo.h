// The information of a table as text: what `tavlo-cli info` prints and the "Table
// information" window shows. Reads only.
#pragma once

#include <string>
#include <vector>

namespace tavlo {

// dataPath as found on disk (the case of its extension kept); codePage 0 for the table's own
// page, else the page to read it in. Raises the cursor's "Table file not found" and the file
// layer's errors. What the opening checks corrected and went on with ("Invalid Record
// Count,...") is appended to diagnostics as it is found, so that a caller shows it also when
// a later step fails. The index files listed are the production index, a .mdx beside the
// table and indexFiles (the user's); one that cannot be read is listed with why.
std::string TableInformationText(const std::string& dataPath, std::vector<std::string>& diagnostics,
                                 int codePage = 0, const std::vector<std::string>& indexFiles = {});

}  // namespace tavlo
