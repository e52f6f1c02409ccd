// TqelPagedFile: an enciphered multi-user file of text records kept in chains of fixed-size
// pages, with user slots, record locks and script-driven queries over a record set.
// Raises EqelPageError; never shows a message.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "pagedfile/pageerror.h"
#include "pagedfile/recordlist.h"
#include "platform/filesystem.h"

namespace tavlo {

class TqelScript;

// File layout: pages of P bytes, page k at offset k*P. Each page starts with a 12-byte header
// (used flag, first flag, 2 spare bytes, next-page offset as 32-bit little endian, lock owner,
// 3 spare bytes). Page 0 holds P in its next-page field and the enciphered user name and
// password as its payload; records live in chains from page 1 on.
//
// States:
//   closed  - after construction, Close() or a failed Open(); Create() works here and leaves
//             the component closed.
//   open    - after a successful Open(): the stream is open and a user slot is taken.
// Close() (and the destructor) releases the record locks of a writable set, gives the user
// slot back and closes the stream.
//
// Between processes: every page write, allocation and record-lock change holds the data
// file's pages lock exclusively, and every chain read holds it shared, so two programs never
// take the same free page and never read a half-written chain.
class TqelPagedFile {
 public:
  static constexpr int kPageHeaderSize = 12;
  static constexpr int kMinPageSize = 64;
  static constexpr int kMaxPageSize = 1 << 24;

  TqelPagedFile();
  ~TqelPagedFile() noexcept;
  TqelPagedFile(const TqelPagedFile&) = delete;
  TqelPagedFile& operator=(const TqelPagedFile&) = delete;

  void Create(const std::string& fileName, int pageSize, const std::string& userName,
              const std::string& password);
  // An open component is closed first. A reader takes no user slot, as for a file the user
  // may only read, so that opening writes nothing (the users file included): how a script
  // run that may change nothing opens the file; it then only reads.
  void Open(const std::string& fileName, const std::string& userName, const std::string& password,
            bool reader = false);
  void Close();
  bool IsOpen() const { return open_; }

  void Append(const std::string& record);
  // Stores text in the chain starting at firstPage (0: a new chain); returns the chain's
  // first page. With keepLock every page carries this user's slot as lock owner.
  std::int64_t WriteRecord(std::int64_t firstPage, const std::string& text, bool keepLock);
  std::string ReadRecord(std::int64_t firstPage);
  void FreeChain(std::int64_t firstPage);
  // The first free page after offset, or the end of the file.
  std::int64_t NextFreePage(std::int64_t offset);
  void Lock(std::int64_t firstPage);
  void Unlock(std::int64_t firstPage);

  // Queries over the record set. A query asked by a running script (caller) runs on that
  // run's behalf: with its restriction and within its time limit (TqelScript::InheritRun),
  // and the walk over the records keeps to that limit too.
  void Select(const std::string& query, bool forUpdate, const TqelScript* caller = nullptr);
  void OrderBy(const std::string& keyList, const TWorkMeter& meter = {}) {
    records_.OrderBy(keyList, meter);
  }
  int Count() const { return records_.Count(); }
  int Find(const std::string& query, int start, const TqelScript* caller = nullptr);
  std::string Get(int index);
  void Update(int index, const std::string& record);
  void Delete(int index);

  const TRecordList& Records() const { return records_; }
  // The record text a running query looks at.
  const std::string& CurrentRecord() const { return currentRecord_; }
  int PageSize() const { return pageSize_; }
  int UserSlot() const { return userSlot_; }
  const std::string& FileName() const { return fileName_; }

 private:
  struct PageHeader {
    bool used = false;
    bool first = false;
    std::uint32_t next = 0;
    std::uint8_t owner = 0;
  };

  PageHeader ReadHeader(std::int64_t page);
  void WritePage(std::int64_t page, const PageHeader& header, const std::string& payload);
  void WriteHeader(std::int64_t page, const PageHeader& header);
  std::int64_t NextFreePageLocked(std::int64_t offset);
  std::int64_t WriteRecordLocked(std::int64_t firstPage, const std::string& text, bool keepLock);
  std::string ReadRecordLocked(std::int64_t firstPage);
  void FreeChainLocked(std::int64_t firstPage);
  std::int64_t CheckedNext(std::int64_t page, std::uint32_t next, std::int64_t fileSize);
  void CheckIndex(int index) const;
  void ReleaseSlotAndStream() noexcept;

  std::unique_ptr<SharedFile> stream_;
  int pageSize_ = 0;
  std::string fileName_;
  std::string userName_;
  std::string password_;
  int startKey_ = 0;
  int multiplier_ = 0;
  int increment_ = 0;
  int userSlot_ = 0;
  bool open_ = false;
  // Where the search for a free page starts: every page before it was in use when this
  // process last looked, so an append need not scan the whole file again (which made a
  // series of appends quadratic). Pages freed by this process move it back; pages another
  // process frees are found when the search starts over from the first page, as it does
  // every kRescanInterval searches.
  std::int64_t freeSearchStart_ = 0;
  int searchesUntilRescan_ = 0;
  TRecordList records_;
  std::string currentRecord_;
};

}  // namespace tavlo
