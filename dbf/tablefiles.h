// The names of a table's files on a case-sensitive file system: the data file a user names
// and the companion files (memo, index, code page) beside it, whatever the case of their
// extensions. Looks at the file system; opens nothing.
#pragma once

#include <string>

namespace tavlo {

// The data file for a table name: an existing file whose extension is ".dbf" in any case is
// used as given; otherwise the extension becomes ".dbf", or ".DBF" (or another case) when
// only such a file exists. New tables therefore get ".dbf".
std::string ResolveDataFilePath(const std::string& tablePath);

// The existing companion of dataPath with extension lowerExt (".dbt", ".fpt", ".mdx",
// ".cpg"): the case that matches the data file's extension first, then the other of lower
// and upper case, then any case found in the folder. "" when there is none.
std::string FindCompanionFile(const std::string& dataPath, const std::string& lowerExt);

}  // namespace tavlo
