// The table doctor: the checks of a data file and its memo file, and the repaired copy.
//
// Both walk the same way: the layout from the raw header, then every whole record located by
// the header's record size from the data start, then the memo file. What the walk finds is a
// list of problems; the repair builds the new files in memory from the same walk and writes
// each in one piece, so nothing is ever written into the table's own files.
#include "dbf/tabledoctor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "dbf/commitmark.h"
#include "dbf/dbferrors.h"
#include "dbf/memofile.h"
#include "dbf/tablefiles.h"
#include "dbf/tablelayout.h"
#include "dbf/tablepack.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/clock.h"
#include "platform/regional.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

std::string Hex(unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "0x%02X", value & 0xFFu);
  return buffer;
}

std::string Trimmed(const std::uint8_t* bytes, int length) {
  int begin = 0;
  int end = length;
  while (begin < end && (bytes[begin] == ' ' || bytes[begin] == 0)) ++begin;
  while (end > begin && (bytes[end - 1] == ' ' || bytes[end - 1] == 0)) --end;
  return std::string(reinterpret_cast<const char*>(bytes + begin),
                     static_cast<std::size_t>(end - begin));
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A number as dBase programs store it: sign, digits, a point, digits, and for F fields an
// exponent. A comma is taken as the point (some programs write the regional one).
bool ParsesAsNumber(const std::string& text, bool allowExponent) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) ++i, digits = true;
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    ++i;
    while (i < text.size() && IsDigit(text[i])) ++i, digits = true;
  }
  if (!digits) return false;
  if (allowExponent && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
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

// One whole walk over the table; the repair passes an output to fill.
class Walk {
 public:
  Walk(const std::string& path, TTableReport& report) : path_(path), report_(report) {}

  // Records and memos are fed to repair when it is given.
  struct Repair {
    std::string data;
    std::string memo;
    std::vector<std::string> actions;
    std::int64_t written = 0;
  };

  void Run(Repair* repair);

 private:
  void Add(const std::string& place, const std::string& text) {
    report_.problems.push_back({place, text});
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
  void OpenMemo();
  void CheckRecord(std::int64_t number, std::uint8_t* record, Repair* repair);
  void CheckMemoHeader(Repair* repair);
  void WriteHeader(Repair& repair);

  std::string path_;
  TTableReport& report_;
  std::unique_ptr<ByteStream> data_;
  TTableLayout layout_;
  std::unique_ptr<ByteStream> memo_;
  std::int64_t memoBlocks_ = 0;
  int memoBlockSize_ = 512;
  std::map<std::int64_t, std::int64_t> memoOwners_;  // block -> first record using it
  std::int64_t recordProblems_ = 0;
};

void Walk::CheckHeader() {
  const TTableLayout& l = layout_;
  if (l.fields.empty())
    Add("Header", "no field descriptors");
  if (!l.terminatorFound)
    Add("Header", "no field terminator (0x0D) after the field descriptors");
  if (l.headerSize < l.neededHeaderSize)
    Add("Header", "header size " + std::to_string(l.headerSize) + ", the field descriptors need " +
                      std::to_string(l.neededHeaderSize));
  if (l.recordSize != l.neededRecordSize)
    Add("Header", "record size " + std::to_string(l.recordSize) + ", the fields need " +
                      std::to_string(l.neededRecordSize));
  for (const TLayoutField& field : l.fields) {
    if (!l.foreign && (std::strchr("CNFLDM", field.typeLetter) == nullptr || field.typeLetter == 0))
      Add("Field " + field.name, "type " + Hex(static_cast<unsigned char>(field.typeLetter)) +
                                     " ('" + std::string(1, field.typeLetter) +
                                     "') is not one this check reads; its contents are not checked");
    if (field.length == 0) Add("Field " + field.name, "length 0");
  }
  const std::int64_t physical = l.PhysicalCount();
  if (l.headerCount != physical)
    Add("Header", "record count " + std::to_string(l.headerCount) + ", the file holds " +
                      std::to_string(physical) + " whole records");
  const std::int64_t end = l.DataStart() + physical * l.UsableRecordSize();
  const std::int64_t rest = l.fileSize - end;
  std::uint8_t marker = 0;
  if (rest > 0) data_->ReadAt(end, &marker, 1);
  if (rest == 0) {
    Add("End of file", "no end-of-file marker (0x1A) after the last record");
  } else if (rest == 1 && marker != 0x1A) {
    Add("End of file", "the byte after the last record is " + Hex(marker) +
                           ", not the end-of-file marker 0x1A");
  } else if (rest > 1) {
    if (marker == 0x1A)
      Add("End of file", std::to_string(rest - 1) + " bytes after the end-of-file marker");
    else
      Add("Record " + std::to_string(physical + 1),
          "cut off: " + std::to_string(rest) + " of " + std::to_string(l.UsableRecordSize()) +
              " bytes");
  }
}

void Walk::OpenMemo() {
  if (!layout_.HasMemoFields()) return;
  report_.memoPath = MemoFileOf(path_);
  if (!Files().FileExists(report_.memoPath)) {
    Add("Memo file", "missing: " + report_.memoPath);
    return;
  }
  memo_ = Files().Open(report_.memoPath, OpenMode::ReadOnly);
  // The block size rules of the memo file: 512 at level 0, the header's field otherwise.
  TDbtFile probe(report_.memoPath, layout_.level, OpenMode::ReadOnly);
  memoBlockSize_ = probe.BlockSize();
  const std::int64_t size = memo_->Size();
  memoBlocks_ = (size + memoBlockSize_ - 1) / memoBlockSize_;
}

void Walk::CheckMemoHeader(Repair* repair) {
  if (memo_ == nullptr) return;
  std::uint8_t head[4] = {};
  memo_->ReadAt(0, head, 4);
  const std::uint32_t next = static_cast<std::uint32_t>(head[0]) | head[1] << 8 | head[2] << 16 |
                             static_cast<std::uint32_t>(head[3]) << 24;
  const std::int64_t expected = std::max<std::int64_t>(memoBlocks_, 1);
  if (next != expected) {
    Add("Memo file", "next free block " + std::to_string(next) + ", the file's blocks end at " +
                         std::to_string(expected));
    if (repair != nullptr) {
      for (int i = 0; i < 4; ++i)
        repair->memo[static_cast<std::size_t>(i)] = static_cast<char>(expected >> (8 * i));
      repair->actions.push_back("Memo file: next free block set to " + std::to_string(expected));
    }
  }
}

void Walk::CheckRecord(std::int64_t number, std::uint8_t* record, Repair* repair) {
  const std::string place = "Record " + std::to_string(number);
  const std::uint8_t flag = record[0];
  if (flag == '*') {
    ++report_.deleted;
  } else if (flag != ' ') {
    AddRecordProblem(place, "deletion flag " + Hex(flag) + ", not blank or '*'");
    if (repair != nullptr) {
      record[0] = ' ';
      repair->actions.push_back(place + ": deletion flag set to blank (the record is live)");
    }
  }
  const int size = layout_.UsableRecordSize();
  for (const TLayoutField& field : layout_.fields) {
    if (field.offset + field.length > size) break;  // the record size cuts it off
    const std::string text = Trimmed(record + field.offset, field.length);
    const std::string fieldPlace = place + ", field " + field.name;
    switch (field.typeLetter) {
      case 'N':
      case 'F':
        if (!text.empty() && !ParsesAsNumber(text, field.typeLetter == 'F'))
          AddRecordProblem(fieldPlace, "'" + text + "' is not a number");
        break;
      case 'D':
        if (!ParsesAsDate(text)) AddRecordProblem(fieldPlace, "'" + text + "' is not a date");
        break;
      case 'L':
        if (!ParsesAsLogical(text))
          AddRecordProblem(fieldPlace, "'" + text + "' is not a logical value");
        break;
      case 'M': {
        std::int64_t block = 0;
        if (!ParsesAsBlock(text, block)) {
          AddRecordProblem(fieldPlace, "'" + text + "' is not a memo block number");
          break;
        }
        if (block == 0 || memo_ == nullptr) break;
        if (block >= memoBlocks_) {
          AddRecordProblem(fieldPlace, "memo block " + std::to_string(block) +
                                           " lies past the end of the memo file (" +
                                           std::to_string(memoBlocks_) + " blocks)");
          if (repair != nullptr) {
            std::memset(record + field.offset, ' ', static_cast<std::size_t>(field.length));
            repair->actions.push_back(fieldPlace + ": memo pointer " + std::to_string(block) +
                                      " cleared");
          }
          break;
        }
        auto [owner, inserted] = memoOwners_.emplace(block, number);
        if (!inserted)
          AddRecordProblem(fieldPlace, "memo block " + std::to_string(block) +
                                           " is also used by record " +
                                           std::to_string(owner->second));
        break;
      }
      default:
        break;
    }
  }
}

void Walk::WriteHeader(Repair& repair) {
  const TTableLayout& l = layout_;
  std::string header(static_cast<std::size_t>(l.DataStart()), '\0');
  data_->ReadAt(0, header.data(), header.size());
  // The header area as the copy needs it: the stored one when it holds the descriptors and
  // the terminator (bytes other programs keep after it survive), else just what is needed.
  std::int64_t headerSize = l.DataStart();
  if (!l.terminatorFound) {
    headerSize = l.firstDescriptor +
                 static_cast<std::int64_t>(l.fields.size()) * l.descriptorLength + 1;
    header.resize(static_cast<std::size_t>(headerSize), '\0');
    header[static_cast<std::size_t>(headerSize - 1)] = 0x0D;
    repair.actions.push_back("Header: field terminator written");
  }
  if (headerSize > 0xFFFF) throw EDatabaseError("The header is too large to repair");
  int year, month, day;
  DecodeDate(LocalNow(), year, month, day);
  header[1] = static_cast<char>(year - 1900);
  header[2] = static_cast<char>(month);
  header[3] = static_cast<char>(day);
  const std::uint32_t count = static_cast<std::uint32_t>(repair.written);
  for (int i = 0; i < 4; ++i) header[4 + static_cast<std::size_t>(i)] = static_cast<char>(count >> (8 * i));
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
  if (layout_.foreign) {
    // Header sizes, counts and the end marker mean the same in every family; fields and memos
    // do not.
    CheckHeader();
    Add("Table", "a FoxPro or dBase 7 table: its records and memo file are not checked field by "
                 "field");
    if (repair != nullptr)
      throw EDatabaseError("Only dBase III and IV tables can be repaired; this is a FoxPro or "
                           "dBase 7 table");
    report_.records = layout_.PhysicalCount();
    return;
  }
  CheckHeader();
  if (layout_.fields.empty()) {
    if (repair != nullptr) throw EDatabaseError("The table has no field descriptors to repair");
    return;
  }
  OpenMemo();
  if (repair != nullptr && memo_ != nullptr) {
    repair->memo.resize(static_cast<std::size_t>(memo_->Size()));
    memo_->ReadAt(0, repair->memo.data(), repair->memo.size());
  }
  CheckMemoHeader(repair);

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
      if (repair != nullptr) {
        std::memcpy(out.data(), record, static_cast<std::size_t>(copied));
        repair->data += out;
        ++repair->written;
      }
    }
  }
  if (repair == nullptr) return;
  if (layout_.fileSize > layout_.DataStart() + count * size + 1) {
    std::uint8_t marker = 0;
    data_->ReadAt(layout_.DataStart() + count * size, &marker, 1);
    if (marker != 0x1A) repair->actions.push_back("The cut-off last record is dropped");
  }
  repair->data += '\x1A';
  WriteHeader(*repair);
}

}  // namespace

std::string MemoFileOf(const std::string& tablePath) {
  const std::string found = FindCompanionFile(tablePath, ".dbt");
  return found.empty() ? ChangeFileExt(tablePath, ".dbt") : found;
}

std::string TTableReport::Text() const {
  std::string text;
  for (const TTableProblem& problem : problems) text += problem.place + ": " + problem.text + "\n";
  if (unlistedProblems > 0)
    text += "... and " + std::to_string(unlistedProblems) + " more problems in records\n";
  const std::int64_t total = static_cast<std::int64_t>(problems.size()) + unlistedProblems;
  text += std::to_string(records) + " records (" + std::to_string(deleted) + " deleted); ";
  text += total == 0 ? std::string("no problems found") :
                       std::to_string(total) + (total == 1 ? " problem found" : " problems found");
  text += "\n";
  return text;
}

std::string TRepairResult::Text() const {
  std::string text = report.Text();
  for (const std::string& action : actions) text += action + "\n";
  text += std::to_string(recordsWritten) + " records written";
  if (!memoPath.empty()) text += "; memo file " + memoPath;
  text += "\n";
  return text;
}

TTableReport CheckTable(const std::string& path) {
  if (!Files().FileExists(path)) throw EFOpenError::ForPath(path);
  TTableReport report;
  Walk(path, report).Run(nullptr);
  return report;
}

TRepairResult RepairTable(const std::string& path, const std::string& outputPath) {
  if (!Files().FileExists(path)) throw EFOpenError::ForPath(path);
  if (outputPath.empty() || ExtractFileName(outputPath).empty())
    throw EDatabaseError("The repaired copy needs a file name");
  // A repair into this name that was killed is finished or undone first.
  if (RecoverCommit(RepairMarkPath(outputPath)).outcome == TRecovery::Busy)
    throw EDatabaseError("A repair into " + outputPath + " is under way");
  if (outputPath == path || Files().FileExists(outputPath))
    throw EDatabaseError(outputPath + " already exists; the repaired copy must be a new file");
  TRepairResult result;
  Walk::Repair repair;
  Walk(path, result.report).Run(&repair);
  result.actions = std::move(repair.actions);
  result.recordsWritten = repair.written;
  // The memo file first: a data file is never left pointing into a memo file not written.
  std::vector<TNewFile> copy;
  if (!result.report.memoPath.empty() && Files().FileExists(result.report.memoPath)) {
    result.memoPath = ChangeFileExt(outputPath, ".dbt");
    if (Files().FileExists(result.memoPath))
      throw EDatabaseError(result.memoPath + " already exists; the repaired copy must be a new file");
    copy.push_back({result.memoPath, std::move(repair.memo)});
  }
  copy.push_back({outputPath, std::move(repair.data)});
  PutNewFiles(RepairMarkPath(outputPath), "repair", copy);
  return result;
}

}  // namespace tavlo
