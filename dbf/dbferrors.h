// The exception classes of the table engine and the exact texts of their messages.
// Nothing here shows a message; callers raise these and the application shows what().
#pragma once

#include <cstdint>
#include <string>

#include "platform/errors.h"

namespace tavlo {

// Errors of the dataset layer: closed or open dataset, field lookups, value conversions.
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;

  static EDatabaseError FieldNotFound(const std::string& fieldName);  // "Field '%s' not found"
  static EDatabaseError ClosedDataset();  // "Cannot perform this operation on a closed dataset"
  static EDatabaseError OpenDataset();    // "Cannot perform this operation on an open dataset"
  static EDatabaseError NotEditing();     // "Dataset not in edit or insert mode"
  static EDatabaseError EmptyDataset();   // "Cannot perform this operation on an empty dataset"
  // "'%s' is not a valid integer value for field '%s'"
  static EDatabaseError InvalidIntegerValue(const std::string& text, const std::string& field);
  // "%g is not a valid value for field '%s'. The allowed range is %g to %g"
  static EDatabaseError OutOfRange(double value, const std::string& field, double minimum,
                                   double maximum);
  // "'%s' is not a valid floating point value for field '%s'"
  static EDatabaseError InvalidFloatValue(const std::string& text, const std::string& field);
  // "'%s' is not a valid boolean value for field '%s'"
  static EDatabaseError InvalidBooleanValue(const std::string& text, const std::string& field);
  // "Invalid value for field '%s'"
  static EDatabaseError InvalidVariant(const std::string& field);
  // "Field '%s' does not fit in the record size of the table": a field that the header's
  // record size cuts off cannot be written without touching the next record.
  static EDatabaseError FieldBeyondRecord(const std::string& field);
  // "Memo file missing for field '%s'": a memo text set on a table without a memo file.
  static EDatabaseError MemoFileMissing(const std::string& field);
  // "Field '%s' cannot be modified": a field of a kind this system reads but does not write.
  static EDatabaseError ReadOnlyField(const std::string& field);
};

// Errors of the table file layer and the cursor.
class EBinaryDataSetError : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;

  // "Invalid field count : %d (must be between 1 and 255)"
  static EBinaryDataSetError InvalidFieldCount(std::int64_t count);
  // "Open: Table file not found : " + path, followed by what is there instead when the path
  // names a folder or something else that is not a file.
  static EBinaryDataSetError TableNotFound(const std::string& dataFilePath);
  static EBinaryDataSetError InvalidRecord();  // "GetRecord: Invalid record"
  // "Bookmark %d not found"
  static EBinaryDataSetError BookmarkNotFound(std::int64_t recordIndex);
  static EBinaryDataSetError UnsupportedFieldType();  // "InitFieldDefs: Unsupported field type"
};

// An encoded value longer than its (non-character) field:
// "Fielddata too long :%d (must be between 1 and %d)."
class EFieldToLongError : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
  static EFieldToLongError ForLength(std::size_t textLength, int fieldLength);
};

}  // namespace tavlo
