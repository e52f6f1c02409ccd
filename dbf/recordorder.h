// TRecordOrder: the cursor's in-memory order of a table by one or more key fields, kept as a
// permutation of record indexes (4 bytes per record). Keys are read from the data file's
// memory view when building, so nothing but the permutation stays in memory. Keys compare
// by field type: numbers numerically, dates by day number, logicals false before true,
// strings byte by byte after the code-page translation and the ASCII case folding of the
// comparetext word; nulls come first and equal keys keep physical order. It never writes a
// file and knows nothing of filters or deleted records: the cursor applies those.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/columnlayout.h"
#include "dbf/dbffile.h"

namespace tavlo {

class TRecordOrder {
 public:
  // Orders the records [0, file's header record count) of file by the fields fieldIndexes
  // (0-based), read through layout (file's, which must outlive the order); memo fields
  // cannot be keys ("Cannot order by memo field '%s'").
  void Build(TDbfFile& file, const TColumnLayout& layout, const std::vector<int>& fieldIndexes,
             bool descending);
  void Clear();
  bool Active() const { return active_; }
  bool Descending() const { return descending_; }
  const std::vector<int>& FieldIndexes() const { return fieldIndexes_; }

  std::int32_t Size() const { return static_cast<std::int32_t>(order_.size()); }
  std::int32_t RecordAt(std::int32_t position) const {
    return order_[static_cast<std::size_t>(position)];
  }
  // The position of record, trying hint first; -1 when the record is not in the order.
  std::int32_t PositionOf(std::int32_t record, std::int32_t hint = -1) const;
  // Takes record (whose key may have changed) out and puts it back where its key belongs;
  // a record beyond the order (just appended) is added. Returns its new position.
  std::int32_t Place(TDbfFile& file, std::int32_t record);
  // Adds every record of the file not yet in the order (appended by another program).
  void TakeInAppended(TDbfFile& file);

  // Negative, zero or positive as record a sorts before, with or after record b (record
  // bytes as in the file), counting the physical indexes for equal keys.
  int Compare(const std::uint8_t* a, std::int32_t indexA, const std::uint8_t* b,
              std::int32_t indexB) const;

 private:
  struct Key {
    TColumn column;
    // Compares as text (chunk by chunk when sorting), else as a number.
    bool Text() const {
      const FieldReading reading = column.reading;
      return reading == FieldReading::String || reading == FieldReading::OtherText ||
             reading == FieldReading::VarText || reading == FieldReading::VarBytes;
    }
  };
  // One record's key: null, a value that is no number (a whole number beyond 64 bits), a
  // number as bits in the order of the values, or text. Kinds are in sorting order.
  struct KeyValue {
    enum class Kind : std::uint8_t { Null, NoNumber, Number, Text } kind = Kind::Null;
    std::uint64_t bits = 0;
    std::string_view text;
  };
  KeyValue Read(const Key& key, const std::uint8_t* record) const;
  int CompareKeys(const std::uint8_t* a, const std::uint8_t* b) const;
  // Bytes of a character key per chunk of its number.
  static constexpr std::size_t kChunkBytes = 7;
  // A number whose order agrees with key keyIndex's, for records whose keys before it are
  // equal and, for a character key, whose earlier chunks are equal. Equal numbers are equal
  // keys, except a text that goes on past the chunk (low byte 8) and the number 1, which
  // also stands for values that have no number.
  std::uint64_t Prefix(const std::uint8_t* record, std::size_t keyIndex, std::size_t chunk) const;

  bool active_ = false;
  bool descending_ = false;
  std::vector<int> fieldIndexes_;
  std::vector<Key> keys_;
  const TColumnLayout* layout_ = nullptr;  // of the file built from
  std::vector<std::int32_t> order_;
  // Of character bytes: the layout's translation, as it was when built, and folded.
  std::array<std::uint8_t, 256> ranks_{};
};

}  // namespace tavlo
