// Table creation: the descriptor each field definition becomes, the checks a definition list
// must pass before any file is touched, and the descriptor writer of a new data file
// (TDbfFile::WriteStructure, declared with the data file). TDbf::CreateTableFile drives it.
#pragma once

#include <cstdint>

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

// Raises, before anything is created: EBinaryDataSetError "Invalid field count : n (must be
// between 1 and 255)", "InitFieldDefs: Unsupported field type", and EDatabaseError for an
// empty name, a name longer than 10 characters or a string size outside 1..255.
void CheckDefinitionsForCreation(const TFieldDefs& definitions);

}  // namespace tavlo
