// TDbf: the table cursor. It resolves and attaches a table's data, memo and index files,
// fetches records in physical order, hides deleted records and those the filter callback
// rejects, writes posted and deleted records straight back, and offers random access by
// bookmark for views that show many records without moving the cursor. It never shows a
// message itself: what the opening checks corrected comes back as OpenDiagnostics.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dbf/columnlayout.h"
#include "dbf/dataset.h"
#include "dbf/dbffile.h"
#include "dbf/fieldinfo.h"
#include "dbf/memofile.h"
#include "dbf/recordorder.h"
#include "dbf/tableindexes.h"
#include "dbf/tagorder.h"

namespace tavlo {

class TIndexFile;
class TIndexReader;
class TRecordCandidates;
class TFptFile;

// The filter callback: clear accept to hide the record under test.
using TFilterRecordEvent = std::function<void(class TDbf& dataSet, bool& accept)>;
// A filter's test of a record's bytes (deletion flag, then the fields as in the file), which
// the cursor runs before OnFilterRecord and, where the file is mapped, on the mapped bytes
// without copying the record. Undecided hands the record to OnFilterRecord.
enum class TRecordVerdict : std::uint8_t { Undecided, Accept, Reject };
using TFilterRecordBytesEvent =
    std::function<TRecordVerdict(class TDbf& dataSet, const std::uint8_t* record)>;

class TDbf : public TDataSet {
 public:
  // Record buffer layout: record index, bookmark flag, record bytes (no calculated values).
  static constexpr std::size_t kIndexOffset = 0;
  static constexpr std::size_t kFlagOffset = 4;
  static constexpr std::size_t kRecordOffset = 5;

  TDbf();
  ~TDbf() noexcept override;

  // Published properties.
  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& name);  // closed cursor only
  const std::string& RunTimePath() const { return runTimePath_; }
  void SetRunTimePath(const std::string& path);
  const std::string& DesignTimePath() const { return designTimePath_; }
  void SetDesignTimePath(const std::string& path) { designTimePath_ = path; }
  // The code page to read character fields in; 0 (the default) takes the table's own: a
  // .cpg file beside it, else its language byte, else the OEM page of the locale. Takes
  // effect at once on an open cursor; nothing is written to the files. Raises Exception
  // "Code page %d is not available" for a page that cannot be converted.
  int CodePage() const { return codePage_; }
  void SetCodePage(int page);
  // True as well while the open table's layout had to be corrected on opening (see
  // TDbfFile::LayoutCorrection): such a table is only read until it is repaired.
  bool ReadOnly() const { return readOnly_ || LayoutReadOnly(); }
  void SetReadOnly(bool readOnly);
  // Raises EDatabaseError when the cursor may not change the table: "Cannot modify a
  // read-only dataset", or for a corrected layout "Cannot modify the table until it is
  // repaired: " and the correction's message on one line.
  void CheckWritable() const;
  // Changing ShowDeleted or Filtered takes effect at the next fetch.
  bool ShowDeleted() const { return showDeleted_; }
  void SetShowDeleted(bool showDeleted) { showDeleted_ = showDeleted; }
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool filtered) { filtered_ = filtered; }
  TFilterRecordEvent OnFilterRecord;
  // Consulted only while OnFilterRecord is assigned too; it must answer as OnFilterRecord
  // would, or Undecided.
  TFilterRecordBytesEvent OnFilterRecordBytes;
  // The records the filter may accept (from an index), or nullptr for every record. While
  // Filtered and OnFilterRecord are set, the cursor passes over the others without reading
  // them, and adds to the set every record it writes. Dropped when the table closes or its
  // layout is built again (the set was made for that layout's reading of the literals).
  void SetFilterCandidates(std::shared_ptr<TRecordCandidates> candidates);
  const TRecordCandidates* FilterCandidates() const;
  static std::string ComponentInfo() { return "TDbf V3.6"; }

  // Paths. The table folder ends in a separator; Windows-style paths (leading backslash or a
  // drive colon) keep their backslash rule.
  std::string ResolveTableFolder() const;
  std::string DataFilePath() const;

  // Field definitions: read from the files (attached for the request when closed), or
  // filled by the table designer before CreateTableFile.
  TFieldDefs& FieldDefs() { return fieldDefs_; }
  void UpdateFieldDefs();

  // The field of that name without regard to case; "Field '%s' not found".
  TField& LookupField(const std::string& name) const { return FieldByName(name); }

  // A read-only cursor refuses every change; Edit on an empty filtered view is refused with
  // "Cannot perform this operation on an empty dataset" rather than starting an insert.
  void Insert() override;
  void Edit() override;
  void Post() override;
  void Delete() override;

  int RecordCount() override;
  int RecordNumber();

  // Random access for views. ReadRecordAt reads the record with index bookmark into buffer
  // (made by NewRecordBuffer) without moving the cursor and says whether AcceptRecord
  // accepts it; a filter callback run meanwhile reads that record. Fails with "Bookmark %d
  // not found" outside the file.
  TRecordBuffer NewRecordBuffer() { return AllocRecordBuffer(); }
  bool ReadRecordAt(TBookmark bookmark, TRecordBuffer& buffer);
  std::string DisplayTextAt(const TField& field, const TRecordBuffer& buffer) {
    return FieldDisplayText(field, &buffer);
  }
  static TBookmark RecordIndexOf(const TRecordBuffer& buffer);

  // A number no other opening of any table in this process has had, 0 while closed: what a
  // filter keys the field layout it worked out on.
  std::uint64_t OpenStamp() const { return openStamp_; }

  // Whether this system writes values of the field back (false for the binary and other
  // foreign types it only reads).
  bool FieldWritable(const TField& field) const;
  // The character fields' text of the record in buffer (from ReadRecordAt) as if the table
  // were in code page page, in UTF-8: what a choice of page would show. Other fields give "".
  std::string PreviewTextAt(const TField& field, const TRecordBuffer& buffer, int page) const;

  // The bytes of the record in use as the file holds them (deletion flag first), nullptr
  // when no record is shown; valid until the cursor moves or the record changes.
  const std::uint8_t* RecordBytesInUse() const { return RecordInUse(nullptr); }
  // The record in use is deleted by the rule of dbf/deletionflag.h (its flag is '*').
  bool IsDeleted();
  // Clears the deletion flag of the current record (shown through ShowDeleted) and writes
  // it at once, as a post would; refused on a read-only cursor and when no record is shown.
  void Recall();
  // How many records of the file are deleted (deletionflag.h); counted from the memory view
  // after a change of flags, then remembered.
  int DeletedCount();

  // The order in which navigation, views and reports meet the records: by the key fields
  // named (compared without regard to case), or physical order when fieldNames is empty.
  // Kept in memory only and dropped on Close; the cursor stays on its record. Posted
  // records move to where their key now belongs.
  void SetOrder(const std::vector<std::string>& fieldNames, bool descending = false);
  // The order of a tag of an attached index file (Indexes().FindTag, case ignored), walked
  // from the index as positions are asked for (see dbf/tagorder.h), so that the first and
  // last records show at once at any table size; "" is physical order. The cursor goes to
  // the first record of the order. A FOR tag holds only the records it lets in; records
  // appended since the order was set follow the tag's entries. The index is never written:
  // a posted record whose key changed stays where the index has it, until the table is
  // opened again with an index that holds the change. Raises EDatabaseError "No attached
  // index has a tag 'X'", "Tag X is not understood: " and the reason, or "Tag X is
  // damaged: " and the reason; the order in use is then kept.
  void SetTagOrder(const std::string& tagName);
  void SetTagOrder(const TIndexReader& reader, int tag);
  const std::string& OrderTagName() const { return tagOrder_.TagName(); }
  // The positions the order runs over: every record of the file, or in tag order the
  // tag's entries and the records appended since.
  std::int32_t PositionCount();
  bool Ordered() const { return order_.Active() || tagOrder_.Active(); }
  bool OrderDescending() const { return order_.Descending(); }
  // The key field names in order, empty for physical order.
  std::vector<std::string> OrderFieldNames() const;
  // Positions run over every record of the file (deleted and filtered-out ones included):
  // the record index at a position, and the position of a record index.
  TBookmark RecordAtPosition(std::int32_t position);
  std::int32_t PositionOf(TBookmark record);
  // Changes whenever positions of records change (order set, a posted record moved), so
  // that views holding positions know to learn them again.
  std::uint64_t OrderVersion() const { return orderVersion_; }

  // A memo value as a stream: read mode gives the memo of the record in use; a write-mode
  // stream stores its content as the memo when closed (edit or insert state only).
  std::unique_ptr<TMyBlobFile> CreateBlobStream(TField& field, TMyBlobFile::Mode mode);

  // Makes a new empty table from FieldDefs() at TableName (closed cursor only; it stays
  // closed). Names, sizes and types are checked before any file is touched.
  void CreateTableFile();

  // How the open table's fields lie in its records and are read (no columns while closed):
  // built when the table opens, its translation following the code pages as they change.
  // The order, the display texts, the record finder and the filter plan read through it.
  const TColumnLayout& Layout() const;

  // The attached files (nullptr while closed or when the table has none).
  TDbfFile* DbfFile() const { return dbfFile_; }
  TDbtFile* MemoFile() const { return memoFile_; }
  TFptFile* FptFile() const { return fptFile_; }  // FoxPro tables' memo file
  // The paged file holding the production index (else a .mdx beside the table), in the
  // table's mode; the readers of Indexes() read through it.
  TIndexFile* IndexFile() const { return indexFile_; }
  // The index files attached to the open table, their tags compiled against it (nothing
  // while closed): the production index, a .mdx beside the table, the user's files.
  const TTableIndexes& Indexes() const { return indexes_; }
  // The user's index files to attach when the table opens (closed cursor only). One that
  // cannot be read then is listed in Indexes().Unreadable(); the table opens all the same.
  void SetIndexFiles(std::vector<std::string> paths);
  // Attaches the index file at path to the open table (remembered for the next opening;
  // on a closed cursor only remembered). Raises the reader's error, EIndexFileError with
  // its message, for a file that is not an index file; the same file twice is a no-op.
  void AttachIndexFile(const std::string& path);
  // The user's index files, as given.
  std::vector<std::string> IndexFiles() const { return userIndexFiles_; }
  // Set when the table opened: why its memo fields cannot be read (see MemoFileProblem in
  // dbf/memofile.h), empty when they can. The status bar and tavlo-cli show it.
  const std::string& MemoFileProblemText() const { return memoProblem_; }
  // What the opening checks of the last Open (or UpdateFieldDefs) corrected and went on with,
  // in the order found, each the text of one message box (see TDbfFile::TakeOpenDiagnostics).
  // Kept when the opening fails after them, and until the next opening starts: the caller
  // shows them, before the failure if there is one. A table file another cursor holds open
  // already was checked, and said, when that one opened it.
  const std::vector<std::string>& OpenDiagnostics() const { return openDiagnostics_; }

  // Field data hooks (see TDataSet).
  bool GetFieldData(const TField& field, void* dest, const TRecordBuffer* from) override;
  std::string FieldText(const TField& field, const TRecordBuffer* from) override;
  std::string FieldDisplayText(const TField& field, const TRecordBuffer* from) override;
  Variant FieldVariant(const TField& field, const TRecordBuffer* from) override;
  // FieldVariant written into out, reusing out's text storage: the record filter's way to
  // hand a field of the record under test to the script without a second copy.
  void FieldVariantInto(const TField& field, const TRecordBuffer* from, Variant& out);

  // File handling, as Open, Close and CreateTableFile use it.
  void AttachFiles(bool create);
  void ReleaseFiles(bool flushHeader);

 protected:
  TRecordBuffer AllocRecordBuffer() override;
  void InternalInitRecord(TRecordBuffer& buffer) override;
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool check) override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalGotoBookmark(TBookmark bookmark) override;
  void InternalSetToRecord(const TRecordBuffer& buffer) override;
  TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override;
  void SetBookmarkData(TRecordBuffer& buffer, TBookmark bookmark) override;
  TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const override;
  void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) override;
  void InternalOpen() override;
  void InternalClose() override;
  void InternalPost() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  void InternalSetFieldValue(TField& field, const TFieldWrite& write) override;
  bool IsCursorOpen() const override { return filesAttached_; }

 private:
  // AttachFiles once, for the data file at dataPath.
  void AttachFilesAt(bool create, const std::string& dataPath);
  bool AcceptRecord(TRecordBuffer& buffer);
  // OnFilterRecordBytes on the mapped record index, before it is copied; Undecided when the
  // record is not mapped or no byte test is installed. A failing test leaves the record in
  // buffer, as the copying path would.
  TRecordVerdict TestMappedRecord(std::int64_t index, TRecordBuffer& buffer);
  void ReadInto(std::int64_t index, TRecordBuffer& buffer);
  // The record bytes in use for field access, or nullptr when no record is shown.
  const std::uint8_t* RecordInUse(const TRecordBuffer* from) const;
  std::string MemoText(const TField& field, const std::uint8_t* record);
  std::string LoadMemoAt(std::int32_t block);
  std::string MemoToAnsi(const TField& field, std::string stored) const;
  std::string MemoFromAnsi(const TField& field, std::string text) const;
  void StoreMemoAt(const TField& field, std::int32_t& block, std::int64_t oldSize,
                   const std::string& text);
  void StoreMemo(TField& field, const std::string& text);
  bool LayoutReadOnly() const {
    return dbfFile_ != nullptr && !dbfFile_->LayoutCorrection().empty();
  }
  void ApplyCodePage(TDbfFile& data, const std::string& dataPath) const;
  // Moves what data's opening checks found into OpenDiagnostics.
  void TakeOpenDiagnostics(TDbfFile& data);
  // The field definitions read from the attached data file, its diagnostics taken.
  void LoadFieldList();
  void CheckFieldOfThisTable(const TField& field) const;

  std::string tableName_;
  std::string runTimePath_ = ".";
  std::string designTimePath_;
  bool readOnly_ = false;
  int codePage_ = 0;
  bool showDeleted_ = false;
  bool filtered_ = false;

  TFieldDefs fieldDefs_;
  TDbfFile* dbfFile_ = nullptr;
  TDbtFile* memoFile_ = nullptr;
  TFptFile* fptFile_ = nullptr;
  std::string memoProblem_;
  std::vector<std::string> openDiagnostics_;
  TIndexFile* indexFile_ = nullptr;
  std::vector<std::string> userIndexFiles_;
  TTableIndexes indexes_;
  bool filesAttached_ = false;
  std::int32_t currentIndex_ = -1;
  TRecordBuffer scratch_;
  const TRecordBuffer* filterRecord_ = nullptr;
  std::uint64_t openStamp_ = 0;
  mutable TColumnLayout layout_;
  // While ordered, currentIndex_ is a position in order_ (or tagOrder_) rather than a record
  // index; at most one of the two is active.
  TRecordOrder order_;
  TTagOrder tagOrder_;
  std::shared_ptr<TRecordCandidates> candidates_;
  std::uint64_t candidatesStamp_ = 0;  // openStamp_ the candidates were made for
  // Records this cursor rewrote since the table opened: the index files still hold their
  // old keys, so every candidate set takes them in.
  std::set<std::int32_t> writtenRecords_;
  std::uint64_t orderVersion_ = 0;
  std::uint64_t tagRelayouts_ = 0;  // tagOrder_.Relayouts() as orderVersion_ last counted it
  int deletedCount_ = -1;           // -1: count again
  int deletedCountedFor_ = -1;      // the record count it was counted for
  // The record index at the current position (currentIndex_ inside the positions); -1 for
  // a hole of a tag order.
  std::int32_t CurrentRecord();
  std::int32_t RecordAtOrdered(std::int32_t position);
  void NoteTagRelayout();
  // Brings the order up to the records the file now holds.
  void SyncOrder();
  // Starts reading the record some positions ahead in the order (direction +1 or -1).
  void PrefetchAhead(int direction);
  // The index behind filter candidates is not rewritten: a record changed here must be
  // tested by the filter again whatever its old key was.
  void NoteRecordWritten(std::int32_t record);
};

// Settles the code page of a data file: chosenPage when not 0, else a .cpg file beside
// dataPath, else the language byte.
void ApplyTableCodePage(TDbfFile& data, const std::string& dataPath, int chosenPage);

}  // namespace tavlo
