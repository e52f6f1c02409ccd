// The field objects: thin front ends that route every read and write through their dataset.
#include "dbf/fields.h"

#include "dbf/fieldcodec.h"

namespace tavlo {

TField::TField(TDataSet& dataSet, const TFieldDef& definition, int fieldNo)
    : dataSet_(dataSet),
      name_(definition.name),
      dataType_(definition.dataType),
      size_(definition.size),
      required_(definition.required),
      fieldNo_(fieldNo) {}

TField::~TField() noexcept = default;

bool TField::GetData(void* dest) const {
  return dataSet_.GetFieldData(*this, dest, nullptr);
}

void TField::Write(const TFieldWrite& write) {
  dataSet_.SetFieldValue(*this, write);
}

bool TField::IsNull() const {
  return !dataSet_.GetFieldData(*this, nullptr, nullptr);
}

void TField::Clear() {
  Write(TFieldWrite{});
}

std::string TField::TextValue() const {
  return dataSet_.FieldText(*this, nullptr);
}

void TField::SetTextValue(const std::string& text) {
  TFieldWrite write;
  write.kind = TFieldWrite::Kind::Text;
  write.text = text;
  Write(write);
}

std::string TField::DisplayText() const {
  return dataSet_.FieldDisplayText(*this, nullptr);
}

Variant TField::VariantValue() const {
  return dataSet_.FieldVariant(*this, nullptr);
}

void TField::SetVariantValue(const Variant& value) {
  TFieldWrite write;
  write.kind = TFieldWrite::Kind::Variant;
  write.variant = value;
  Write(write);
}

bool TField::IsNullIn(const TRecordBuffer& buffer) const {
  return !dataSet_.GetFieldData(*this, nullptr, &buffer);
}

std::string TField::TextValueIn(const TRecordBuffer& buffer) const {
  return dataSet_.FieldText(*this, &buffer);
}

std::string TField::DisplayTextIn(const TRecordBuffer& buffer) const {
  return dataSet_.FieldDisplayText(*this, &buffer);
}

Variant TField::VariantValueIn(const TRecordBuffer& buffer) const {
  return dataSet_.FieldVariant(*this, &buffer);
}

void TStringField::SetAsString(const std::string& text) {
  TFieldWrite write;
  write.kind = TFieldWrite::Kind::String;
  write.text = text;
  Write(write);
}

std::int64_t TIntegerFieldBase::AsLargeInt() const {
  switch (DataType()) {
    case TFieldType::ftSmallint: {
      std::int16_t value = 0;
      return GetData(&value) ? value : 0;
    }
    case TFieldType::ftInteger: {
      std::int32_t value = 0;
      return GetData(&value) ? value : 0;
    }
    default: {
      std::int64_t value = 0;
      return GetData(&value) ? value : 0;
    }
  }
}

void TIntegerFieldBase::SetAsLargeInt(std::int64_t value) {
  TFieldWrite write;
  write.kind = TFieldWrite::Kind::Integer;
  write.integer = value;
  Write(write);
}

double TFloatField::AsFloat() const {
  double value = 0;
  return GetData(&value) ? value : 0;
}

void TFloatField::SetAsFloat(double value) {
  TFieldWrite write;
  write.kind = TFieldWrite::Kind::Float;
  write.real = value;
  Write(write);
}

bool TBooleanField::AsBoolean() const {
  std::int16_t value = 0;
  return GetData(&value) && value == 1;
}

void TBooleanField::SetAsBoolean(bool value) {
  TFieldWrite write;
  write.kind = TFieldWrite::Kind::Boolean;
  write.flag = value;
  Write(write);
}

double TDateField::AsDateTime() const {
  std::int32_t value = 0;
  return GetData(&value) ? DayNumberToDateTime(value) : 0;
}

void TDateField::SetAsDateTime(double dateTime) {
  TFieldWrite write;
  write.kind = TFieldWrite::Kind::Date;
  write.real = dateTime;
  Write(write);
}

std::unique_ptr<TField> NewFieldObject(TDataSet& dataSet, const TFieldDef& definition,
                                       int fieldNo) {
  switch (definition.dataType) {
    case TFieldType::ftSmallint:
      return std::make_unique<TSmallintField>(dataSet, definition, fieldNo);
    case TFieldType::ftInteger:
      return std::make_unique<TIntegerField>(dataSet, definition, fieldNo);
    case TFieldType::ftLargeint:
      return std::make_unique<TLargeintField>(dataSet, definition, fieldNo);
    case TFieldType::ftFloat:
      return std::make_unique<TFloatField>(dataSet, definition, fieldNo);
    case TFieldType::ftBoolean:
      return std::make_unique<TBooleanField>(dataSet, definition, fieldNo);
    case TFieldType::ftDate:
      return std::make_unique<TDateField>(dataSet, definition, fieldNo);
    case TFieldType::ftMemo:
      return std::make_unique<TMemoField>(dataSet, definition, fieldNo);
    default:
      return std::make_unique<TStringField>(dataSet, definition, fieldNo);
  }
}

}  // namespace tavlo
