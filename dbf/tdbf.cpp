// The table cursor: file attachment, the fetch loop with its deleted-record and filter tests,
// the order it walks in, posting and deleting. Field values and memo streams are in
// tdbffields.cpp, table creation in tablecreate.cpp.
#include "dbf/tdbf.h"

#include <unistd.h>
#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

#include "dbf/deletionflag.h"
#include "dbf/fieldcodec.h"
#include "dbf/fieldconvert.h"
#include "dbf/fields.h"
#include "dbf/fptfile.h"
#include "dbf/indexfile.h"
#include "dbf/recordcandidates.h"
#include "dbf/tablefiles.h"
#include "dbf/tableindexes.h"
#include "dbf/tablepack.h"
#include "dbf/tdbfbuffers.h"
#include "platform/asciitext.h"
#include "platform/filenames.h"
#include "platform/textcodec.h"
#include "text/trim.h"

namespace tavlo {

using namespace tdbfbuffers;

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
    // UPPER and LOWER in key expressions follow the page.
    if (Active()) indexes_.Recompile(*dbfFile_, Layout());
    // Texts now read differently: the order is built again on what the user sees (a tag
    // keeps the index's order).
    if (order_.Active()) {
      order_.Build(*dbfFile_, Layout(), std::vector<int>(order_.FieldIndexes()),
                   order_.Descending());
      ++orderVersion_;
      currentIndex_ = HasRecord() ? PositionOf(GetBookmarkData(ActiveBuffer())) : -1;
    }
  }
}

const TColumnLayout& TDbf::Layout() const {
  if (dbfFile_ != nullptr && layout_.Columns() > 0) layout_.FollowTranslation(*dbfFile_);
  return layout_;
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

void TDbf::SetIndexFiles(std::vector<std::string> paths) {
  CheckInactive();
  userIndexFiles_ = std::move(paths);
}

void TDbf::AttachIndexFile(const std::string& path) {
  const auto listed = [&] {
    for (const std::string& known : userIndexFiles_) {
      if (LowerAscii(known) == LowerAscii(path)) return true;
    }
    return false;
  };
  if (Active()) {
    if (indexes_.FindFile(path) >= 0) return;
    // Read first: a file that is no index file is refused before anything changes.
    indexes_.Add(ReadHeldIndexFile(path, OpenMode::ReadOnly), false, *dbfFile_, Layout());
  }
  if (!listed()) userIndexFiles_.push_back(path);
}

void TDbf::SetReadOnly(bool readOnly) {
  CheckInactive();
  readOnly_ = readOnly;
}

std::string TDbf::ResolveTableFolder() const {
  std::string folder = runTimePath_;
  if (!IsAbsolutePath(std::string(TrimControl(folder)))) folder = ExecutableFolder() + folder;
  folder = ExpandPath(std::string(TrimControl(folder)));
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
  if (create) return AttachFilesAt(true, DataFilePath());
  // A pack that a crash interrupted is finished (or undone) before anything is read. A pack
  // that runs may move the files between the opens of the data and the memo file: then both
  // are opened again, so that they always belong to one table.
  constexpr int kAttempts = 20;
  for (int attempt = 1;; ++attempt) {
    FinishInterruptedPack(DataFilePath());
    const std::string dataPath = DataFilePath();
    try {
      AttachFilesAt(false, dataPath);
    } catch (const Exception&) {
      if (attempt >= kAttempts || !Files().PathExists(PackMarkPath(dataPath))) throw;
      std::this_thread::sleep_for(std::chrono::milliseconds(attempt));
      continue;
    }
    const std::string opened = dbfFile_->Stream().FileId();
    if (attempt >= kAttempts || dbfFile_->UseCount() > 1 || opened.empty() ||
        opened == Files().FileId(dataPath))
      return;
    ReleaseFiles(false);
  }
}

void TDbf::AttachFilesAt(bool create, const std::string& dataPath) {
  if (!create && !Files().FileExists(dataPath)) {
    throw EBinaryDataSetError::TableNotFound(dataPath);
  }
  // Companions are found whatever the case of their extensions; a new table's are lower case.
  auto companion = [&](const char* lowerExt) {
    std::string found = create ? std::string() : FindCompanionFile(dataPath, lowerExt);
    return found.empty() ? ChangeFileExt(dataPath, lowerExt) : found;
  };
  TDbfFile* data = nullptr;
  TIndexFile* index = nullptr;
  TDbtFile* memo = nullptr;
  TFptFile* fpt = nullptr;
  try {
    data = LookupFile<TDbfFile>(dataPath);
    if (create) {
      index = LookupFile<TIndexFile>(companion(".mdx"));
      const std::string memoPath = companion(".dbt");
      memo = LookupFile<TDbtFile>(memoPath);
      if (data == nullptr) data = new TDbfFile(dataPath, OpenMode::Create);
      // A memo file only for memo fields; one that is there already is emptied with the table.
      const bool memoFields = std::any_of(
          fieldDefs_.begin(), fieldDefs_.end(),
          [](const TFieldDef& definition) { return definition.dataType == TFieldType::ftMemo; });
      if (memo == nullptr && (memoFields || Files().FileExists(memoPath)))
        memo = new TDbtFile(memoPath, data->Level(), OpenMode::Create);
    } else {
      OpenMode mode = readOnly_ ? OpenMode::ReadOnly : OpenMode::ReadWrite;
      if (data == nullptr) {
        data = new TDbfFile(dataPath, mode);
        TakeOpenDiagnostics(*data);
      }
      ApplyCodePage(*data, dataPath);
      // The production index the header names (else a .mdx beside the table) is held in the
      // table's mode, so that other programs see it in use.
      std::string indexPath = FindProductionIndex(*data, dataPath).path;
      if (indexPath.empty()) indexPath = FindCompanionFile(dataPath, ".mdx");
      if (!indexPath.empty()) {
        index = LookupFile<TIndexFile>(indexPath);
        if (index == nullptr) index = new TIndexFile(indexPath, mode);
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

void TDbf::TakeOpenDiagnostics(TDbfFile& data) {
  for (std::string& text : data.TakeOpenDiagnostics()) openDiagnostics_.push_back(std::move(text));
}

void TDbf::LoadFieldList() {
  fieldDefs_.clear();
  dbfFile_->LoadFieldList(fieldDefs_);
  TakeOpenDiagnostics(*dbfFile_);
}

void TDbf::UpdateFieldDefs() {
  if (Active()) return;
  openDiagnostics_.clear();
  AttachFiles(false);
  try {
    LoadFieldList();
  } catch (...) {
    ReleaseFiles(false);
    throw;
  }
  ReleaseFiles(true);
}

void TDbf::InternalOpen() {
  openDiagnostics_.clear();
  AttachFiles(false);
  try {
    LoadFieldList();
    layout_.Build(*dbfFile_);
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
    AttachTableIndexFiles(indexes_, *dbfFile_, layout_, DataFilePath(), userIndexFiles_);
  } catch (...) {
    // A failed open leaves the files exactly as they were: no header write.
    indexes_.Clear();
    layout_.Clear();
    ClearFields();
    ReleaseFiles(false);
    throw;
  }
}

void TDbf::InternalClose() {
  currentIndex_ = -1;
  deletedCount_ = -1;
  order_.Clear();
  tagOrder_.Clear();
  layout_.Clear();
  ++orderVersion_;
  openStamp_ = 0;
  filterRecord_ = nullptr;
  candidates_.reset();
  writtenRecords_.clear();
  indexes_.Clear();
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
  if (Ordered() && currentIndex_ >= 0 && currentIndex_ < PositionCount()) {
    return CurrentRecord() + 1;
  }
  return currentIndex_ + 1;
}

std::int32_t TDbf::RecordAtOrdered(std::int32_t position) {
  if (!tagOrder_.Active()) return order_.RecordAt(position);
  const std::int32_t record = tagOrder_.RecordAt(position);
  NoteTagRelayout();
  return record;
}

void TDbf::NoteTagRelayout() {
  // A tag laid out anew gave its records other positions: views learn them again.
  if (tagOrder_.Relayouts() != tagRelayouts_) {
    tagRelayouts_ = tagOrder_.Relayouts();
    ++orderVersion_;
  }
}

std::int32_t TDbf::CurrentRecord() {
  return Ordered() ? RecordAtOrdered(currentIndex_) : currentIndex_;
}

std::int32_t TDbf::PositionCount() {
  if (tagOrder_.Active()) return tagOrder_.Size(RecordCount());
  return RecordCount();
}

void TDbf::SyncOrder() {
  if (order_.Active() && order_.Size() < RecordCount()) {
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
  tagOrder_.Clear();
  if (indexes.empty()) {
    order_.Clear();
  } else {
    order_.Build(*dbfFile_, Layout(), indexes, descending);
  }
  ++orderVersion_;
  currentIndex_ = shown >= 0 ? PositionOf(shown) : -1;
  Refresh();
}

void TDbf::SetTagOrder(const std::string& tagName) {
  CheckActive();
  if (tagName.empty()) {
    SetOrder({});
    return;
  }
  const TAttachedTag* tag = indexes_.FindTag(tagName);
  if (tag == nullptr) throw EDatabaseError("No attached index has a tag '" + tagName + "'");
  if (!tag->understood) {
    throw EDatabaseError("Tag " + tag->Info().name + " is not understood: " + tag->notUnderstood);
  }
  SetTagOrder(*tag->reader, tag->tag);
}

void TDbf::SetTagOrder(const TIndexReader& reader, int tag) {
  CheckActive();
  CheckBrowseMode();
  // Set first: a damaged tag is refused before the order in use is given up.
  TTagOrder order;
  try {
    order.Set(reader, tag, RecordCount());
  } catch (const EIndexDamage& damage) {
    const std::string& name = reader.Tag(tag).name;
    std::string reason = damage.what();
    const std::string prefix = "tag " + name + ": ";
    if (reason.rfind(prefix, 0) == 0) reason.erase(0, prefix.size());
    throw EDatabaseError("Tag " + name + " is damaged: " + reason);
  }
  order_.Clear();
  tagOrder_ = std::move(order);
  tagRelayouts_ = 0;
  ++orderVersion_;
  // Where the shown record lies in the tag could take a walk of the whole tag to learn.
  First();
}

TBookmark TDbf::RecordAtPosition(std::int32_t position) {
  if (!Ordered()) return position;
  SyncOrder();
  return RecordAtOrdered(position);
}

std::int32_t TDbf::PositionOf(TBookmark record) {
  if (!Ordered() || record < 0) return record;
  SyncOrder();
  if (tagOrder_.Active()) {
    const std::int32_t position = tagOrder_.PositionOf(record, currentIndex_);
    NoteTagRelayout();
    return position;
  }
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
    if (IsDeletedFlag(view[0])) ++deleted;
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
  if (!IsDeletedFlag(scratch_[kRecordOffset])) return;
  scratch_[kRecordOffset] = kLiveFlag;
  dbfFile_->WriteRecord(record, RecordBytes(scratch_));
  deletedCount_ = -1;
  Refresh();
}

void TDbf::InternalFirst() {
  currentIndex_ = RecordCount() == 0 ? 0 : -1;
}

void TDbf::InternalLast() {
  currentIndex_ = PositionCount();
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
  if (!showDeleted_ && IsDeletedFlag(view[0])) return TRecordVerdict::Reject;
  try {
    return OnFilterRecordBytes(*this, view);
  } catch (...) {
    ReadInto(index, buffer);
    throw;
  }
}

void TDbf::SetFilterCandidates(std::shared_ptr<TRecordCandidates> candidates) {
  candidates_ = std::move(candidates);
  candidatesStamp_ = openStamp_;
  if (candidates_ != nullptr)
    for (std::int32_t record : writtenRecords_) candidates_->Add(record);
}

const TRecordCandidates* TDbf::FilterCandidates() const {
  if (!filtered_ || !OnFilterRecord || candidates_ == nullptr) return nullptr;
  return candidatesStamp_ == openStamp_ ? candidates_.get() : nullptr;
}

void TDbf::NoteRecordWritten(std::int32_t record) {
  writtenRecords_.insert(record);
  if (candidates_ != nullptr) candidates_->Add(record);
}

bool TDbf::AcceptRecord(TRecordBuffer& buffer) {
  if (!showDeleted_ && IsDeletedFlag(buffer[kRecordOffset])) return false;
  if (!filtered_ || !OnFilterRecord) return true;
  if (const TRecordCandidates* candidates = FilterCandidates()) {
    if (!candidates->Holds(static_cast<std::int32_t>(RecordIndexOf(buffer)))) return false;
  }
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
  if (RecordCount() == 0) return TGetResult::grEOF;
  SyncOrder();
  const std::int32_t count = PositionCount();
  // In physical order the positions are the records: a scan jumps from candidate to
  // candidate; in another order each position's record is looked up in the set.
  const TRecordCandidates* candidates = mode == TGetMode::gmCurrent ? nullptr : FilterCandidates();
  const bool jump = candidates != nullptr && !Ordered();
  for (;;) {
    if (mode == TGetMode::gmNext) {
      ++currentIndex_;
      if (jump) currentIndex_ = candidates->NextFrom(currentIndex_, count);
      if (currentIndex_ >= count) {
        currentIndex_ = count;
        return TGetResult::grEOF;
      }
    } else if (mode == TGetMode::gmPrior) {
      --currentIndex_;
      if (jump) currentIndex_ = candidates->PrevFrom(std::min(currentIndex_, count - 1));
      if (currentIndex_ < 0) {
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
    if (record < 0) {
      // An entry of a stale index naming a record the table lacks.
      if (mode == TGetMode::gmCurrent) return TGetResult::grError;
      continue;
    }
    if (candidates != nullptr && !jump && !candidates->Holds(record)) continue;
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
  if (ahead < 0 || ahead >= PositionCount()) return;
  const std::int32_t record = RecordAtOrdered(ahead);
  if (record >= 0 && record < RecordCount()) dbfFile_->PrefetchRecord(record);
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

void TDbf::CheckWritable() const {
  if (readOnly_) throw EDatabaseError("Cannot modify a read-only dataset");
  if (LayoutReadOnly()) {
    std::string correction = dbfFile_->LayoutCorrection();
    // The message box's lines as one: "Invalid Record Size, Record Size in Hdr : 30, ...".
    for (std::size_t at = correction.find('\r'); at != std::string::npos;
         at = correction.find('\r', at)) {
      const bool afterComma = at > 0 && correction[at - 1] == ',';
      correction.replace(at, 1, afterComma ? " " : ", ");
    }
    throw EDatabaseError("Cannot modify the table until it is repaired: " + correction);
  }
}

void TDbf::Insert() {
  CheckActive();
  CheckWritable();
  TDataSet::Insert();
}

void TDbf::Edit() {
  CheckActive();
  if (!IsEditing(State())) {
    CheckWritable();
    // An empty filtered view has no record to edit; an insert would store a record the
    // filter may never show.
    if (IsEmpty() && filtered_ && OnFilterRecord) throw EDatabaseError::EmptyDataset();
  }
  TDataSet::Edit();
}

void TDbf::Post() {
  CheckActive();
  if (IsEditing(State())) CheckWritable();
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
  if (IsDeletedFlag(buffer[kRecordOffset])) deletedCount_ = -1;
  buffer[kRecordOffset] = kLiveFlag;
  if (State() == TDataSetState::dsInsert) {
    std::uint32_t index = dbfFile_->HeaderRecordCount();
    dbfFile_->WriteAppendedRecord(index, RecordBytes(buffer));
    dbfFile_->SetHeaderRecordCount(index + 1);
    // Other programs and a restart after a crash trust the header's count: keep it true.
    dbfFile_->WriteHeaderAfterAppend();
    SetBookmarkData(buffer, static_cast<TBookmark>(index));
    SetBookmarkFlag(buffer, TBookmarkFlag::bfCurrent);
    currentIndex_ = static_cast<std::int32_t>(index);
  } else {
    dbfFile_->WriteRecord(GetBookmarkData(buffer), RecordBytes(buffer));
    NoteRecordWritten(static_cast<std::int32_t>(GetBookmarkData(buffer)));
  }
  if (tagOrder_.Active()) {
    // The index is not written: the record stays where the index has it (an appended one
    // follows the tag's entries).
    currentIndex_ = PositionOf(GetBookmarkData(buffer));
    if (State() == TDataSetState::dsInsert) ++orderVersion_;
  } else if (Ordered()) {
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
  scratch_[kRecordOffset] = kDeletedFlag;
  dbfFile_->WriteRecord(record, RecordBytes(scratch_));
  deletedCount_ = -1;
  ActiveBuffer()[kRecordOffset] = kDeletedFlag;
}

}  // namespace tavlo
