// The field objects of a dataset: TField and one class per field type (TStringField ...
// TMemoField). A field object holds no value of its own; every read and write goes through
// its dataset to the record in use (or to a caller's record buffer for views that do not
// move the cursor). Field objects never outlive their dataset.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dbf/dataset.h"
#include "dbf/fieldinfo.h"
#include "value/value.h"

namespace tavlo {

class TField {
 public:
  TField(TDataSet& dataSet, const TFieldDef& definition, int fieldNo);
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;
  virtual ~TField() noexcept;

  const std::string& FieldName() const { return name_; }
  int FieldNo() const { return fieldNo_; }  // 1-based position in descriptor order
  TFieldType DataType() const { return dataType_; }
  int Size() const { return size_; }
  bool Required() const { return required_; }
  TDataSet& DataSet() const { return dataSet_; }

  // The record in use.
  bool IsNull() const;
  void Clear();
  std::string TextValue() const;
  void SetTextValue(const std::string& text);
  std::string DisplayText() const;
  Variant VariantValue() const;
  void SetVariantValue(const Variant& value);

  // A caller's record buffer (filled by the dataset's random-access read).
  bool IsNullIn(const TRecordBuffer& buffer) const;
  std::string TextValueIn(const TRecordBuffer& buffer) const;
  std::string DisplayTextIn(const TRecordBuffer& buffer) const;
  Variant VariantValueIn(const TRecordBuffer& buffer) const;

 protected:
  // The native value of the record in use; false when null.
  bool GetData(void* dest) const;
  void Write(const TFieldWrite& write);

 private:
  TDataSet& dataSet_;
  std::string name_;
  TFieldType dataType_;
  int size_;
  bool required_;
  int fieldNo_;
};

class TStringField : public TField {
 public:
  using TField::TField;
  std::string AsString() const { return TextValue(); }
  // Cut to the field length, then translated to the file's code page.
  void SetAsString(const std::string& text);
};

// The three whole-number fields share their typed access; the range is the type's.
class TIntegerFieldBase : public TField {
 public:
  using TField::TField;
  // 0 when null.
  std::int64_t AsLargeInt() const;
  // Range-checked against the field type ("... The allowed range is ...").
  void SetAsLargeInt(std::int64_t value);
};

class TSmallintField : public TIntegerFieldBase {
 public:
  using TIntegerFieldBase::TIntegerFieldBase;
};

class TIntegerField : public TIntegerFieldBase {
 public:
  using TIntegerFieldBase::TIntegerFieldBase;
};

class TLargeintField : public TIntegerFieldBase {
 public:
  using TIntegerFieldBase::TIntegerFieldBase;
};

class TFloatField : public TField {
 public:
  using TField::TField;
  static constexpr int Precision = 15;  // significant digits of the text views
  double AsFloat() const;               // 0 when null
  void SetAsFloat(double value);
};

class TBooleanField : public TField {
 public:
  using TField::TField;
  bool AsBoolean() const;  // false when null
  void SetAsBoolean(bool value);
};

class TDateField : public TField {
 public:
  using TField::TField;
  // Platform day number (0 = 1899-12-30); 0 when null.
  double AsDateTime() const;
  void SetAsDateTime(double dateTime);
};

// TextValue is the memo text; the display text is "(MEMO)", or "(Memo)" when null.
class TMemoField : public TField {
 public:
  using TField::TField;
};

// The field object class that suits definition.dataType (ftString for unlisted types).
std::unique_ptr<TField> NewFieldObject(TDataSet& dataSet, const TFieldDef& definition, int fieldNo);

}  // namespace tavlo
