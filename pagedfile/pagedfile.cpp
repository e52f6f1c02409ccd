// The page layer of TqelPagedFile: creating and opening a file, page 0 and its credentials,
// record chains (write, read, free), free-page search and record locks. Queries over the
// record set live in queries.cpp; user slots in usersfile.cpp.

#include "pagedfile/pagedfile.h"

#include <cassert>
#include <limits>
#include <vector>

#include "pagedfile/pagelocks.h"
#include "pagedfile/usersfile.h"
#include "text/qelstrings.h"
#include "text/trim.h"

namespace tavlo {
namespace {

const char kIncrementKeyText[] = "brenlaid";
// Next-page fields are 32 bits wide, so no page may start beyond this offset.
constexpr std::int64_t kMaxPageOffset = std::numeric_limits<std::uint32_t>::max();

void CheckCredentials(const std::string& userName, const std::string& password) {
  auto bad = [](const std::string& s) { return s.size() < 5 || s.size() > 12; };
  if (bad(userName) || bad(password))
    throw EqelPageError("The length of both UserName and Password must be 5..12 characters.");
}

}  // namespace

TqelPagedFile::TqelPagedFile() : records_(*this) {}

TqelPagedFile::~TqelPagedFile() noexcept {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; Close has released what it could.
  }
}

void TqelPagedFile::Create(const std::string& fileName, int pageSize, const std::string& userName,
                           const std::string& password) {
  CheckCredentials(userName, password);
  if (pageSize < kMinPageSize) throw EqelPageError("The page size must be >= 64");
  if (pageSize > kMaxPageSize)
    throw EqelPageError("The page size must be <= " + std::to_string(kMaxPageSize));
  std::string page(pageSize, ' ');
  PageHeader header;
  header.next = static_cast<std::uint32_t>(pageSize);
  std::string credentials = EncryptBase64(userName + password, HashText(userName),
                                          HashText(password), HashText(kIncrementKeyText));
  assert(credentials.size() <= static_cast<std::size_t>(pageSize - kPageHeaderSize));
  page.replace(kPageHeaderSize, credentials.size(), credentials);
  // Page 0's header: everything zero except the page size in the next-page field.
  for (int i = 0; i < kPageHeaderSize; ++i) page[i] = 0;
  for (int i = 0; i < 4; ++i) page[4 + i] = static_cast<char>((header.next >> (8 * i)) & 0xFF);
  if (!Files().FileExists(fileName)) {
    auto created = Files().OpenShared(fileName, true);
    try {
      created->WriteAt(0, page.data(), page.size());
    } catch (...) {
      created.reset();
      // A file without its first page is no paged file: leave nothing behind.
      Files().DeleteFile(fileName);
      throw;
    }
    return;
  }
  // An existing file is emptied only while no other program is inside one of its chains.
  auto stream = Files().OpenShared(fileName, false);
  PagesLock lock(*stream, RangeLockKind::Exclusive);
  stream->Truncate(0);
  stream->WriteAt(0, page.data(), page.size());
}

void TqelPagedFile::Open(const std::string& fileName, const std::string& userName,
                         const std::string& password, bool reader) {
  CheckCredentials(userName, password);
  if (open_) Close();
  if (!Files().FileExists(fileName))
    throw EqelPageError("can not open non existing file: " + fileName);
  stream_ = Files().OpenShared(fileName, false);
  try {
    // A reader of a file it may not write takes no user slot: it never owns a record lock,
    // and the folder (a CD, a shared archive) may not let it write the users file either.
    if (!reader && !stream_->ReadOnly())
      userSlot_ = TakeUserSlot(*stream_, UsersFileName(fileName));
  } catch (...) {
    stream_.reset();
    throw;
  }
  fileName_ = fileName;
  open_ = true;
  freeSearchStart_ = 0;
  searchesUntilRescan_ = 0;
  try {
    std::int64_t fileSize = stream_->Size();
    PageHeader page0 = ReadHeader(0);
    // The stored page size is trusted only as far as it can describe this file.
    if (page0.next <= static_cast<std::uint32_t>(kPageHeaderSize) || page0.next > fileSize ||
        page0.next > static_cast<std::uint32_t>(kMaxPageSize))
      throw EqelPageError("can not open file: invalid page size");
    pageSize_ = static_cast<int>(page0.next);
    std::string payload(pageSize_ - kPageHeaderSize, ' ');
    payload.resize(stream_->ReadAt(kPageHeaderSize, payload.data(), payload.size()));
    startKey_ = HashText(userName);
    multiplier_ = HashText(password);
    increment_ = HashText(kIncrementKeyText);
    std::string credentials =
        DecryptBase64(std::string(TrimControl(payload)), startKey_, multiplier_, increment_);
    if (credentials != userName + password)
      throw EqelPageError("can not open file: invalid username or password");
  } catch (...) {
    ReleaseSlotAndStream();
    throw;
  }
  userName_ = userName;
  password_ = password;
}

void TqelPagedFile::Close() {
  if (!open_) return;
  // The slot and the stream go even when unlocking the set fails.
  try {
    records_.Clear();
  } catch (...) {
    ReleaseSlotAndStream();
    throw;
  }
  std::string usersPath = UsersFileName(fileName_);
  int slot = userSlot_;
  auto stream = std::move(stream_);
  open_ = false;
  userSlot_ = 0;
  fileName_.clear();
  userName_.clear();
  password_.clear();
  pageSize_ = 0;
  if (slot != 0) ReleaseUserSlot(*stream, usersPath, slot);
}

void TqelPagedFile::ReleaseSlotAndStream() noexcept {
  try {
    records_.Clear();
  } catch (...) {
  }
  if (stream_ && userSlot_ != 0) {
    try {
      ReleaseUserSlot(*stream_, UsersFileName(fileName_), userSlot_);
    } catch (...) {
    }
  }
  stream_.reset();
  open_ = false;
  userSlot_ = 0;
  fileName_.clear();
  userName_.clear();
  password_.clear();
  pageSize_ = 0;
}

TqelPagedFile::PageHeader TqelPagedFile::ReadHeader(std::int64_t page) {
  unsigned char raw[kPageHeaderSize] = {};
  // Beyond the end of the file a page reads as free.
  stream_->ReadAt(page, raw, sizeof raw);
  PageHeader header;
  header.used = raw[0] == 1;
  header.first = raw[1] == 1;
  header.next = std::uint32_t{raw[4]} | std::uint32_t{raw[5]} << 8 | std::uint32_t{raw[6]} << 16 |
                std::uint32_t{raw[7]} << 24;
  header.owner = raw[8];
  return header;
}

void TqelPagedFile::WriteHeader(std::int64_t page, const PageHeader& header) {
  char raw[kPageHeaderSize] = {};
  raw[0] = header.used ? 1 : 0;
  raw[1] = header.first ? 1 : 0;
  for (int i = 0; i < 4; ++i) raw[4 + i] = static_cast<char>((header.next >> (8 * i)) & 0xFF);
  raw[8] = static_cast<char>(header.owner);
  stream_->WriteAt(page, raw, sizeof raw);
}

void TqelPagedFile::WritePage(std::int64_t page, const PageHeader& header,
                              const std::string& payload) {
  assert(payload.size() <= static_cast<std::size_t>(pageSize_ - kPageHeaderSize));
  std::string raw(pageSize_, ' ');
  raw[0] = header.used ? 1 : 0;
  raw[1] = header.first ? 1 : 0;
  raw[2] = raw[3] = 0;
  for (int i = 0; i < 4; ++i) raw[4 + i] = static_cast<char>((header.next >> (8 * i)) & 0xFF);
  raw[8] = static_cast<char>(header.owner);
  raw[9] = raw[10] = raw[11] = 0;
  raw.replace(kPageHeaderSize, payload.size(), payload);
  // One write per page: header and payload together.
  stream_->WriteAt(page, raw.data(), raw.size());
}

std::int64_t TqelPagedFile::CheckedNext(std::int64_t page, std::uint32_t next,
                                        std::int64_t fileSize) {
  if (next == 0) return 0;
  if (next % pageSize_ != 0 || next >= fileSize || next == page)
    throw EqelPageError("can not read record: broken page chain at offset " + std::to_string(page));
  return next;
}

std::int64_t TqelPagedFile::NextFreePage(std::int64_t offset) {
  if (!open_) throw EqelPageError("can not set record because file is not open");
  PagesLock lock(*stream_, RangeLockKind::Shared);
  return NextFreePageLocked(offset);
}

namespace {
constexpr int kRescanInterval = 1024;
}  // namespace

std::int64_t TqelPagedFile::NextFreePageLocked(std::int64_t offset) {
  const std::int64_t size = stream_->Size();
  if (--searchesUntilRescan_ < 0) {
    freeSearchStart_ = 0;
    searchesUntilRescan_ = kRescanInterval;
  }
  std::int64_t a = offset + pageSize_;
  // The pages between offset and the remembered start were all in use.
  const bool fromStart = a <= freeSearchStart_;
  if (fromStart) a = std::min(freeSearchStart_, std::max<std::int64_t>(size, pageSize_));
  std::int64_t mapped = 0;
  if (const std::uint8_t* view = stream_->MapView(mapped); view && mapped >= size) {
    while (a < size && view[a] == 1) a += pageSize_;
  } else {
    while (a < size) {
      unsigned char used = 0;
      stream_->ReadAt(a, &used, 1);
      if (used != 1) break;
      a += pageSize_;
    }
  }
  // Not past a: the caller may not take that page after all.
  if (fromStart || offset < pageSize_) freeSearchStart_ = a;
  return a;
}

void TqelPagedFile::Append(const std::string& record) {
  if (!open_) throw EqelPageError("can not append record because file is not open");
  WriteRecord(0, record, false);
}

std::int64_t TqelPagedFile::WriteRecord(std::int64_t firstPage, const std::string& text,
                                        bool keepLock) {
  if (!open_) throw EqelPageError("can not set record because file is not open");
  PagesLock lock(*stream_, RangeLockKind::Exclusive);
  return WriteRecordLocked(firstPage, text, keepLock);
}

std::int64_t TqelPagedFile::WriteRecordLocked(std::int64_t firstPage, const std::string& text,
                                              bool keepLock) {
  const std::string d = EncryptBase64(text, startKey_, multiplier_, increment_);
  const std::size_t payloadSize = pageSize_ - kPageHeaderSize;
  const std::uint8_t owner = keepLock ? static_cast<std::uint8_t>(userSlot_) : 0;
  // An empty record still owns one page, so that it reads back empty instead of vanishing.
  const std::size_t pieces = std::max<std::size_t>(1, (d.size() + payloadSize - 1) / payloadSize);
  // Refuse before writing anything rather than leave half a chain when the 32-bit page
  // offsets would run out (counted as if no free page could be reused).
  std::int64_t fileSize = stream_->Size();
  if (fileSize + static_cast<std::int64_t>(pieces) * pageSize_ > kMaxPageOffset)
    throw EqelPageError("can not set record: the file has reached its size limit");

  // The pages of the chain: the existing ones in order, then each further one the first free
  // page after the one before it (for a new chain the first is the first free page of all).
  std::vector<std::int64_t> chain;
  bool firstFlag = true;
  if (firstPage != 0) {
    firstFlag = ReadHeader(firstPage).first;
    std::int64_t steps = fileSize / pageSize_ + 1;
    for (std::int64_t page = firstPage; page != 0;) {
      if (--steps < 0)
        throw EqelPageError("can not read record: broken page chain at offset " +
                            std::to_string(firstPage));
      chain.push_back(page);
      PageHeader header = ReadHeader(page);
      page = header.used ? CheckedNext(page, header.next, fileSize) : 0;
    }
  }
  std::vector<std::int64_t> surplus;
  if (chain.size() > pieces) {
    surplus.assign(chain.begin() + pieces, chain.end());
    chain.resize(pieces);
  }
  while (chain.size() < pieces)
    chain.push_back(NextFreePageLocked(chain.empty() ? 0 : chain.back()));

  // Last page first: a write that fails part-way leaves unlinked continuation pages (which
  // selects skip) rather than a first page pointing at pages never written.
  for (std::size_t k = pieces; k-- > 0;) {
    PageHeader header;
    header.used = true;
    header.first = k == 0 && firstFlag;
    header.next = k + 1 < pieces ? static_cast<std::uint32_t>(chain[k + 1]) : 0;
    header.owner = owner;
    WritePage(chain[k], header, d.substr(std::min(d.size(), k * payloadSize), payloadSize));
  }
  for (std::int64_t page : surplus) {
    WritePage(page, PageHeader{}, std::string());
    freeSearchStart_ = std::min(freeSearchStart_, page);
  }
  return chain.front();
}

std::string TqelPagedFile::ReadRecord(std::int64_t firstPage) {
  if (!open_) throw EqelPageError("can not get record because file is not open");
  PagesLock lock(*stream_, RangeLockKind::Shared);
  return ReadRecordLocked(firstPage);
}

std::string TqelPagedFile::ReadRecordLocked(std::int64_t firstPage) {
  const std::int64_t size = stream_->Size();
  const std::size_t payloadSize = pageSize_ - kPageHeaderSize;
  std::string d;
  std::string raw(pageSize_, ' ');
  std::int64_t page = firstPage;
  // A chain can have no more pages than the file; more means a cycle.
  std::int64_t steps = size / pageSize_ + 1;
  while (page != 0) {
    if (--steps < 0)
      throw EqelPageError("can not read record: broken page chain at offset " +
                          std::to_string(firstPage));
    std::size_t n = stream_->ReadAt(page, raw.data(), raw.size());
    if (n < static_cast<std::size_t>(kPageHeaderSize))
      throw EqelPageError("can not read record: broken page chain at offset " +
                          std::to_string(page));
    d.append(raw, kPageHeaderSize, std::min(payloadSize, n - kPageHeaderSize));
    const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
    std::uint32_t next = std::uint32_t{b[4]} | std::uint32_t{b[5]} << 8 |
                         std::uint32_t{b[6]} << 16 | std::uint32_t{b[7]} << 24;
    page = CheckedNext(page, next, size);
  }
  d.resize(TrimRightBlanks(d).size());
  try {
    return DecryptBase64(d, startKey_, multiplier_, increment_);
  } catch (const EConvertError& e) {
    // A damaged record: say which, so that it can be found and mended.
    throw EqelPageError("can not read record: the record at offset " + std::to_string(firstPage) +
                        " of " + fileName_ + " does not decode (" + e.what() + ")");
  }
}

void TqelPagedFile::FreeChain(std::int64_t firstPage) {
  if (!open_) throw EqelPageError("can not delete record because file is not open");
  PagesLock lock(*stream_, RangeLockKind::Exclusive);
  FreeChainLocked(firstPage);
}

void TqelPagedFile::FreeChainLocked(std::int64_t firstPage) {
  const std::int64_t size = stream_->Size();
  const std::string spaces;
  std::int64_t page = firstPage;
  std::int64_t steps = size / pageSize_ + 1;
  while (page != 0 && page < size && --steps >= 0) {
    PageHeader header = ReadHeader(page);
    // Stop at a pointer that leads nowhere sensible rather than free a stranger's page.
    std::int64_t next = 0;
    if (header.next != 0 && header.next % pageSize_ == 0 && header.next < size &&
        header.next != page)
      next = header.next;
    WritePage(page, PageHeader{}, spaces);
    freeSearchStart_ = std::min(freeSearchStart_, page);
    page = next;
  }
}

void TqelPagedFile::Lock(std::int64_t firstPage) {
  if (!open_) throw EqelPageError("can not get records because file is not open");
  PagesLock lock(*stream_, RangeLockKind::Exclusive);
  PageHeader header = ReadHeader(firstPage);
  if (header.owner != 0 && header.owner != userSlot_)
    throw EqelPageError("Record locked by another user. Can not read.");
  header.owner = static_cast<std::uint8_t>(userSlot_);
  WriteHeader(firstPage, header);
}

void TqelPagedFile::Unlock(std::int64_t firstPage) {
  if (!open_) return;
  PagesLock lock(*stream_, RangeLockKind::Exclusive);
  PageHeader header = ReadHeader(firstPage);
  // Only our own lock is ours to clear.
  if (header.owner != userSlot_) return;
  header.owner = 0;
  WriteHeader(firstPage, header);
}

}  // namespace tavlo
