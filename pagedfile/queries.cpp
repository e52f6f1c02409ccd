// Queries of TqelPagedFile over its record set: select (with record locks when for update),
// find, get, update and delete. A query is a script compiled once in its own TqelScript,
// whose every variable is an attribute of the record under test.

#include <memory>

#include "pagedfile/pagedfile.h"
#include "pagedfile/pagelocks.h"
#include "script/qelscript.h"
#include "text/errors.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

// The query component: every name is an attribute of the current record, a missing one the
// empty text. Asked by a running script, it works on that run's behalf (before it compiles).
std::unique_ptr<TqelScript> NewQuery(const std::string& query, const std::string& record,
                                     const TqelScript* caller) {
  auto script = std::make_unique<TqelScript>();
  if (caller) script->InheritRun(*caller);
  script->onGetVariable = [&record](TqelScript&, const std::string& symbol, Variant& value,
                                    bool& handled, std::string&) {
    value = Variant(AttrGet(record, symbol));
    handled = true;
  };
  script->SetScript(query);
  return script;
}

}  // namespace

void TqelPagedFile::Select(const std::string& query, bool forUpdate, const TqelScript* caller) {
  if (!open_) throw EqelPageError("can not get records because file is not open");
  records_.Clear();
  records_.SetWritable(forUpdate);
  std::unique_ptr<TqelScript> script;
  if (!query.empty()) script = NewQuery(query, currentRecord_, caller);
  // Query runs of a few quick atoms never read the clock: the walk itself keeps to the time.
  const TWorkMeter meter = caller ? caller->WorkMeter() : TWorkMeter();
  auto qualifies = [&](const std::string& text) {
    if (!script) return true;
    currentRecord_ = text;
    return script->Run().ToBoolean();
  };

  const std::int64_t size = stream_->Size();
  for (std::int64_t a = pageSize_; a < size; a += pageSize_) {
    meter.Step();
    std::string text;
    {
      PagesLock lock(*stream_, RangeLockKind::Shared);
      PageHeader header = ReadHeader(a);
      if (!header.used || !header.first) continue;
      text = ReadRecordLocked(a);
    }
    if (!qualifies(text)) continue;
    if (forUpdate) {
      // Lock and read again in one step: the text in the set is then the one under our lock,
      // even if another program changed the record since it was tested.
      std::string locked;
      {
        PagesLock lock(*stream_, RangeLockKind::Exclusive);
        PageHeader header = ReadHeader(a);
        if (!header.used || !header.first) continue;  // deleted meanwhile
        if (header.owner != 0 && header.owner != userSlot_)
          throw EqelPageError("Record locked by another user. Can not read.");
        locked = ReadRecordLocked(a);
        header.owner = static_cast<std::uint8_t>(userSlot_);
        WriteHeader(a, header);
      }
      if (locked != text && !qualifies(locked)) {
        Unlock(a);
        continue;
      }
      text = std::move(locked);
    }
    records_.Add(std::move(text), a);
  }
}

int TqelPagedFile::Find(const std::string& query, int start, const TqelScript* caller) {
  if (!open_) throw EqelPageError("can not find record because file is not open");
  if (records_.Count() == 0 || query.empty() || start >= records_.Count()) return -1;
  if (start < 0) throw EListError::ForIndex(start);
  auto script = NewQuery(query, currentRecord_, caller);
  const TWorkMeter meter = caller ? caller->WorkMeter() : TWorkMeter();
  for (int i = start; i < records_.Count(); ++i) {
    meter.Step();
    currentRecord_ = records_[i].text;
    if (script->Run().ToBoolean()) return i;
  }
  return -1;
}

void TqelPagedFile::CheckIndex(int index) const {
  if (index < 0 || index >= records_.Count())
    throw EqelPageError("record index out of range: " + std::to_string(index));
}

std::string TqelPagedFile::Get(int index) {
  if (!open_) throw EqelPageError("can not get record because file is not open");
  CheckIndex(index);
  return records_[index].text;
}

void TqelPagedFile::Update(int index, const std::string& record) {
  if (!open_) throw EqelPageError("can not set record because file is not open");
  CheckIndex(index);
  if (!records_.Writable()) throw EqelPageError("can not update; recordset is readonly");
  // The file first: when the write fails, the set still shows what the file holds.
  WriteRecord(records_[index].firstPage, record, true);
  records_.SetText(index, record);
}

void TqelPagedFile::Delete(int index) {
  if (!open_) throw EqelPageError("can not delete record because file is not open");
  CheckIndex(index);
  if (!records_.Writable()) throw EqelPageError("can not delete; recordset is readonly");
  // Free first: a record that stayed in the file must stay in the set, or its lock would
  // outlive the set.
  FreeChain(records_[index].firstPage);
  records_.Remove(index);
}

}  // namespace tavlo
