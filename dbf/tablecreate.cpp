// Table creation: checks the definitions, creates the data and memo files and writes the
// descriptors and header of the new table. Never opens the table it made.
#include "dbf/tablecreate.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "dbf/dbferrors.h"
#include "dbf/dbffile.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/asciitext.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"

namespace tavlo {

namespace {

constexpr int kDescriptorLength = 32;
constexpr std::uint8_t kDescriptorTerminator = 0x0D;
// Version byte of a level-0 table with memo fields. Other dBase programs refuse memo fields
// under 0x03; this system reads both as level 0.
constexpr std::uint8_t kVersionWithMemo = 0x83;
constexpr int kMemoBlockSize = 512;

bool HasMemoField(const TFieldDefs& definitions) {
  for (const TFieldDef& definition : definitions) {
    if (definition.dataType == TFieldType::ftMemo) return true;
  }
  return false;
}

// Block 0 of an empty level-0 memo file: next free block 1, block size 512. The first memo
// stored goes to block 1 exactly as in an empty file, but other programs can open the file.
void WriteEmptyMemoHeader(TDbtFile& memo) {
  std::uint8_t block[kMemoBlockSize] = {};
  block[0] = 1;
  block[20] = kMemoBlockSize & 0xFF;
  block[21] = kMemoBlockSize >> 8;
  memo.Stream().WriteAt(0, block, sizeof block);
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The name as a message can show it: printable ASCII as it is, every other byte as \xNN.
std::string ShownName(const std::string& name) {
  std::string shown;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '\\') {
      shown += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      shown += hex;
    }
  }
  return shown;
}

void PutUint16(std::array<std::uint8_t, TDbfFile::kHeaderLength>& header, int offset, int value) {
  header[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value & 0xFF);
  header[static_cast<std::size_t>(offset) + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

bool DescriptorOfDefinition(const TFieldDef& definition, TFieldDescriptor& descriptor) {
  switch (definition.dataType) {
    case TFieldType::ftString:
      descriptor = {'C', definition.size, 0};
      return true;
    case TFieldType::ftSmallint:
      descriptor = {'N', 6, 0};
      return true;
    case TFieldType::ftInteger:
      descriptor = {'N', 11, 0};
      return true;
    case TFieldType::ftLargeint:
      descriptor = {'N', 20, 0};
      return true;
    case TFieldType::ftFloat:
      descriptor = {'N', 20, 4};
      return true;
    case TFieldType::ftBoolean:
      descriptor = {'L', 1, 0};
      return true;
    case TFieldType::ftDate:
      descriptor = {'D', 8, 0};
      return true;
    case TFieldType::ftMemo:
      descriptor = {'M', 10, 0};
      return true;
    default:
      return false;
  }
}

std::string FieldNameProblem(const std::string& name) {
  const std::string shown = "Field name '" + ShownName(name) + "'";
  if (name.size() > static_cast<std::size_t>(kMaxFieldNameLength)) {
    return shown + " is longer than 10 characters";
  }
  bool valid = !name.empty() && IsAsciiLetter(name[0]);
  for (char c : name) valid = valid && (IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_');
  if (!valid) {
    return shown + " may hold only letters A-Z, digits 0-9 and _, and must begin with a letter";
  }
  return std::string();
}

void CheckDefinitionsForCreation(const TFieldDefs& definitions) {
  if (definitions.empty() || definitions.size() > 255) {
    throw EBinaryDataSetError::InvalidFieldCount(static_cast<std::int64_t>(definitions.size()));
  }
  for (std::size_t i = 0; i < definitions.size(); ++i) {
    const TFieldDef& definition = definitions[i];
    TFieldDescriptor descriptor;
    if (!DescriptorOfDefinition(definition, descriptor)) {
      throw EBinaryDataSetError::UnsupportedFieldType();
    }
    if (definition.name.empty() || definition.name.find('\0') != std::string::npos) {
      throw EDatabaseError("Field " + std::to_string(i + 1) + " has no valid name");
    }
    const std::string problem = FieldNameProblem(definition.name);
    if (!problem.empty()) throw EDatabaseError(problem);
    // Two fields of one name: a lookup by name, which ignores case, finds only the first.
    for (std::size_t j = 0; j < i; ++j) {
      if (EqualNoCaseAscii(definitions[j].name, definition.name)) {
        throw EDatabaseError("A component named " + definition.name + " already exists");
      }
    }
    if (descriptor.length < 1 || descriptor.length > 255) {
      throw EDatabaseError("Size " + std::to_string(descriptor.length) + " of field '" +
                           definition.name + "' must be between 1 and 255");
    }
  }
}

void TDbfFile::WriteStructure(const TFieldDefs& fieldDefs) {
  ByteStream& stream = Stream();
  stream.Truncate(0);
  if (HasMemoField(fieldDefs)) MutableHeader()[0] = kVersionWithMemo;
  std::int64_t position = kHeaderLength;
  int recordSize = 1;
  for (const TFieldDef& definition : fieldDefs) {
    TFieldDescriptor descriptor;
    if (!DescriptorOfDefinition(definition, descriptor)) {
      throw EBinaryDataSetError::UnsupportedFieldType();
    }
    std::uint8_t bytes[kDescriptorLength] = {};
    // The name never reaches the type letter: at most 10 characters and a NUL.
    std::size_t nameLength =
        std::min(definition.name.size(), static_cast<std::size_t>(kMaxFieldNameLength));
    std::memcpy(bytes, definition.name.data(), nameLength);
    bytes[11] = static_cast<std::uint8_t>(descriptor.typeLetter);
    bytes[16] = static_cast<std::uint8_t>(descriptor.length);
    bytes[17] = static_cast<std::uint8_t>(descriptor.decimals);
    stream.WriteAt(position, bytes, sizeof bytes);
    position += kDescriptorLength;
    recordSize += descriptor.length;
  }
  stream.WriteAt(position, &kDescriptorTerminator, 1);
  position += 1;
  PutUint16(MutableHeader(), 10, recordSize);
  PutUint16(MutableHeader(), 8, static_cast<int>(position));
  SetRecordSize(recordSize);
  SetHeaderSize(static_cast<std::int32_t>(position));
  FlushHeader();
}

void TDbf::CreateTableFile() {
  CheckInactive();
  if (fieldDefs_.empty()) {
    for (int i = 0; i < FieldCount(); ++i) {
      const TField& field = Fields(i);
      fieldDefs_.push_back(
          TFieldDef{field.FieldName(), field.DataType(), field.Size(), field.Required()});
    }
  }
  // Everything is checked first, so that a bad definition never truncates an existing table.
  CheckDefinitionsForCreation(fieldDefs_);
  // A creation that fails removes the files it made, so that neither a retry nor an open finds
  // a half-written table; files that were there before it are not its to remove.
  const std::string dataPath = DataFilePath();
  const std::string memoPath = ChangeFileExt(dataPath, ".dbt");
  const bool dataExisted = Files().FileExists(dataPath);
  const bool memoExisted = Files().FileExists(memoPath);
  auto removeCreated = [&] {
    if (!memoExisted) Files().DeleteFile(memoPath);
    if (!dataExisted) Files().DeleteFile(dataPath);
  };
  try {
    AttachFiles(true);
  } catch (...) {
    removeCreated();
    throw;
  }
  try {
    dbfFile_->WriteStructure(fieldDefs_);
    if (HasMemoField(fieldDefs_) && memoFile_ != nullptr) WriteEmptyMemoHeader(*memoFile_);
  } catch (...) {
    try {
      ReleaseFiles(true);
    } catch (...) {
      // the structure failure is the one to report
    }
    removeCreated();
    throw;
  }
  try {
    ReleaseFiles(true);
  } catch (...) {
    removeCreated();
    throw;
  }
}

}  // namespace tavlo
