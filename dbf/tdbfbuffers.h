// What the two halves of the table cursor (tdbf.cpp, tdbffields.cpp) share about its record
// buffers. Internal to the cursor: nothing else includes it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dbf/tdbf.h"

namespace tavlo::tdbfbuffers {

// A damaged header may give record size 0; a buffer still holds the deletion flag byte that
// posting, deleting and the deleted-record test set and read.
inline std::size_t BufferSizeFor(const TDbfFile* file) {
  const std::size_t recordSize = file != nullptr ? static_cast<std::size_t>(file->RecordSize()) : 0;
  return TDbf::kRecordOffset + (recordSize == 0 ? 1 : recordSize);
}

inline std::uint8_t* RecordBytes(TRecordBuffer& buffer) {
  return reinterpret_cast<std::uint8_t*>(buffer.data() + TDbf::kRecordOffset);
}

// Memo and binary memo fields: their value lives in the memo file.
inline bool IsMemoType(TFieldType type) {
  return type == TFieldType::ftMemo || type == TFieldType::ftBlob;
}

}  // namespace tavlo::tdbfbuffers
