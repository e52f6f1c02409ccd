// The table designer's definition text: lines to field definitions, and the creation step.
#include "workspace/tabledefinition.h"

#include <cerrno>
#include <cstdlib>

#include "dbf/dbferrors.h"
#include "dbf/tablecreate.h"
#include "dbf/tdbf.h"
#include "platform/filenames.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

constexpr int kDefaultStringSize = 50;

// A whole number as the designer reads it: blanks before it, then what TextToInteger takes.
bool ParseWholeNumber(const std::string& text, int& value) {
  std::size_t blanks = 0;
  while (blanks < text.size() && text[blanks] == ' ') ++blanks;
  std::int32_t number = 0;
  if (!TextToInteger(text.substr(blanks), number)) return false;
  value = number;
  return true;
}

bool FieldTypeOfWord(const std::string& word, TFieldType& type) {
  static const struct {
    const char* word;
    TFieldType type;
  } kTypeWords[] = {
      {"string", TFieldType::ftString},   {"integer", TFieldType::ftInteger},
      {"boolean", TFieldType::ftBoolean}, {"date", TFieldType::ftDate},
      {"float", TFieldType::ftFloat},     {"memo", TFieldType::ftMemo},
  };
  for (const auto& entry : kTypeWords) {
    if (word == entry.word) {
      type = entry.type;
      return true;
    }
  }
  return false;
}

}  // namespace

TableDefinitionOutcome ReadTableDefinition(const std::vector<std::string>& lines,
                                           TFieldDefs& definitions) {
  TableDefinitionOutcome outcome;
  auto incomplete = [&](int lineNumber, const char* missing) {
    definitions.clear();
    outcome.complete = false;
    outcome.failedLine = lineNumber;
    outcome.missing = missing;
    return outcome;
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const int lineNumber = static_cast<int>(i) + 1;
    std::string name = AttrGet(line, "name");
    if (name.empty()) return incomplete(lineNumber, "name");
    std::string typeWord = AttrGet(line, "type");
    if (typeWord.empty()) return incomplete(lineNumber, "type");
    std::string size = AttrGet(line, "size");
    if (typeWord == "string" && size.empty()) return incomplete(lineNumber, "size");
    TFieldType type;
    // A line with a word the engine has no type for is refused, rather than silently
    // taking the type of the line before it.
    if (!FieldTypeOfWord(typeWord, type)) {
      throw EDatabaseError("Unknown field type '" + typeWord + "' in line " +
                           std::to_string(lineNumber));
    }
    // Checked here as well as by the table engine, so that the message names the line.
    const std::string problem = FieldNameProblem(name);
    if (!problem.empty()) {
      throw EDatabaseError(problem + " (line " + std::to_string(lineNumber) +
                           (name.find("\r\n") != std::string::npos
                                ? "; ~~ in a definition is read as a line break)"
                                : ")"));
    }
    for (const TFieldDef& earlier : definitions) {
      if (EqualTextNoCase(earlier.name, name)) {
        throw EDatabaseError("A component named " + name + " already exists");
      }
    }
    TFieldDef definition;
    definition.dataType = type;
    definition.name = name;
    if (type == TFieldType::ftString) {
      int length;
      definition.size = ParseWholeNumber(size, length) ? length : kDefaultStringSize;
    }
    definitions.push_back(definition);
  }
  return outcome;
}

std::string TableFileForDefinition(const std::string& chosenPath) {
  return ChangeFileExt(chosenPath, ".dbf");
}

std::string TableExistsMessage(const std::string& tablePath) {
  return tablePath + " allready exists";
}

TableDefinitionOutcome CreateTableFromDefinition(TDbf& dbf, const std::string& tablePath,
                                                 const std::string& text) {
  dbf.CheckInactive();
  dbf.FieldDefs().clear();
  TableDefinitionOutcome outcome = ReadTableDefinition(SplitLines(text), dbf.FieldDefs());
  if (!outcome.complete) return outcome;
  dbf.SetTableName(tablePath);
  dbf.CreateTableFile();
  return outcome;
}

}  // namespace tavlo
