// Table creation: the descriptor each field definition becomes, the checks a definition list
// must pass before any file is touched, and the descriptor writer of a new data file
// (TDbfFile::WriteStructure, declared with the data file). TDbf::CreateTableFile drives it.
#pragma once

#include <cstdint>
#include <string>

#include "dbf/fieldinfo.h"

namespace tavlo {

struct TFieldDescriptor {
  char typeLetter = 'C';
  int length = 0;
  int decimals = 0;
};

// The descriptor of a definition: C(size), N(6), N(11), N(20), N(20,4), L(1), D(8), M(10).
// False for a type a table file cannot hold.
bool DescriptorOfDefinition(const TFieldDef& definition, TFieldDescriptor& descriptor);

// Longest field name a descriptor holds: 10 characters and the NUL before the type letter.
constexpr int kMaxFieldNameLength = 10;

// What is wrong with a field name for a new table, empty when nothing: a name is 1 to 10
// characters, ASCII letters, digits and _, the first a letter. Every reader takes such a
// name, and none of its bytes can be a NUL, the descriptor terminator or a byte that other
// programs read in another page. Bytes that cannot be shown are written as \xNN.
std::string FieldNameProblem(const std::string& name);

// Raises, before anything is created: EBinaryDataSetError "Invalid field count : n (must be
// between 1 and 255)", "InitFieldDefs: Unsupported field type", and EDatabaseError for an
// empty name, a name FieldNameProblem refuses, a name repeated without regard to case ("A
// component named %s already exists") or a string size outside 1..255.
void CheckDefinitionsForCreation(const TFieldDefs& definitions);

}  // namespace tavlo
