// The table cursor's field values: reading and writing the fields of the record in use (or
// of a buffer from ReadRecordAt), their text, display and variant views, memo texts and blob
// streams. It never moves the cursor.
#include <cassert>
#include <cstring>

#include "dbf/deletionflag.h"
#include "dbf/fieldcodec.h"
#include "dbf/fieldconvert.h"
#include "dbf/fields.h"
#include "dbf/fptfile.h"
#include "dbf/tdbf.h"
#include "dbf/tdbfbuffers.h"
#include "platform/textcodec.h"

namespace tavlo {

using namespace tdbfbuffers;

const std::uint8_t* TDbf::RecordInUse(const TRecordBuffer* from) const {
  if (from != nullptr) {
    assert(dbfFile_ == nullptr || from->size() == BufferSizeFor(dbfFile_));
    return reinterpret_cast<const std::uint8_t*>(from->data() + kRecordOffset);
  }
  if (State() == TDataSetState::dsFilter && filterRecord_ != nullptr) {
    return reinterpret_cast<const std::uint8_t*>(filterRecord_->data() + kRecordOffset);
  }
  if (!HasRecord()) return nullptr;
  return reinterpret_cast<const std::uint8_t*>(ActiveBuffer().data() + kRecordOffset);
}

bool TDbf::FieldWritable(const TField& field) const {
  if (dbfFile_ == nullptr || field.FieldNo() < 1 || field.FieldNo() > dbfFile_->FieldCount()) {
    return false;
  }
  return dbfFile_->FieldInfo(field.FieldNo() - 1).writable;
}

std::string TDbf::PreviewTextAt(const TField& field, const TRecordBuffer& buffer, int page) const {
  if (dbfFile_ == nullptr || field.DataType() != TFieldType::ftString) return std::string();
  const std::uint8_t* record = RecordInUse(&buffer);
  const int index = field.FieldNo() - 1;
  if (dbfFile_->FieldIsNull(index, record)) return std::string();
  std::string_view bytes = dbfFile_->FieldValueBytes(index, record);
  if (dbfFile_->FieldInfo(index).storage == FieldStorage::Text) {
    bytes = TrimFieldBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  return TextCodec(page, kUtf8CodePage).ToAnsi(bytes);
}

bool TDbf::IsDeleted() {
  const std::uint8_t* record = RecordInUse(nullptr);
  return record != nullptr && IsDeletedFlag(record[0]);
}

void TDbf::CheckFieldOfThisTable(const TField& field) const {
  (void)field;
  assert(&field.DataSet() == this);
  assert(dbfFile_ != nullptr && field.FieldNo() >= 1 && field.FieldNo() <= dbfFile_->FieldCount());
}

bool TDbf::GetFieldData(const TField& field, void* dest, const TRecordBuffer* from) {
  const std::uint8_t* record = RecordInUse(from);
  if (record == nullptr || dbfFile_ == nullptr) return false;
  CheckFieldOfThisTable(field);
  return dbfFile_->DecodeField(field.FieldNo() - 1, field.DataType(), dest, record);
}

std::string TDbf::LoadMemoAt(std::int32_t block) {
  // Without a memo file there is nothing to read; never touch a file that is not there.
  if (block == 0) return std::string();
  if (fptFile_ != nullptr) return fptFile_->LoadMemoText(block);
  if (memoFile_ != nullptr) return memoFile_->LoadMemoText(block);
  return std::string();
}

void TDbf::StoreMemoAt(const TField& field, std::int32_t& block, std::int64_t oldSize,
                       const std::string& text) {
  if (fptFile_ != nullptr) {
    fptFile_->StoreMemoText(block, oldSize, text);
  } else if (memoFile_ != nullptr) {
    memoFile_->StoreMemoText(block, oldSize, text);
  } else {
    // The empty memo is block 0 and needs no file; any text does.
    if (!text.empty()) throw EDatabaseError::MemoFileMissing(field.FieldName());
    block = 0;
  }
}

// Memo text of a table that names its code page is in that page, as every other reader
// takes it; a table that names none keeps its memo bytes untranslated.
std::string TDbf::MemoToAnsi(const TField& field, std::string stored) const {
  if (field.DataType() != TFieldType::ftMemo || dbfFile_->CodePage() == 0) return stored;
  return dbfFile_->TextToAnsi(stored);
}

std::string TDbf::MemoFromAnsi(const TField& field, std::string text) const {
  if (field.DataType() != TFieldType::ftMemo || dbfFile_->CodePage() == 0) return text;
  return dbfFile_->TextFromAnsi(text, text.size() * 4);
}

std::string TDbf::MemoText(const TField& field, const std::uint8_t* record) {
  if (dbfFile_->FieldIsNull(field.FieldNo() - 1, record)) return std::string();
  return MemoToAnsi(field, LoadMemoAt(dbfFile_->MemoBlock(field.FieldNo() - 1, record)));
}

std::string TDbf::FieldText(const TField& field, const TRecordBuffer* from) {
  const std::uint8_t* record = RecordInUse(from);
  if (record == nullptr || dbfFile_ == nullptr) return std::string();
  CheckFieldOfThisTable(field);
  if (IsMemoType(field.DataType())) return MemoText(field, record);
  return FieldTextValue(FieldSlot{*dbfFile_, field.FieldNo() - 1, field.FieldName()}, record);
}

std::string TDbf::FieldDisplayText(const TField& field, const TRecordBuffer* from) {
  const std::uint8_t* record = RecordInUse(from);
  if (record == nullptr || dbfFile_ == nullptr) {
    if (field.DataType() == TFieldType::ftBlob) return BlobDisplayText(true);
    return field.DataType() == TFieldType::ftMemo ? MemoDisplayText(true) : std::string();
  }
  CheckFieldOfThisTable(field);
  // A picture or object memo without bytes (FoxPro gives every one a block) shows as empty.
  if (field.DataType() == TFieldType::ftBlob)
    return BlobDisplayText(MemoText(field, record).empty());
  return tavlo::FieldDisplayText(FieldSlot{*dbfFile_, field.FieldNo() - 1, field.FieldName()},
                                 record);
}

Variant TDbf::FieldVariant(const TField& field, const TRecordBuffer* from) {
  Variant value;
  FieldVariantInto(field, from, value);
  return value;
}

void TDbf::FieldVariantInto(const TField& field, const TRecordBuffer* from, Variant& out) {
  const std::uint8_t* record = RecordInUse(from);
  if (record == nullptr || dbfFile_ == nullptr) {
    out = Variant::Null();
    return;
  }
  CheckFieldOfThisTable(field);
  FieldSlot slot{*dbfFile_, field.FieldNo() - 1, field.FieldName()};
  if (IsMemoType(field.DataType())) {
    if (FieldIsNull(slot, record)) {
      out = Variant::Null();
    } else {
      out = Variant(MemoText(field, record));
    }
    return;
  }
  FieldVariantValueInto(slot, record, out);
}

void TDbf::StoreMemo(TField& field, const std::string& text) {
  std::uint8_t* record = RecordBytes(ActiveBuffer());
  const int index = field.FieldNo() - 1;
  if (!dbfFile_->FieldInfo(index).writable) throw EDatabaseError::ReadOnlyField(field.FieldName());
  std::int32_t block = dbfFile_->MemoBlock(index, record);
  std::int64_t oldSize = static_cast<std::int64_t>(LoadMemoAt(block).size());
  StoreMemoAt(field, block, oldSize, MemoFromAnsi(field, text));
  dbfFile_->EncodeField(field.FieldNo() - 1, TFieldType::ftMemo, record, &block);
}

void TDbf::InternalSetFieldValue(TField& field, const TFieldWrite& write) {
  CheckFieldOfThisTable(field);
  std::uint8_t* record = RecordBytes(ActiveBuffer());
  FieldSlot slot{*dbfFile_, field.FieldNo() - 1, field.FieldName()};
  const bool memo = IsMemoType(field.DataType());
  switch (write.kind) {
    case TFieldWrite::Kind::Null:
      ClearField(slot, record);
      return;
    case TFieldWrite::Kind::Text:
      if (memo) {
        StoreMemo(field, write.text);
      } else {
        SetFieldTextValue(slot, record, write.text);
      }
      return;
    case TFieldWrite::Kind::String:
      if (memo) {
        StoreMemo(field, write.text);
      } else {
        SetFieldString(slot, record, write.text);
      }
      return;
    case TFieldWrite::Kind::Variant:
      if (!memo) {
        SetFieldVariantValue(slot, record, write.variant);
      } else if (write.variant.IsNull()) {
        ClearField(slot, record);
      } else {
        std::string text;
        try {
          text = write.variant.ToText();
        } catch (const EVariantError&) {
          throw EDatabaseError::InvalidVariant(field.FieldName());
        }
        StoreMemo(field, text);
      }
      return;
    case TFieldWrite::Kind::Integer:
      SetFieldInteger(slot, record, write.integer);
      return;
    case TFieldWrite::Kind::Float:
      SetFieldFloat(slot, record, write.real);
      return;
    case TFieldWrite::Kind::Boolean:
      SetFieldBoolean(slot, record, write.flag);
      return;
    case TFieldWrite::Kind::Date:
      SetFieldDate(slot, record, write.real);
      return;
  }
}

std::unique_ptr<TMyBlobFile> TDbf::CreateBlobStream(TField& field, TMyBlobFile::Mode mode) {
  CheckActive();
  CheckFieldOfThisTable(field);
  if (mode != TMyBlobFile::Mode::Read && !IsEditing(State())) {
    throw EDatabaseError::NotEditing();
  }
  auto stream = std::make_unique<TMyBlobFile>(mode);
  if (const std::uint8_t* record = RecordInUse(nullptr)) {
    std::int32_t block = dbfFile_->MemoBlock(field.FieldNo() - 1, record);
    stream->blockNumber = block;
    stream->oldSize = static_cast<std::int64_t>(LoadMemoAt(block).size());
    if (block != 0) {
      stream->SetData(MemoToAnsi(field, LoadMemoAt(block)));
      stream->Seek(0);
    }
  }
  if (mode == TMyBlobFile::Mode::Write) {
    stream->writeBack = [this, &field](TMyBlobFile& blob) {
      CheckActive();
      if (!IsEditing(State())) throw EDatabaseError::NotEditing();
      std::uint8_t* record = RecordBytes(ActiveBuffer());
      std::int32_t block = blob.blockNumber;
      if (!dbfFile_->FieldInfo(field.FieldNo() - 1).writable) {
        throw EDatabaseError::ReadOnlyField(field.FieldName());
      }
      StoreMemoAt(field, block, blob.oldSize, MemoFromAnsi(field, blob.Data()));
      blob.blockNumber = block;
      dbfFile_->EncodeField(field.FieldNo() - 1, TFieldType::ftMemo, record, &block);
      FieldChanged(field);
    };
  }
  return stream;
}

}  // namespace tavlo
