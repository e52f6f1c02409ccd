// The cursor's in-memory record order: building, comparing and re-placing records.
#include "dbf/recordorder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "dbf/dbferrors.h"
#include "dbf/fieldcodec.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

// Byte rank of a character field: the OEM byte as the user sees it (ANSI), folded as the
// comparetext word folds. A table read through a code page of its own (single- or multi-byte)
// ranks its stored bytes with the A-Z folding alone: byte order is code point order in UTF-8
// and the page's own order otherwise.
std::array<std::uint8_t, 256> StringRanks(const TColumnLayout& layout) {
  std::array<std::uint8_t, 256> ranks{};
  const auto* toAnsi = layout.SessionOemTranslation() ? layout.ByteTable() : nullptr;
  for (std::size_t i = 0; i < ranks.size(); ++i) {
    ranks[i] = AsciiFoldTable[toAnsi != nullptr ? (*toAnsi)[i] : i];
  }
  return ranks;
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

std::uint64_t OrderedBits(std::int64_t value) {
  return static_cast<std::uint64_t>(value) ^ (std::uint64_t{1} << 63);
}

std::uint64_t OrderedBits(double value) {
  if (value == 0) value = 0;  // -0 sorts with 0
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

// The records of a file for building: the memory view, or a copy when the file cannot be
// mapped (or its header counts more records than it holds).
class RecordSource {
 public:
  RecordSource(TDbfFile& file, std::int32_t count) : size_(file.RecordSize()) {
    if (count == 0) return;
    mapped_ = file.RecordView(count - 1) != nullptr;
    if (mapped_) {
      base_ = file.RecordView(0);
      // One view holds every record at its file position only when consecutive records
      // are consecutive in it; check the last one against that.
      mapped_ = base_ + static_cast<std::size_t>(count - 1) * size_ == file.RecordView(count - 1);
    }
    if (!mapped_) {
      copy_.assign(static_cast<std::size_t>(count) * size_, ' ');
      for (std::int32_t i = 0; i < count; ++i) {
        file.ReadRecord(i, copy_.data() + static_cast<std::size_t>(i) * size_);
      }
      base_ = copy_.data();
    }
  }
  const std::uint8_t* At(std::int32_t index) const {
    return base_ + static_cast<std::size_t>(index) * size_;
  }

 private:
  std::size_t size_;
  bool mapped_ = false;
  const std::uint8_t* base_ = nullptr;
  std::vector<std::uint8_t> copy_;
};

// One record's bytes: from the view, else read into scratch.
const std::uint8_t* RecordBytesAt(TDbfFile& file, std::int32_t index,
                                  std::vector<std::uint8_t>& scratch) {
  if (const std::uint8_t* view = file.RecordView(index)) return view;
  scratch.assign(static_cast<std::size_t>(file.RecordSize()), ' ');
  file.ReadRecord(index, scratch.data());
  return scratch.data();
}

}  // namespace

void TRecordOrder::Clear() {
  active_ = false;
  descending_ = false;
  fieldIndexes_.clear();
  keys_.clear();
  order_.clear();
  order_.shrink_to_fit();
}

TRecordOrder::KeyValue TRecordOrder::Read(const Key& key, const std::uint8_t* record) const {
  KeyValue value;
  const TColumn& column = key.column;
  const TColumnLayout& layout = *layout_;
  // Nulls first: a blank field has no value whatever its type, nor has a logical that was
  // never set ("?"), nor a field its null flag marks.
  if (column.nullable && layout.IsNull(column, record)) return value;
  switch (column.reading) {
    case FieldReading::VarText:
    case FieldReading::VarBytes: {
      const std::string_view used = layout.ValueBytes(column, record);
      value.text =
          column.reading == FieldReading::VarText
              ? TrimFieldBytes(reinterpret_cast<const std::uint8_t*>(used.data()), used.size())
              : used;
      value.kind = value.text.empty() ? KeyValue::Kind::Null : KeyValue::Kind::Text;
      return value;
    }
    case FieldReading::Binary: {
      // Binary numbers, currency and date-times by their value.
      Variant decoded;
      if (!layout.Binary(column, record, decoded)) return value;
      value.kind = KeyValue::Kind::Number;
      if (decoded.IsCurrency()) {
        value.bits = OrderedBits(decoded.CurrencyValue());
      } else if (decoded.IsInteger()) {
        value.bits = OrderedBits(static_cast<std::int64_t>(decoded.IntegerValue()));
      } else {
        value.bits = OrderedBits(decoded.RealValue());
      }
      return value;
    }
    default:
      break;
  }
  const std::string_view text = layout.Text(column, record);
  if (text.empty()) return value;
  value.kind = KeyValue::Kind::Number;
  switch (column.reading) {
    case FieldReading::Whole: {
      std::int64_t number = 0;
      if (TColumnLayout::Whole(text, number)) {
        value.bits = OrderedBits(number);
      } else {
        value.kind = KeyValue::Kind::NoNumber;
      }
      break;
    }
    case FieldReading::Float:
      value.bits = OrderedBits(TColumnLayout::Real(text));
      break;
    case FieldReading::Logical: {
      const TLogical flag = TColumnLayout::Logical(text);
      if (flag == TLogical::Null) {
        value.kind = KeyValue::Kind::Null;  // "?"
      } else {
        value.bits = OrderedBits(std::int64_t{flag == TLogical::True});
      }
      break;
    }
    case FieldReading::Date:
      value.bits = OrderedBits(static_cast<std::int64_t>(TColumnLayout::Day(text)));
      break;
    default:
      value.kind = KeyValue::Kind::Text;
      value.text = text;
      break;
  }
  return value;
}

int TRecordOrder::CompareKeys(const std::uint8_t* a, const std::uint8_t* b) const {
  for (const Key& key : keys_) {
    const KeyValue x = Read(key, a), y = Read(key, b);
    int result = Order(x.kind, y.kind);  // null, then no number, then values
    if (result == 0 && x.kind == KeyValue::Kind::Number) result = Order(x.bits, y.bits);
    if (result == 0 && x.kind == KeyValue::Kind::Text) {
      const auto& ranks = ranks_;
      const std::size_t common = std::min(x.text.size(), y.text.size());
      for (std::size_t i = 0; i < common && result == 0; ++i) {
        result = Order(ranks[static_cast<unsigned char>(x.text[i])],
                       ranks[static_cast<unsigned char>(y.text[i])]);
      }
      if (result == 0) result = Order(x.text.size(), y.text.size());
    }
    if (result != 0) return descending_ ? -result : result;
  }
  return 0;
}

int TRecordOrder::Compare(const std::uint8_t* a, std::int32_t indexA, const std::uint8_t* b,
                          std::int32_t indexB) const {
  const int result = CompareKeys(a, b);
  return result != 0 ? result : Order(indexA, indexB);
}

std::uint64_t TRecordOrder::Prefix(const std::uint8_t* record, std::size_t keyIndex,
                                   std::size_t chunk) const {
  const KeyValue key = Read(keys_[keyIndex], record);
  std::uint64_t value = 0;
  switch (key.kind) {
    case KeyValue::Kind::Null:
      return descending_ ? ~std::uint64_t{0} : 0;
    case KeyValue::Kind::NoNumber:
      value = 1;
      break;
    case KeyValue::Kind::Number:
      value = key.bits;
      break;
    case KeyValue::Kind::Text: {
      // Seven ranked bytes of the chunk, then how many bytes are left from its start, up to
      // 8: a shorter text that is a beginning of a longer one sorts first, and 8 says the
      // text goes on into the next chunk.
      const auto& ranks = ranks_;
      const std::size_t from = chunk * kChunkBytes;
      const std::size_t left = key.text.size() > from ? key.text.size() - from : 0;
      for (std::size_t i = 0; i < kChunkBytes; ++i) {
        value =
            (value << 8) | (i < left ? ranks[static_cast<unsigned char>(key.text[from + i])] : 0);
      }
      value = (value << 8) | std::min<std::size_t>(left, kChunkBytes + 1);
      break;
    }
  }
  // Null (0) stays below every value; a value mapped to 0 or 1 ties with "no number" (1).
  value = std::max<std::uint64_t>(value, 1);
  return descending_ ? ~value : value;
}

void TRecordOrder::Build(TDbfFile& file, const TColumnLayout& layout,
                         const std::vector<int>& fieldIndexes, bool descending) {
  std::vector<Key> keys;
  for (int index : fieldIndexes) {
    const TColumn& column = layout.Column(index);
    if (column.type == TFieldType::ftMemo || column.type == TFieldType::ftBlob) {
      throw EDatabaseError("Cannot order by memo field '" + file.FieldInfo(index).name + "'");
    }
    keys.push_back(Key{column});
  }
  if (keys.empty()) {
    Clear();
    return;
  }
  const auto count = static_cast<std::int32_t>(file.HeaderRecordCount());
  std::vector<std::int32_t> order;
  keys_ = std::move(keys);
  layout_ = &layout;
  descending_ = descending;
  ranks_ = StringRanks(layout);
  try {
    RecordSource records(file, count);
    // Keys become numbers, a chunk of a key at a time, sorted with the record index beside
    // them: comparisons are integer compares on memory read in sequence. Records whose
    // numbers tie get the next chunk (or key) read once each and are sorted among
    // themselves, so a key's bytes are read a few times per record instead of at every
    // comparison, at random places. 12 bytes per record while sorting.
#pragma pack(push, 4)
    struct Entry {
      std::uint64_t prefix;
      std::int32_t index;
    };
#pragma pack(pop)
    static_assert(sizeof(Entry) == 12);
    const auto byPrefix = [](const Entry& a, const Entry& b) {
      return a.prefix != b.prefix ? a.prefix < b.prefix : a.index < b.index;
    };
    struct Run {
      std::size_t begin, end;
      std::size_t key, chunk;  // the stage the run's entries were sorted by
    };
    std::vector<Entry> entries(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
      entries[static_cast<std::size_t>(i)] = Entry{Prefix(records.At(i), 0, 0), i};
    }
    std::vector<Run> pending;
    // Sorts [begin, end) by the stage's numbers and queues every run of equal numbers.
    const auto sortStage = [&](std::size_t begin, std::size_t end, std::size_t key,
                               std::size_t chunk) {
      std::sort(entries.begin() + static_cast<std::ptrdiff_t>(begin),
                entries.begin() + static_cast<std::ptrdiff_t>(end), byPrefix);
      for (std::size_t i = begin; i < end;) {
        std::size_t j = i + 1;
        while (j < end && entries[j].prefix == entries[i].prefix) ++j;
        if (j - i > 1) pending.push_back(Run{i, j, key, chunk});
        i = j;
      }
    };
    sortStage(0, entries.size(), 0, 0);
    while (!pending.empty()) {
      const Run run = pending.back();
      pending.pop_back();
      const std::uint64_t raw =
          descending_ ? ~entries[run.begin].prefix : entries[run.begin].prefix;
      std::size_t key = run.key, chunk = run.chunk;
      if (keys_[key].Text() && (raw & 0xFF) > kChunkBytes) {
        ++chunk;  // the texts go on
      } else if (!keys_[key].Text() && raw == 1) {
        // Values that merely tie with the lowest number (out of range, the smallest whole
        // number): the full comparison settles them.
        std::sort(entries.begin() + static_cast<std::ptrdiff_t>(run.begin),
                  entries.begin() + static_cast<std::ptrdiff_t>(run.end),
                  [&](const Entry& a, const Entry& b) {
                    return Compare(records.At(a.index), a.index, records.At(b.index), b.index) < 0;
                  });
        continue;
      } else if (key + 1 < keys_.size()) {
        ++key;
        chunk = 0;
      } else {
        continue;  // equal keys, already in file order
      }
      for (std::size_t i = run.begin; i < run.end; ++i) {
        entries[i].prefix = Prefix(records.At(entries[i].index), key, chunk);
      }
      sortStage(run.begin, run.end, key, chunk);
    }
    order.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) order[i] = entries[i].index;
  } catch (...) {
    Clear();
    throw;
  }
  order_ = std::move(order);
  fieldIndexes_ = fieldIndexes;
  active_ = true;
}

std::int32_t TRecordOrder::PositionOf(std::int32_t record, std::int32_t hint) const {
  if (hint >= 0 && hint < Size() && order_[static_cast<std::size_t>(hint)] == record) return hint;
  const auto found = std::find(order_.begin(), order_.end(), record);
  return found == order_.end() ? -1 : static_cast<std::int32_t>(found - order_.begin());
}

std::int32_t TRecordOrder::Place(TDbfFile& file, std::int32_t record) {
  const std::int32_t old = PositionOf(record);
  if (old >= 0) order_.erase(order_.begin() + old);
  std::vector<std::uint8_t> scratchA, scratchB;
  const std::uint8_t* bytes = RecordBytesAt(file, record, scratchA);
  // Copy: the view may move while the neighbours are read.
  std::vector<std::uint8_t> key(bytes, bytes + file.RecordSize());
  const auto at =
      std::lower_bound(order_.begin(), order_.end(), record, [&](std::int32_t other, std::int32_t) {
        return Compare(RecordBytesAt(file, other, scratchB), other, key.data(), record) < 0;
      });
  return static_cast<std::int32_t>(order_.insert(at, record) - order_.begin());
}

void TRecordOrder::TakeInAppended(TDbfFile& file) {
  const auto count = static_cast<std::int32_t>(file.HeaderRecordCount());
  for (std::int32_t record = Size(); record < count; ++record) Place(file, record);
}

}  // namespace tavlo
