// The table cursor: file attachment, the fetch loop with its deleted-record and filter tests,
// posting and deleting, field access and memo streams. Table creation is in tablecreate.cpp.
#include "dbf/tdbf.h"

#include <unistd.h>
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "dbf/fieldcodec.h"
#include "dbf/fieldconvert.h"
#include "dbf/fields.h"
#include "dbf/fptfile.h"
#include "dbf/indexfile.h"
#include "dbf/tablefiles.h"
#include "dbf/tablepack.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"
#include "platform/textcodec.h"

namespace tavlo {

namespace {

bool IsWindowsStyleAbsolute(const std::string& path) {
  return !path.empty() && (path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

bool IsAbsolutePath(const std::string& path) {
  return !path.empty() && (path[0] == '/' || IsWindowsStyleAbsolute(path));
}

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

std::string TrimBlanks(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(begin, end - begin);
}

// A full path with "." and ".." segments resolved. Windows-style paths are left as they are:
// this system cannot resolve them against a drive.
std::string ExpandPath(const std::string& path) {
  if (path.empty() || IsWindowsStyleAbsolute(path)) return path;
  std::string full = path;
  if (full[0] != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) full = std::string(cwd) + "/" + full;
  }
  bool trailing = full.back() == '/';
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= full.size()) {
    std::size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    std::string segment = full.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      trailing = end == full.size() ? false : trailing;
    } else if (segment == ".") {
      trailing = end == full.size() ? false : trailing;
    } else if (!segment.empty()) {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& segment : segments) result += "/" + segment;
  if (result.empty()) return "/";
  if (trailing) result += "/";
  return result;
}

template <typename File>
File* LookupFile(const std::string& path) {
  TPagedFile* found = TPagedFile::Lookup(path);
  if (found == nullptr) return nullptr;
  File* file = dynamic_cast<File*>(found);
  if (file == nullptr) {
    TPagedFile::Release(found);
    throw EFOpenError::ForPath(path);
  }
  return file;
}

// A damaged header may give record size 0; a buffer still holds the deletion flag byte that
// posting, deleting and the deleted-record test set and read.
std::size_t BufferSizeFor(const TDbfFile* file) {
  const std::size_t recordSize = file != nullptr ? static_cast<std::size_t>(file->RecordSize()) : 0;
  return TDbf::kRecordOffset + (recordSize == 0 ? 1 : recordSize);
}

std::uint8_t* RecordBytes(TRecordBuffer& buffer) {
  return reinterpret_cast<std::uint8_t*>(buffer.data() + TDbf::kRecordOffset);
}

// Memo and binary memo fields: their value lives in the memo file.
bool IsMemoType(TFieldType type) {
  return type == TFieldType::ftMemo || type == TFieldType::ftBlob;
}

bool IsEditingState(TDataSetState state) {
  return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
}

}  // namespace

TDbf::TDbf() = default;

TDbf::~TDbf() noexcept {
  try {
    Close();
  } catch (...) {
    // A header that cannot be written back on destruction has nowhere to be reported.
  }
}

void TDbf::SetTableName(const std::string& name) {
  CheckInactive();
  tableName_ = name;
}

void TDbf::SetRunTimePath(const std::string& path) {
  CheckInactive();
  runTimePath_ = path;
}

void TDbf::SetCodePage(int page) {
  if (page != 0 && !CodePageAvailable(page)) {
    throw Exception("Code page " + std::to_string(page) + " is not available");
  }
  codePage_ = page;
  if (dbfFile_ != nullptr) {
    ApplyCodePage(*dbfFile_, DataFilePath());
    // Texts now read differently: the order is built again on what the user sees.
    if (Ordered()) {
      order_.Build(*dbfFile_, std::vector<int>(order_.FieldIndexes()), order_.Descending());
      ++orderVersion_;
      currentIndex_ = HasRecord() ? PositionOf(GetBookmarkData(ActiveBuffer())) : -1;
    }
  }
}

void TDbf::ApplyCodePage(TDbfFile& data, const std::string& dataPath) const {
  ApplyTableCodePage(data, dataPath, codePage_);
}

void ApplyTableCodePage(TDbfFile& data, const std::string& dataPath, int chosenPage) {
  if (chosenPage != 0) {
    data.SetCodePage(chosenPage, CodePageSource::Chosen);
    return;
  }
  data.SetCodePage(0, CodePageSource::LanguageByte);
  // A .cpg file beside the table names its page and wins over the language byte.
  const std::string cpgPath = FindCompanionFile(dataPath, ".cpg");
  if (cpgPath.empty()) return;
  std::string text(64, '\0');
  try {
    auto stream = Files().Open(cpgPath, OpenMode::ReadOnly);
    text.resize(stream->ReadAt(0, text.data(), text.size()));
  } catch (const Exception&) {
    return;  // a .cpg that cannot be read names nothing
  }
  if (int page = CodePageOfCpgText(text)) data.SetCodePage(page, CodePageSource::CpgFile);
}

void TDbf::SetReadOnly(bool readOnly) {
  CheckInactive();
  readOnly_ = readOnly;
}

std::string TDbf::ResolveTableFolder() const {
  std::string folder = runTimePath_;
  if (!IsAbsolutePath(TrimBlanks(folder))) folder = ExecutableFolder() + folder;
  folder = ExpandPath(TrimBlanks(folder));
  if (!folder.empty() && !IsSeparator(folder.back())) {
    folder += IsWindowsStyleAbsolute(folder) ? '\\' : kPathSeparator;
  }
  return folder;
}

std::string TDbf::DataFilePath() const {
  std::string tablePath =
      IsAbsolutePath(tableName_) ? tableName_ : ResolveTableFolder() + tableName_;
  return ResolveDataFilePath(tablePath);
}

void TDbf::AttachFiles(bool create) {
  assert(!filesAttached_);
  const std::string dataPath = DataFilePath();
  // A pack that a crash interrupted is finished (or undone) before anything is read.
  if (!create) FinishInterruptedPack(dataPath);
  if (!create && !Files().FileExists(dataPath)) {
    throw EBinaryDataSetError::TableNotFound(dataPath);
  }
  // Companions are found whatever the case of their extensions; a new table's are lower case.
  auto companion = [&](const char* lowerExt) {
    std::string found = create ? std::string() : FindCompanionFile(dataPath, lowerExt);
    return found.empty() ? ChangeFileExt(dataPath, lowerExt) : found;
  };
  const std::string indexPath = companion(".mdx");
  TDbfFile* data = nullptr;
  TIndexFile* index = nullptr;
  TDbtFile* memo = nullptr;
  TFptFile* fpt = nullptr;
  try {
    data = LookupFile<TDbfFile>(dataPath);
    index = LookupFile<TIndexFile>(indexPath);
    if (create) {
      const std::string memoPath = companion(".dbt");
      memo = LookupFile<TDbtFile>(memoPath);
      if (data == nullptr) data = new TDbfFile(dataPath, OpenMode::Create);
      if (memo == nullptr) memo = new TDbtFile(memoPath, data->Level(), OpenMode::Create);
    } else {
      OpenMode mode = readOnly_ ? OpenMode::ReadOnly : OpenMode::ReadWrite;
      if (data == nullptr) data = new TDbfFile(dataPath, mode);
      ApplyCodePage(*data, dataPath);
      if (index == nullptr && Files().FileExists(indexPath)) {
        index = new TIndexFile(indexPath, mode);
      }
      // FoxPro tables keep their memos in an .fpt file, all others in a .dbt.
      if (data->IsFoxPro()) {
        const std::string fptPath = FindCompanionFile(dataPath, ".fpt");
        if (!fptPath.empty()) {
          fpt = LookupFile<TFptFile>(fptPath);
          if (fpt == nullptr) fpt = new TFptFile(fptPath, mode);
        }
      } else {
        const std::string memoPath = companion(".dbt");
        memo = LookupFile<TDbtFile>(memoPath);
        if (memo == nullptr && Files().FileExists(memoPath)) {
          memo = new TDbtFile(memoPath, data->Level(), mode);
        }
      }
    }
  } catch (...) {
    // Paged files belong to the registry once constructed; Release destroys them.
    TPagedFile::Release(fpt);
    TPagedFile::Release(memo);
    TPagedFile::Release(index);
    TPagedFile::Release(data);
    throw;
  }
  dbfFile_ = data;
  indexFile_ = index;
  memoFile_ = memo;
  fptFile_ = fpt;
  scratch_ = AllocRecordBuffer();
  filesAttached_ = true;
}

void TDbf::ReleaseFiles(bool flushHeader) {
  std::exception_ptr failure;
  if (dbfFile_ != nullptr) {
    if (flushHeader && !readOnly_) {
      try {
        dbfFile_->FlushHeader();
      } catch (...) {
        failure = std::current_exception();
      }
    }
    TPagedFile::Release(dbfFile_);
    dbfFile_ = nullptr;
  }
  TPagedFile::Release(indexFile_);
  indexFile_ = nullptr;
  TPagedFile::Release(memoFile_);
  memoFile_ = nullptr;
  TPagedFile::Release(fptFile_);
  fptFile_ = nullptr;
  scratch_.clear();
  filesAttached_ = false;
  if (failure) std::rethrow_exception(failure);
}

void TDbf::UpdateFieldDefs() {
  if (Active()) return;
  AttachFiles(false);
  try {
    fieldDefs_.clear();
    dbfFile_->LoadFieldList(fieldDefs_);
  } catch (...) {
    ReleaseFiles(false);
    throw;
  }
  ReleaseFiles(true);
}

void TDbf::InternalOpen() {
  AttachFiles(false);
  try {
    fieldDefs_.clear();
    dbfFile_->LoadFieldList(fieldDefs_);
    ClearFields();
    for (std::size_t i = 0; i < fieldDefs_.size(); ++i) {
      AddField(NewFieldObject(*this, fieldDefs_[i], static_cast<int>(i) + 1));
    }
    currentIndex_ = -1;
    static std::uint64_t openings = 0;
    openStamp_ = ++openings;
    const char* memoExtension = dbfFile_->IsFoxPro() ? ".fpt" : ".dbt";
    const std::string memoPath = FindCompanionFile(DataFilePath(), memoExtension);
    memoProblem_ =
        MemoFileProblem(memoPath.empty() ? ChangeFileExt(DataFilePath(), memoExtension) : memoPath,
                        fieldDefs_, dbfFile_->HeaderRecordCount());
  } catch (...) {
    // A failed open leaves the files exactly as they were: no header write.
    ClearFields();
    ReleaseFiles(false);
    throw;
  }
}

void TDbf::InternalClose() {
  currentIndex_ = -1;
  deletedCount_ = -1;
  order_.Clear();
  ++orderVersion_;
  openStamp_ = 0;
  filterRecord_ = nullptr;
  try {
    ReleaseFiles(true);
  } catch (...) {
    ClearFields();
    throw;
  }
  ClearFields();
}

TRecordBuffer TDbf::AllocRecordBuffer() {
  TRecordBuffer buffer(BufferSizeFor(dbfFile_));
  InternalInitRecord(buffer);
  return buffer;
}

void TDbf::InternalInitRecord(TRecordBuffer& buffer) {
  SetBookmarkData(buffer, -1);
  SetBookmarkFlag(buffer, TBookmarkFlag::bfCurrent);
  std::memset(buffer.data() + kRecordOffset, ' ', buffer.size() - kRecordOffset);
  // Binary fields and null flags of FoxPro tables start empty, not as spaces.
  if (dbfFile_ != nullptr && dbfFile_->RecordSize() > 0 &&
      buffer.size() - kRecordOffset >= static_cast<std::size_t>(dbfFile_->RecordSize())) {
    dbfFile_->InitRecord(RecordBytes(buffer));
  }
}

TBookmark TDbf::RecordIndexOf(const TRecordBuffer& buffer) {
  assert(buffer.size() >= kRecordOffset);
  std::int32_t index;
  std::memcpy(&index, buffer.data() + kIndexOffset, sizeof index);
  return index;
}

TBookmark TDbf::GetBookmarkData(const TRecordBuffer& buffer) const {
  return RecordIndexOf(buffer);
}

void TDbf::SetBookmarkData(TRecordBuffer& buffer, TBookmark bookmark) {
  assert(buffer.size() >= kRecordOffset);
  std::memcpy(buffer.data() + kIndexOffset, &bookmark, sizeof bookmark);
}

TBookmarkFlag TDbf::GetBookmarkFlag(const TRecordBuffer& buffer) const {
  return static_cast<TBookmarkFlag>(buffer[kFlagOffset]);
}

void TDbf::SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) {
  buffer[kFlagOffset] = static_cast<char>(flag);
}

int TDbf::RecordCount() {
  if (!filesAttached_) return 0;
  return static_cast<int>(dbfFile_->HeaderRecordCount());
}

int TDbf::RecordNumber() {
  CheckActive();
  if (HasRecord()) {
    InternalSetToRecord(ActiveBuffer());
    return GetBookmarkData(ActiveBuffer()) + 1;
  }
  if (Ordered() && currentIndex_ >= 0 && currentIndex_ < order_.Size()) return CurrentRecord() + 1;
  return currentIndex_ + 1;
}

std::int32_t TDbf::CurrentRecord() const {
  return Ordered() ? order_.RecordAt(currentIndex_) : currentIndex_;
}

void TDbf::SyncOrder() {
  if (Ordered() && order_.Size() < RecordCount()) {
    order_.TakeInAppended(*dbfFile_);
    ++orderVersion_;
  }
}

std::vector<std::string> TDbf::OrderFieldNames() const {
  std::vector<std::string> names;
  for (int index : order_.FieldIndexes()) names.push_back(Fields(index).FieldName());
  return names;
}

void TDbf::SetOrder(const std::vector<std::string>& fieldNames, bool descending) {
  CheckActive();
  CheckBrowseMode();
  std::vector<int> indexes;
  for (const std::string& name : fieldNames) {
    const TField& field = LookupField(name);
    // A memo key would read the memo file per comparison; nobody sorts by free text.
    if (field.DataType() == TFieldType::ftMemo) {
      throw EDatabaseError("Cannot order by memo field '" + field.FieldName() + "'");
    }
    indexes.push_back(field.FieldNo() - 1);
  }
  const TBookmark shown = HasRecord() ? GetBookmarkData(ActiveBuffer()) : -1;
  if (indexes.empty()) {
    order_.Clear();
  } else {
    order_.Build(*dbfFile_, indexes, descending);
  }
  ++orderVersion_;
  currentIndex_ = shown >= 0 ? PositionOf(shown) : -1;
  Refresh();
}

TBookmark TDbf::RecordAtPosition(std::int32_t position) {
  if (!Ordered()) return position;
  SyncOrder();
  return order_.RecordAt(position);
}

std::int32_t TDbf::PositionOf(TBookmark record) {
  if (!Ordered() || record < 0) return record;
  SyncOrder();
  return order_.PositionOf(record, currentIndex_);
}

int TDbf::DeletedCount() {
  if (!Active()) return 0;
  const std::int32_t count = RecordCount();
  if (deletedCount_ >= 0 && deletedCountedFor_ == count) return deletedCount_;
  int deleted = 0;
  std::vector<std::uint8_t> scratch(static_cast<std::size_t>(std::max(dbfFile_->RecordSize(), 1)));
  for (std::int32_t i = 0; i < count; ++i) {
    const std::uint8_t* view = dbfFile_->RecordView(i);
    if (view == nullptr) {
      scratch[0] = ' ';
      dbfFile_->ReadRecord(i, scratch.data());
      view = scratch.data();
    }
    if (view[0] != ' ') ++deleted;
  }
  deletedCount_ = deleted;
  deletedCountedFor_ = count;
  return deleted;
}

void TDbf::Recall() {
  CheckActive();
  CheckBrowseMode();
  CheckWritable();
  if (!HasRecord()) throw EDatabaseError::EmptyDataset();
  const TBookmark record = GetBookmarkData(ActiveBuffer());
  // Only the flag changes: the record as it is in the file, never unposted values.
  ReadInto(record, scratch_);
  if (scratch_[kRecordOffset] == ' ') return;
  scratch_[kRecordOffset] = ' ';
  dbfFile_->WriteRecord(record, RecordBytes(scratch_));
  deletedCount_ = -1;
  Refresh();
}

void TDbf::InternalFirst() {
  currentIndex_ = RecordCount() == 0 ? 0 : -1;
}

void TDbf::InternalLast() {
  currentIndex_ = RecordCount();
}

void TDbf::InternalGotoBookmark(TBookmark bookmark) {
  if (bookmark < 0 || bookmark >= RecordCount()) {
    throw EBinaryDataSetError::BookmarkNotFound(bookmark);
  }
  currentIndex_ = PositionOf(bookmark);
}

void TDbf::InternalSetToRecord(const TRecordBuffer& buffer) {
  currentIndex_ = PositionOf(GetBookmarkData(buffer));
}

void TDbf::InternalRefresh() {
  // Only a read-only cursor can see another process append (a read-write one keeps
  // writers out); take its records in.
  if (!readOnly_) return;
  std::int64_t physical = dbfFile_->RecordCount();
  if (physical > dbfFile_->HeaderRecordCount()) {
    dbfFile_->SetHeaderRecordCount(static_cast<std::uint32_t>(physical));
  }
}

void TDbf::ReadInto(std::int64_t index, TRecordBuffer& buffer) {
  assert(buffer.size() == BufferSizeFor(dbfFile_));
  const std::uint8_t* view = dbfFile_->RecordView(index);
  if (view != nullptr) {
    std::memcpy(RecordBytes(buffer), view, static_cast<std::size_t>(dbfFile_->RecordSize()));
  } else {
    dbfFile_->ReadRecord(index, RecordBytes(buffer));
  }
  SetBookmarkData(buffer, static_cast<TBookmark>(index));
  SetBookmarkFlag(buffer, TBookmarkFlag::bfCurrent);
}

TRecordVerdict TDbf::TestMappedRecord(std::int64_t index, TRecordBuffer& buffer) {
  if (!filtered_ || !OnFilterRecord || !OnFilterRecordBytes) return TRecordVerdict::Undecided;
  const std::uint8_t* view = dbfFile_->RecordView(index);
  if (view == nullptr) return TRecordVerdict::Undecided;
  if (!showDeleted_ && view[0] != ' ') return TRecordVerdict::Reject;
  try {
    return OnFilterRecordBytes(*this, view);
  } catch (...) {
    ReadInto(index, buffer);
    throw;
  }
}

bool TDbf::AcceptRecord(TRecordBuffer& buffer) {
  if (!showDeleted_ && buffer[kRecordOffset] != ' ') return false;
  if (!filtered_ || !OnFilterRecord) return true;
  if (OnFilterRecordBytes) {
    switch (OnFilterRecordBytes(*this, RecordBytes(buffer))) {
      case TRecordVerdict::Accept:
        return true;
      case TRecordVerdict::Reject:
        return false;
      case TRecordVerdict::Undecided:
        break;
    }
  }
  const TRecordBuffer* previousRecord = filterRecord_;
  filterRecord_ = &buffer;
  TDataSetState previousState = EnterTempState(TDataSetState::dsFilter);
  bool accept = true;
  try {
    OnFilterRecord(*this, accept);
  } catch (...) {
    RestoreState(previousState);
    filterRecord_ = previousRecord;
    throw;
  }
  RestoreState(previousState);
  filterRecord_ = previousRecord;
  return accept;
}

TGetResult TDbf::GetRecord(TRecordBuffer& buffer, TGetMode mode, bool check) {
  const std::int32_t count = RecordCount();
  if (count == 0) return TGetResult::grEOF;
  SyncOrder();
  for (;;) {
    if (mode == TGetMode::gmNext) {
      if (++currentIndex_ >= count) {
        currentIndex_ = count;
        return TGetResult::grEOF;
      }
    } else if (mode == TGetMode::gmPrior) {
      if (--currentIndex_ < 0) {
        currentIndex_ = -1;
        return TGetResult::grBOF;
      }
    }
    if (currentIndex_ < 0 || currentIndex_ >= count) {
      if (check) throw EBinaryDataSetError::InvalidRecord();
      return TGetResult::grError;
    }
    // A scan tests the mapped record first and copies only what it keeps; a re-read of the
    // current record keeps the copying path, which leaves even a rejected record in buffer.
    const std::int32_t record = CurrentRecord();
    if (mode != TGetMode::gmCurrent && Ordered()) PrefetchAhead(mode == TGetMode::gmNext ? 1 : -1);
    const TRecordVerdict verdict =
        mode == TGetMode::gmCurrent ? TRecordVerdict::Undecided : TestMappedRecord(record, buffer);
    if (verdict == TRecordVerdict::Reject) continue;
    ReadInto(record, buffer);
    if (verdict == TRecordVerdict::Accept || AcceptRecord(buffer)) return TGetResult::grOK;
    if (mode == TGetMode::gmCurrent) return TGetResult::grError;
  }
}

void TDbf::PrefetchAhead(int direction) {
  // An ordered walk meets records at scattered places of the file; asking now for the one a
  // few steps ahead hides most of the wait for memory when it is reached.
  constexpr std::int32_t kDistance = 16;
  const std::int32_t ahead = currentIndex_ + direction * kDistance;
  if (ahead < 0 || ahead >= order_.Size()) return;
  if (const std::uint8_t* view = dbfFile_->RecordView(order_.RecordAt(ahead))) {
    __builtin_prefetch(view);
    __builtin_prefetch(view + dbfFile_->RecordSize() - 1);
  }
}

bool TDbf::ReadRecordAt(TBookmark bookmark, TRecordBuffer& buffer) {
  CheckActive();
  if (bookmark >= RecordCount()) InternalRefresh();
  if (bookmark < 0 || bookmark >= RecordCount()) {
    throw EBinaryDataSetError::BookmarkNotFound(bookmark);
  }
  if (buffer.size() != BufferSizeFor(dbfFile_)) {
    buffer = AllocRecordBuffer();
  }
  ReadInto(bookmark, buffer);
  return AcceptRecord(buffer);
}

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
  return record != nullptr && record[0] != ' ';
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
  if (mode != TMyBlobFile::Mode::Read && !IsEditingState(State())) {
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
      if (!IsEditingState(State())) throw EDatabaseError::NotEditing();
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

void TDbf::InternalHandleException(const Exception& error) {
  Host().ShowMessage(error.what());
}

void TDbf::CheckWritable() const {
  if (readOnly_) throw EDatabaseError("Cannot modify a read-only dataset");
}

void TDbf::Insert() {
  CheckActive();
  CheckWritable();
  TDataSet::Insert();
}

void TDbf::Edit() {
  CheckActive();
  if (!IsEditingState(State())) {
    CheckWritable();
    // An empty filtered view has no record to edit; an insert would store a record the
    // filter may never show.
    if (IsEmpty() && filtered_ && OnFilterRecord) throw EDatabaseError::EmptyDataset();
  }
  TDataSet::Edit();
}

void TDbf::Post() {
  CheckActive();
  if (IsEditingState(State())) CheckWritable();
  TDataSet::Post();
}

void TDbf::Delete() {
  CheckActive();
  if (State() != TDataSetState::dsInsert) CheckWritable();
  TDataSet::Delete();
}

void TDbf::InternalPost() {
  CheckWritable();
  TRecordBuffer& buffer = ActiveBuffer();
  // Posting always stores a live record: an edited deleted record comes back.
  if (buffer[kRecordOffset] != ' ') deletedCount_ = -1;
  buffer[kRecordOffset] = ' ';
  if (State() == TDataSetState::dsInsert) {
    std::uint32_t index = dbfFile_->HeaderRecordCount();
    dbfFile_->WriteRecord(index, RecordBytes(buffer));
    dbfFile_->SetHeaderRecordCount(index + 1);
    // Other programs and a restart after a crash trust the header's count: keep it true.
    dbfFile_->WriteHeaderAfterAppend();
    SetBookmarkData(buffer, static_cast<TBookmark>(index));
    SetBookmarkFlag(buffer, TBookmarkFlag::bfCurrent);
    currentIndex_ = static_cast<std::int32_t>(index);
  } else {
    dbfFile_->WriteRecord(GetBookmarkData(buffer), RecordBytes(buffer));
  }
  if (Ordered()) {
    // The key may have changed: the record goes where it now belongs, and the cursor with it.
    const TBookmark record = GetBookmarkData(buffer);
    if (order_.Size() < static_cast<std::int32_t>(record)) order_.TakeInAppended(*dbfFile_);
    currentIndex_ = order_.Place(*dbfFile_, record);
    ++orderVersion_;
  }
}

void TDbf::InternalDelete() {
  CheckWritable();
  // Mark the record as it is in the file, so that unposted edits never reach the disk.
  const TBookmark record = GetBookmarkData(ActiveBuffer());
  currentIndex_ = PositionOf(record);
  ReadInto(record, scratch_);
  scratch_[kRecordOffset] = '*';
  dbfFile_->WriteRecord(record, RecordBytes(scratch_));
  deletedCount_ = -1;
  ActiveBuffer()[kRecordOffset] = '*';
}

}  // namespace tavlo
