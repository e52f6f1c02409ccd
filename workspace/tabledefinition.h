// The table designer's definition text: one field per line as name="..." type="..." size="..."
// attributes, turned into field definitions and a new table. Qt-free; shows no message (the
// caller decides what to tell the user about an incomplete definition).
#pragma once

#include <string>
#include <vector>

#include "dbf/fieldinfo.h"

namespace tavlo {

class TDbf;

// What reading a definition found. complete is false when a line lacks its name, its type,
// or (type "string") its size: then no table is made. failedLine is 1-based, 0 if complete.
struct TableDefinitionOutcome {
  bool complete = true;
  int failedLine = 0;
  std::string missing;  // "name", "type" or "size"
};

// Field definitions from the lines, in order. Type words are "string", "integer",
// "boolean", "date", "float" and "memo", compared with case; a string size that is not a
// whole number (decimal, or hexadecimal after "$") gives 50. Raises EDatabaseError "A
// component named %s already exists" for a name repeated without regard to case,
// "Unknown field type '%s' in line %d" for any other type word, and the table engine's
// message for a name it refuses (FieldNameProblem), with the line. An incomplete line clears
// definitions and is reported in the outcome.
TableDefinitionOutcome ReadTableDefinition(const std::vector<std::string>& lines,
                                           TFieldDefs& definitions);

// The table file the designer makes for a chosen file name: its extension becomes ".dbf".
std::string TableFileForDefinition(const std::string& chosenPath);
// The message for a table file that is already there: the path and " allready exists".
std::string TableExistsMessage(const std::string& tablePath);

// Reads text into the closed cursor's field definitions and, when complete, creates the
// table at tablePath (the cursor's table name is set to it; the table is not opened).
// Returns the outcome; errors of creation propagate.
TableDefinitionOutcome CreateTableFromDefinition(TDbf& dbf, const std::string& tablePath,
                                                 const std::string& text);

}  // namespace tavlo
