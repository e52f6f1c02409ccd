// The message texts of the table engine's exceptions.
#include "dbf/dbferrors.h"

#include "dbf/fieldconvert.h"
#include "platform/filesystem.h"

namespace tavlo {

EDatabaseError EDatabaseError::FieldNotFound(const std::string& fieldName) {
  return EDatabaseError("Field '" + fieldName + "' not found");
}
EDatabaseError EDatabaseError::ClosedDataset() {
  return EDatabaseError("Cannot perform this operation on a closed dataset");
}
EDatabaseError EDatabaseError::OpenDataset() {
  return EDatabaseError("Cannot perform this operation on an open dataset");
}
EDatabaseError EDatabaseError::NotEditing() {
  return EDatabaseError("Dataset not in edit or insert mode");
}
EDatabaseError EDatabaseError::EmptyDataset() {
  return EDatabaseError("Cannot perform this operation on an empty dataset");
}
EDatabaseError EDatabaseError::InvalidIntegerValue(const std::string& text,
                                                   const std::string& field) {
  return EDatabaseError("'" + text + "' is not a valid integer value for field '" + field + "'");
}
EDatabaseError EDatabaseError::OutOfRange(double value, const std::string& field, double minimum,
                                          double maximum) {
  return EDatabaseError(FormatGeneral(value) + " is not a valid value for field '" + field +
                        "'. The allowed range is " + FormatGeneral(minimum) + " to " +
                        FormatGeneral(maximum));
}
EDatabaseError EDatabaseError::InvalidFloatValue(const std::string& text,
                                                 const std::string& field) {
  return EDatabaseError("'" + text + "' is not a valid floating point value for field '" + field +
                        "'");
}
EDatabaseError EDatabaseError::InvalidBooleanValue(const std::string& text,
                                                   const std::string& field) {
  return EDatabaseError("'" + text + "' is not a valid boolean value for field '" + field + "'");
}
EDatabaseError EDatabaseError::InvalidVariant(const std::string& field) {
  return EDatabaseError("Invalid value for field '" + field + "'");
}
EDatabaseError EDatabaseError::FieldBeyondRecord(const std::string& field) {
  return EDatabaseError("Field '" + field + "' does not fit in the record size of the table");
}
EDatabaseError EDatabaseError::ReadOnlyField(const std::string& field) {
  return EDatabaseError("Field '" + field + "' cannot be modified");
}

EDatabaseError EDatabaseError::MemoFileMissing(const std::string& field) {
  return EDatabaseError("Memo file missing for field '" + field + "'");
}

EBinaryDataSetError EBinaryDataSetError::InvalidFieldCount(std::int64_t count) {
  return EBinaryDataSetError("Invalid field count : " + std::to_string(count) +
                             " (must be between 1 and 255)");
}
EBinaryDataSetError EBinaryDataSetError::TableNotFound(const std::string& dataFilePath) {
  std::string message = "Open: Table file not found : " + dataFilePath;
  if (Files().DirectoryExists(dataFilePath)) {
    message += " (it is a folder)";
  } else if (Files().PathExists(dataFilePath)) {
    message += " (it is not a regular file)";
  }
  return EBinaryDataSetError(message);
}
EBinaryDataSetError EBinaryDataSetError::InvalidRecord() {
  return EBinaryDataSetError("GetRecord: Invalid record");
}
EBinaryDataSetError EBinaryDataSetError::BookmarkNotFound(std::int64_t recordIndex) {
  return EBinaryDataSetError("Bookmark " + std::to_string(recordIndex) + " not found");
}
EBinaryDataSetError EBinaryDataSetError::UnsupportedFieldType() {
  return EBinaryDataSetError("InitFieldDefs: Unsupported field type");
}

EFieldToLongError EFieldToLongError::ForLength(std::size_t textLength, int fieldLength) {
  return EFieldToLongError("Fielddata too long :" + std::to_string(textLength) +
                           " (must be between 1 and " + std::to_string(fieldLength) + ").");
}

}  // namespace tavlo
