// The table doctor: the checks of a data file and its memo file, and the repaired copy.
//
// Both walk the same way: the layout from the raw header, then every whole record located by
// the header's record size from the data start, then the memo file. What the walk finds is a
// list of problems; the repair builds the new files in memory from the same walk (values it
// cannot keep go to the rejects list with their stored bytes) and writes each in one piece,
// so nothing is ever written into the table's own files.
#include "dbf/tabledoctor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "dbf/commitmark.h"
#include "dbf/dbferrors.h"
#include "dbf/deletionflag.h"
#include "dbf/indexkeycheck.h"
#include "dbf/memofile.h"
#include "dbf/tablefiles.h"
#include "dbf/tablelayout.h"
#include "dbf/tablepack.h"
#include "dbf/tablerepairfiles.h"
#include "dbf/tdbf.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/regional.h"
#include "text/trim.h"

namespace tavlo {

namespace {

std::string Hex(unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "0x%02X", value & 0xFFu);
  return buffer;
}

// Field bytes without the blanks and NULs around them (a NUL-padded field reads as blank).
std::string Trimmed(const std::uint8_t* bytes, int length) {
  return std::string(TrimAnyOf(
      {reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length)}, kBlankOrNul));
}

std::string Escaped(const std::string& bytes) {
  return EscapedReportBytes(bytes);
}

std::string Quoted(const std::string& bytes) {
  return "'" + Escaped(bytes) + "'";
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A number as dBase programs store it: sign, digits, a point, digits, an exponent (written in
// N fields too by some programs). A comma is taken as the point (some programs write the
// regional one). A field of asterisks is a value too large for its field or, from shapefile
// writers, no value: it holds no number, and other programs read it as none.
bool ParsesAsNumber(const std::string& text) {
  if (text.find_first_not_of('*') == std::string::npos) return true;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) ++i, digits = true;
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, digits = true;
  }
  if (!digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool exponent = false;
    while (i < text.size() && IsDigit(text[i])) ++i, exponent = true;
    if (!exponent) return false;
  }
  return i == text.size();
}

bool ParsesAsDate(const std::string& text) {
  if (text.empty() || text == "00000000") return true;
  if (text.size() != 8) return false;
  for (char c : text)
    if (!IsDigit(c)) return false;
  const int year = std::stoi(text.substr(0, 4));
  const int month = std::stoi(text.substr(4, 2));
  const int day = std::stoi(text.substr(6, 2));
  return IsValidDate(year, month, day);
}

bool ParsesAsLogical(const std::string& text) {
  if (text.empty()) return true;
  if (text.size() != 1) return false;
  return std::strchr("TtFfYyNn?", text[0]) != nullptr;
}

// The block number of a memo field: true with 0 for a blank field.
bool ParsesAsBlock(const std::string& text, std::int64_t& block) {
  block = 0;
  if (text.empty()) return true;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    block = block * 10 + (c - '0');
    if (block > 0x7FFFFFFF) return false;
  }
  return true;
}

// Other programs' types are letters and a few signs ('+', '@', '0'); a control byte or one
// beyond ASCII in its place is damage.
bool IsTypeLetter(char type) {
  return type > ' ' && type < 0x7F;
}

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put32(char* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(value >> (8 * i));
}

// One whole walk over the table; the repair passes an output to fill.
class Walk {
 public:
  Walk(const std::string& path, TTableReport& report) : path_(path), report_(report) {}

  // The repaired copy as it is built.
  struct Repair {
    std::string data;
    std::string memo;  // "" when the table has no memo fields
    TRejects rejects;
    std::vector<std::string> actions;
    std::int64_t unlistedActions = 0;
    std::int64_t written = 0;
    std::int64_t nulPadded = 0;  // values padded with NUL bytes, written with spaces
    std::int64_t recordActions = 0;

    // A change of one record: listed while the list is short, counted afterwards.
    void RecordAction(const std::string& text) {
      if (recordActions++ < TTableReport::kListedRecordProblems)
        actions.push_back(text);
      else
        ++unlistedActions;
    }
  };

  void Run(Repair* repair);

 private:
  void Add(const std::string& place, const std::string& text) {
    report_.problems.push_back({place, text});
  }
  void Note(const std::string& place, const std::string& text) {
    report_.notes.push_back({place, text});
  }
  // A problem of one record: listed while the list is short, counted afterwards.
  void AddRecordProblem(const std::string& place, const std::string& text) {
    if (recordProblems_ < TTableReport::kListedRecordProblems)
      Add(place, text);
    else
      ++report_.unlistedProblems;
    ++recordProblems_;
  }
  void CheckHeader();
  void OpenMemo(Repair* repair);
  void CheckRecord(std::int64_t number, std::uint8_t* record, Repair* repair);
  // The problem of a memo field's pointer, "" when there is none; may copy a shared memo.
  std::string CheckMemoPointer(std::int64_t number, const TLayoutField& field, std::uint8_t* bytes,
                               int length, const std::string& text, Repair* repair, bool& silent);
  void CheckMemoHeader();
  void FinishMemo(Repair& repair);
  void RejectTail(Repair& repair, std::int64_t count);
  void WriteHeader(Repair& repair);

  std::string path_;
  TTableReport& report_;
  std::unique_ptr<ByteStream> data_;
  TTableLayout layout_;
  std::unique_ptr<TDbtFile> memo_;
  bool memoMissing_ = false;
  std::int64_t memoSize_ = 0;
  std::int64_t memoBlocks_ = 0;
  int memoBlockSize_ = 512;
  std::map<std::int64_t, std::int64_t> memoOwners_;  // block -> first record using it
  std::int64_t recordProblems_ = 0;
};

void Walk::CheckHeader() {
  const TTableLayout& l = layout_;
  if (l.fields.empty()) {
    // A terminator right after the header is a table made without fields (some programs
    // write those); anything else lost its descriptors.
    if (l.terminatorFound && l.terminatorOffset == l.firstDescriptor)
      Note("Header",
           "no fields: the records hold nothing but their deletion flags (Tavlo opens "
           "tables of 1 to 255 fields)");
    else
      Add("Header", "no field descriptors");
  }
  if (!l.terminatorFound)
    Add("Header", "no field terminator (0x0D) after the field descriptors");
  else if (l.terminator != 0x0D)
    Note("Header", "the field terminator is " + Hex(l.terminator) +
                       ", not 0x0D: the file was probably copied as text, which may have changed "
                       "other bytes too");
  if (l.headerSize < l.neededHeaderSize)
    Add("Header", "header size " + std::to_string(l.headerSize) + ", the field descriptors need " +
                      std::to_string(l.neededHeaderSize));
  if (l.recordSize != l.neededRecordSize)
    Add("Header", "record size " + std::to_string(l.recordSize) + ", the fields need " +
                      std::to_string(l.neededRecordSize));
  for (const TLayoutField& field : l.fields) {
    const std::string type = Hex(static_cast<unsigned char>(field.typeLetter));
    if (!IsTypeLetter(field.typeLetter))
      Add("Field " + Escaped(field.name), "type " + type + " is no type letter");
    else if (!l.foreign && std::strchr("CNFLDM", field.typeLetter) == nullptr)
      Note("Field " + Escaped(field.name),
           "type " + type + " ('" + std::string(1, field.typeLetter) +
               "') is not one this check reads; its contents are not "
               "checked");
    if (field.length == 0) Add("Field " + Escaped(field.name), "length 0");
    if (field.typeLetter == 'C' && field.decimals != 0 && !l.WideDescriptors())
      Note("Field " + Escaped(field.name),
           "a character field with decimal count " + std::to_string(field.decimals) +
               ", which some programs read as " + std::to_string(field.decimals * 256) +
               " more bytes of length");
  }
  const std::int64_t physical = l.PhysicalCount();
  if (l.headerCount != physical)
    Add("Header", "record count " + std::to_string(l.headerCount) + ", the file holds " +
                      std::to_string(physical) + " whole records");
  const std::int64_t end = l.DataStart() + physical * l.UsableRecordSize();
  const std::int64_t rest = l.fileSize - end;
  std::uint8_t marker = 0;
  if (rest > 0) data_->ReadAt(end, &marker, 1);
  // The marker is no part of the data: many programs write none, and bytes after it (fewer
  // than a record) are nobody's. Only a byte in its place that is something else is damage.
  if (rest == 0) {
    Note("End of file", "no end-of-file marker (0x1A) after the last record");
  } else if (rest == 1 && marker != 0x1A) {
    Add("End of file",
        "the byte after the last record is " + Hex(marker) + ", not the end-of-file marker 0x1A");
  } else if (rest > 1) {
    if (marker == 0x1A)
      Note("End of file", std::to_string(rest - 1) + " bytes after the end-of-file marker");
    else
      Add("Record " + std::to_string(physical + 1), "cut off: " + std::to_string(rest) + " of " +
                                                        std::to_string(l.UsableRecordSize()) +
                                                        " bytes");
  }
}

void Walk::OpenMemo(Repair* repair) {
  if (!layout_.HasMemoFields()) return;
  report_.memoPath = MemoFileOf(path_);
  if (!Files().FileExists(report_.memoPath)) {
    Add("Memo file", "missing: " + report_.memoPath);
    memoMissing_ = true;
  } else {
    // The block size rules of the memo file: 512 at level 0, the header's field otherwise.
    memo_ = std::make_unique<TDbtFile>(report_.memoPath, layout_.level, OpenMode::ReadOnly);
    memoBlockSize_ = memo_->BlockSize();
    memoSize_ = memo_->Stream().Size();
    memoBlocks_ = (memoSize_ + memoBlockSize_ - 1) / memoBlockSize_;
    if (memoSize_ < memoBlockSize_)
      Add("Memo file", memoSize_ == 0
                           ? "empty: it has no header block"
                           : std::to_string(memoSize_) + " bytes, shorter than its header block (" +
                                 std::to_string(memoBlockSize_) + " bytes)");
    else
      CheckMemoHeader();
  }
  if (repair == nullptr) return;
  if (memo_ != nullptr) {
    repair->memo.resize(static_cast<std::size_t>(memoSize_));
    memo_->Stream().ReadAt(0, repair->memo.data(), repair->memo.size());
  }
  if (repair->memo.size() < static_cast<std::size_t>(memoBlockSize_)) {
    // A header block as a new table's memo file has it (next free block set at the end).
    repair->memo.resize(static_cast<std::size_t>(memoBlockSize_), '\0');
    repair->memo[20] = static_cast<char>(memoBlockSize_ & 0xFF);
    repair->memo[21] = static_cast<char>(memoBlockSize_ >> 8);
    repair->actions.push_back(memoMissing_ ? "Memo file: made new (the original is missing)"
                                           : "Memo file: header block written");
  }
}

void Walk::CheckMemoHeader() {
  std::uint8_t head[4] = {};
  memo_->Stream().ReadAt(0, head, 4);
  const std::uint32_t next = Get32(head);
  const std::int64_t expected = std::max<std::int64_t>(memoBlocks_, 1);
  if (next != expected)
    Add("Memo file", "next free block " + std::to_string(next) + ", the file's blocks end at " +
                         std::to_string(expected));
}

// The copy's memo header gets the next free block where its blocks end (copied memos
// included).
void Walk::FinishMemo(Repair& repair) {
  if (!layout_.HasMemoFields()) return;
  const std::int64_t blocks =
      (static_cast<std::int64_t>(repair.memo.size()) + memoBlockSize_ - 1) / memoBlockSize_;
  const std::uint32_t next = static_cast<std::uint32_t>(std::max<std::int64_t>(blocks, 1));
  const std::uint32_t stored = Get32(reinterpret_cast<const std::uint8_t*>(repair.memo.data()));
  if (stored == next) return;
  Put32(repair.memo.data(), next);
  if (memo_ != nullptr && memoSize_ >= memoBlockSize_)
    repair.actions.push_back("Memo file: next free block set to " + std::to_string(next));
}

std::string Walk::CheckMemoPointer(std::int64_t number, const TLayoutField& field,
                                   std::uint8_t* bytes, int length, const std::string& text,
                                   Repair* repair, bool& silent) {
  std::int64_t block = 0;
  if (!ParsesAsBlock(text, block)) return Quoted(text) + " is not a memo block number";
  if (block == 0) return "";
  if (memoMissing_) {
    // Said once for the memo file; the copy cannot keep a pointer to nothing.
    silent = true;
    return "memo block " + std::to_string(block) + ": the memo file is missing";
  }
  if (block >= memoBlocks_)
    return "memo block " + std::to_string(block) + " lies past the end of the memo file (" +
           std::to_string(memoBlocks_) + " blocks)";
  auto [owner, inserted] = memoOwners_.emplace(block, number);
  if (inserted) return "";
  const std::string place = "Record " + std::to_string(number) + ", field " + Escaped(field.name);
  AddRecordProblem(place, "memo block " + std::to_string(block) + " is also used by record " +
                              std::to_string(owner->second));
  if (repair == nullptr) return "";
  // Each record gets a memo of its own, so that changing one never changes the other.
  std::string& memo = repair->memo;
  const std::int64_t size = static_cast<std::int64_t>(memo.size());
  const std::int64_t copy = (size + memoBlockSize_ - 1) / memoBlockSize_;
  const std::string digits = std::to_string(copy);
  if (static_cast<int>(digits.size()) > length) {
    // The memo stays in the copy for the earlier record; this pointer goes to the rejects.
    silent = true;
    return "memo block " + std::to_string(block) + " is also used by record " +
           std::to_string(owner->second) + ", and a block of its own would not fit the field";
  }
  memo.resize(static_cast<std::size_t>(copy * memoBlockSize_), '\0');
  const std::string shared = memo_->LoadMemoText(static_cast<std::int32_t>(block));
  if (layout_.level == 0) {
    memo += shared;
    memo += "\x1A\x1A";
  } else {
    char head[8] = {'\xFF', '\xFF', '\x08', '\x00'};
    Put32(head + 4, static_cast<std::uint32_t>(shared.size() + 8));
    memo.append(head, 8);
    memo += shared;
  }
  std::memset(bytes, ' ', static_cast<std::size_t>(length));
  std::memcpy(bytes + length - static_cast<int>(digits.size()), digits.data(), digits.size());
  repair->RecordAction(place + ": memo block " + std::to_string(block) + ", shared with record " +
                       std::to_string(owner->second) + ", copied to block " + digits);
  return "";
}

void Walk::CheckRecord(std::int64_t number, std::uint8_t* record, Repair* repair) {
  const std::string place = "Record " + std::to_string(number);
  switch (RecordFlagOf(record[0])) {
    case RecordFlag::Deleted:
      ++report_.deleted;
      break;
    case RecordFlag::Damaged:
      ++report_.damagedFlags;
      AddRecordProblem(place, "deletion flag " + Hex(record[0]) +
                                  " is neither blank nor '*'; the record is read as live");
      if (repair != nullptr) {
        repair->RecordAction(place + ": deletion flag " + Hex(record[0]) +
                             " set to blank (the record stays live)");
        record[0] = kLiveFlag;
      }
      break;
    case RecordFlag::Live:
      break;
  }
  const int size = layout_.UsableRecordSize();
  for (const TLayoutField& field : layout_.fields) {
    // A field the record size cuts off holds what the record holds of it, as the cursor reads
    // it (the copy fills the rest with blanks).
    if (field.length == 0) continue;
    const int available = std::min(field.length, size - field.offset);
    if (available <= 0) break;
    std::uint8_t* bytes = record + field.offset;
    const std::string text = Trimmed(bytes, available);
    const std::string fieldPlace = place + ", field " + Escaped(field.name);
    std::string problem;
    bool silent = false;  // a problem already said for the whole table
    switch (field.typeLetter) {
      case 'N':
      case 'F':
        if (!text.empty() && !ParsesAsNumber(text)) problem = Quoted(text) + " is not a number";
        break;
      case 'D':
        if (!ParsesAsDate(text)) problem = Quoted(text) + " is not a date";
        break;
      case 'L':
        if (!ParsesAsLogical(text)) problem = Quoted(text) + " is not a logical value";
        break;
      case 'M':
        problem = CheckMemoPointer(number, field, bytes, available, text, repair, silent);
        break;
      default:
        continue;  // character fields and letters the check does not read hold any bytes
    }
    if (!problem.empty() && !silent) AddRecordProblem(fieldPlace, problem);
    if (repair == nullptr) continue;
    const std::size_t length = static_cast<std::size_t>(available);
    if (!problem.empty()) {
      repair->rejects.Add(std::to_string(number), field.name,
                          std::string(reinterpret_cast<const char*>(bytes), length), problem);
      std::memset(bytes, ' ', length);
      repair->RecordAction(fieldPlace + ": blanked (its bytes are in the rejects)");
    } else if (std::memchr(bytes, 0, length) != nullptr) {
      // Padding of NUL bytes reads as spaces here but makes other programs refuse the value.
      std::replace(bytes, bytes + length, std::uint8_t{0}, std::uint8_t{' '});
      ++repair->nulPadded;
    }
  }
}

// What the copy leaves out at the end of the data: a cut-off record, bytes after the marker.
void Walk::RejectTail(Repair& repair, std::int64_t count) {
  const std::int64_t end = layout_.DataStart() + count * layout_.UsableRecordSize();
  const std::int64_t rest = layout_.fileSize - end;
  if (rest <= 1) return;
  std::string tail(static_cast<std::size_t>(rest), '\0');
  data_->ReadAt(end, tail.data(), tail.size());
  if (tail[0] == '\x1A') {
    repair.rejects.Add("", "", tail.substr(1), "after the end-of-file marker");
    repair.actions.push_back("End of file: the " + std::to_string(rest - 1) +
                             " bytes after the end-of-file marker are left out (kept in the "
                             "rejects)");
  } else {
    repair.rejects.Add(std::to_string(count + 1), "", tail, "cut-off last record");
    repair.actions.push_back("Record " + std::to_string(count + 1) +
                             ": the cut-off last record is left out (kept in the rejects)");
  }
}

void Walk::WriteHeader(Repair& repair) {
  const TTableLayout& l = layout_;
  if (l.neededRecordSize > 0xFFFF)
    throw EDatabaseError("The fields need records of " + std::to_string(l.neededRecordSize) +
                         " bytes, more than a header can hold; the table cannot be repaired");
  std::string stored(static_cast<std::size_t>(l.DataStart()), '\0');
  data_->ReadAt(0, stored.data(), stored.size());
  // The header as the copy needs it: the descriptors (each field that holds bytes, with a
  // type and length every program reads alike), a proper terminator, and the bytes other
  // programs keep after a terminator that was there.
  const std::size_t first = static_cast<std::size_t>(l.firstDescriptor);
  const std::size_t length = static_cast<std::size_t>(l.descriptorLength);
  std::string header = stored.substr(0, first);
  for (std::size_t i = 0; i < l.fields.size(); ++i) {
    const TLayoutField& field = l.fields[i];
    std::string descriptor = stored.substr(first + i * length, length);
    const std::string place = "Field " + Escaped(field.name);
    if (field.length == 0) {
      repair.actions.push_back(place + ": of length 0, it holds nothing; left out of the copy");
      continue;
    }
    if (!IsTypeLetter(field.typeLetter)) {
      // The cursor reads such a field as characters; so will every other program now. Its
      // decimal count goes, or it would count as more length of a character field.
      descriptor[l.WideDescriptors() ? 32 : 11] = 'C';
      descriptor[l.WideDescriptors() ? 34 : 17] = 0;
      repair.actions.push_back(place + ": type " +
                               Hex(static_cast<unsigned char>(field.typeLetter)) +
                               " set to 'C' (its bytes are kept as characters)");
    } else if (field.typeLetter == 'C' && field.decimals != 0 && !l.WideDescriptors()) {
      descriptor[17] = 0;
      repair.actions.push_back(place + ": decimal count set to 0");
    }
    header += descriptor;
  }
  header += '\x0D';
  if (!l.terminatorFound) {
    repair.actions.push_back("Header: field terminator written");
  } else {
    if (l.terminator != 0x0D)
      repair.actions.push_back("Header: field terminator " + Hex(l.terminator) +
                               " written as 0x0D");
    header += stored.substr(static_cast<std::size_t>(l.terminatorOffset) + 1);
  }
  const std::int64_t headerSize = static_cast<std::int64_t>(header.size());
  if (headerSize > 0xFFFF) throw EDatabaseError("The header is too large to repair");
  int year, month, day;
  DecodeDate(LocalNow(), year, month, day);
  header[1] = static_cast<char>(year - 1900);
  header[2] = static_cast<char>(month);
  header[3] = static_cast<char>(day);
  const std::uint32_t count = static_cast<std::uint32_t>(repair.written);
  Put32(&header[4], count);
  header[8] = static_cast<char>(headerSize & 0xFF);
  header[9] = static_cast<char>(headerSize >> 8);
  header[10] = static_cast<char>(l.neededRecordSize & 0xFF);
  header[11] = static_cast<char>(l.neededRecordSize >> 8);
  if (l.headerCount != count)
    repair.actions.push_back("Header: record count set to " + std::to_string(count));
  if (l.headerSize != headerSize)
    repair.actions.push_back("Header: header size set to " + std::to_string(headerSize));
  if (l.recordSize != l.neededRecordSize)
    repair.actions.push_back("Header: record size set to " + std::to_string(l.neededRecordSize));
  repair.data.insert(0, header);
}

void Walk::Run(Repair* repair) {
  data_ = Files().Open(path_, OpenMode::ReadOnly);
  if (!ReadTableLayout(*data_, layout_)) {
    Add("Header", "the file is shorter than the 32-byte header (" +
                      std::to_string(layout_.fileSize) + " bytes)");
    if (repair != nullptr) throw EDatabaseError("The table has no header to repair");
    return;
  }
  if (layout_.dBase2) {
    Note("Table", "a dBase II table: its layout is not checked");
    if (repair != nullptr)
      throw EDatabaseError(
          "Only dBase III and IV tables can be repaired; this is a dBase II "
          "table");
    report_.records = layout_.dBase2Count;
    return;
  }
  if (layout_.foreign) {
    // Header sizes, counts and the end marker mean the same in every family; fields and memos
    // do not.
    CheckHeader();
    Note("Table", std::string("a ") + (layout_.dBase7 ? "dBase 7" : "FoxPro") +
                      " table: its records and memo file are not checked field by field");
    if (repair != nullptr)
      throw EDatabaseError(
          "Only dBase III and IV tables can be repaired; this is a FoxPro or "
          "dBase 7 table");
    report_.records = layout_.PhysicalCount();
    return;
  }
  CheckHeader();
  if (layout_.fields.empty()) {
    if (repair != nullptr) throw EDatabaseError("The table has no field descriptors to repair");
    return;
  }
  // Records of nothing but a flag cannot even be told from the end marker.
  if (repair != nullptr && layout_.neededRecordSize <= 1)
    throw EDatabaseError("No field of the table holds data; there is nothing to repair");
  OpenMemo(repair);

  const int size = layout_.UsableRecordSize();
  const std::int64_t count = layout_.PhysicalCount();
  report_.records = count;
  const int copied = std::min(size, layout_.neededRecordSize);
  // Records are read in runs so that a large table costs a few hundred reads, not millions.
  const std::int64_t perRun = std::max<std::int64_t>(1, (1 << 20) / size);
  std::vector<std::uint8_t> run(static_cast<std::size_t>(perRun * size));
  std::string out(static_cast<std::size_t>(layout_.neededRecordSize), ' ');
  for (std::int64_t first = 0; first < count; first += perRun) {
    const std::int64_t n = std::min(perRun, count - first);
    const std::size_t bytes = static_cast<std::size_t>(n * size);
    if (data_->ReadAt(layout_.DataStart() + first * size, run.data(), bytes) < bytes)
      throw EReadError();
    for (std::int64_t i = 0; i < n; ++i) {
      std::uint8_t* record = &run[static_cast<std::size_t>(i * size)];
      CheckRecord(first + i + 1, record, repair);
      if (repair == nullptr) continue;
      std::memcpy(out.data(), record, static_cast<std::size_t>(copied));
      repair->data += out;
      ++repair->written;
      // Bytes a too-large record size holds beyond the fields are no field's: kept aside.
      if (size > copied && Trimmed(record + copied, size - copied) != "")
        repair->rejects.Add(std::to_string(first + i + 1), "",
                            std::string(reinterpret_cast<const char*>(record + copied),
                                        static_cast<std::size_t>(size - copied)),
                            "bytes beyond the fields");
    }
  }
  if (repair == nullptr) return;
  if (repair->nulPadded > 0)
    repair->actions.push_back(std::to_string(repair->nulPadded) +
                              " values padded with NUL bytes written with spaces");
  RejectTail(*repair, count);
  FinishMemo(*repair);
  repair->data += '\x1A';
  WriteHeader(*repair);
}

}  // namespace

std::string EscapedReportBytes(const std::string& bytes) {
  std::string text;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
      text += escape;
    } else {
      text += c;
    }
  }
  return text;
}

std::string MemoFileOf(const std::string& tablePath) {
  const std::string found = FindCompanionFile(tablePath, ".dbt");
  return found.empty() ? ChangeFileExt(tablePath, ".dbt") : found;
}

std::string TTableReport::Text() const {
  std::string text;
  for (const TTableProblem& problem : problems) text += problem.place + ": " + problem.text + "\n";
  if (unlistedProblems > 0)
    text += "... and " + std::to_string(unlistedProblems) + " more problems in records\n";
  for (const TTableProblem& note : notes) text += "Note: " + note.place + ": " + note.text + "\n";
  const std::int64_t total = static_cast<std::int64_t>(problems.size()) + unlistedProblems;
  text += std::to_string(records) + " records (" + std::to_string(deleted) + " deleted";
  if (damagedFlags > 0)
    text += ", " + std::to_string(damagedFlags) + " with a damaged deletion flag read as live";
  text += "); ";
  text += total == 0 ? std::string("no problems found")
                     : std::to_string(total) + (total == 1 ? " problem found" : " problems found");
  text += "\n";
  return text;
}

std::string TRepairResult::Text() const {
  // The check's closing line ends its part: what the copy does follows after a blank line.
  std::string text = report.Text() + "\nThe repaired copy:\n";
  for (const std::string& action : actions) text += action + "\n";
  if (unlistedActions > 0)
    text += "... and " + std::to_string(unlistedActions) + " more changes in records\n";
  text += std::to_string(recordsWritten) + " records written to " + outputPath;
  if (!memoPath.empty()) text += "; memo file " + memoPath;
  text += "\n";
  if (rejected > 0)
    text += std::to_string(rejected) + (rejected == 1 ? " value" : " values") +
            " left out of the copy, with their stored bytes: " + rejectsPath + "\n";
  return text;
}

namespace {

// The index files of the table at path checked through a read-only cursor, which attaches
// them as an open does; a table without any is not opened at all.
void CheckIndexFiles(const std::string& path, const std::vector<std::string>& indexFiles,
                     TTableReport& report) {
  if (indexFiles.empty() && FindCompanionFile(path, ".cdx").empty() &&
      FindCompanionFile(path, ".mdx").empty())
    return;
  TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.SetIndexFiles(indexFiles);
  try {
    table.Open();
  } catch (const Exception& failure) {
    report.notes.push_back(
        {"Index files",
         std::string("not checked: the table cannot be opened (") + failure.what() + ")"});
    return;
  }
  CheckIndexKeys(*table.DbfFile(), table.Indexes(), report);
  table.Close();
}

}  // namespace

TTableReport CheckTable(const std::string& path, const std::vector<std::string>& indexFiles) {
  // Reads the files itself rather than through an open, so it finishes a killed pack as an
  // open does: otherwise the table it reports on would be the one half moved.
  FinishInterruptedPack(path);
  if (!Files().FileExists(path)) throw EFOpenError::ForPath(path);
  TTableReport report;
  Walk(path, report).Run(nullptr);
  CheckIndexFiles(path, indexFiles, report);
  return report;
}

TRepairResult RepairTable(const std::string& path, const std::string& outputPath) {
  FinishInterruptedPack(path);
  if (!Files().FileExists(path)) throw EFOpenError::ForPath(path);
  TRepairFiles files(outputPath);
  // A repair into this name that was killed is finished or undone first.
  if (RecoverCommit(RepairMarkPath(files.data)).outcome == TRecovery::Busy)
    throw EDatabaseError("A repair into " + files.data + " is under way");
  files.RefuseExisting(files.data);
  TRepairResult result;
  Walk::Repair repair;
  Walk(path, result.report).Run(&repair);
  result.actions = std::move(repair.actions);
  result.unlistedActions = repair.unlistedActions;
  result.recordsWritten = repair.written;
  result.rejected = repair.rejects.Count();
  result.outputPath = files.data;
  if (!result.report.memoPath.empty()) result.memoPath = files.memo;
  if (result.rejected > 0) result.rejectsPath = files.rejects;
  files.Write(repair.data, result.memoPath.empty() ? nullptr : &repair.memo,
              result.rejected > 0 ? &repair.rejects.Text() : nullptr);
  return result;
}

}  // namespace tavlo
