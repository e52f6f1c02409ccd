// The record filter: the "Filter" and "Show all" actions, the cursor's filter hook and the
// script's variable callback that hands out the fields of the record under test.
#include "query/recordfilter.h"

#include <cstdint>
#include <cstring>

#include "dbf/fields.h"
#include "script/registry.h"

namespace tavlo {

namespace {

// Names are a few bytes long: words of four bytes compared inline beat a call of the
// library's memcmp (a field name is at most eleven bytes).
bool SameBytes(const std::string& a, const std::string& b) noexcept {
  std::size_t n = a.size();
  if (n != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  for (; n >= 4; n -= 4, p += 4, q += 4) {
    std::uint32_t x, y;
    std::memcpy(&x, p, sizeof x);
    std::memcpy(&y, q, sizeof y);
    if (x != y) return false;
  }
  for (; n > 0; --n)
    if (*p++ != *q++) return false;
  return true;
}

}  // namespace

TRecordFilter::TRecordFilter(TDbf& dbf, TqelScript& script) : dbf_(dbf), script_(script) {
  script_.SetScriptTimeOut(kScriptTimeOut);
  // The variable callback reads one field of the record under test.
  script_.SetHostVariablesQuick(true);
  // Every run of the filter, and every script such a run compiles and runs in turn (set.do,
  // the query of a paged file), refuses the words that change something outside.
  script_.RefuseChanges(kRefusedIn);
  dbf_.OnFilterRecord = [this](TDbf& dataSet, bool& accept) { NewFilterRecord(dataSet, accept); };
  dbf_.OnFilterRecordBytes = [this](TDbf& dataSet, const std::uint8_t* record) {
    return TestRecordBytes(dataSet, record);
  };
  script_.onGetVariable = [this](TqelScript& sender, const std::string& symbol, Variant& value,
                                 bool& handled, std::string& errorStr) {
    qelScript1GetVariable(sender, symbol, value, handled, errorStr);
  };
}

TRecordFilter::~TRecordFilter() noexcept {
  // Leave no callback behind that points at a destroyed filter.
  dbf_.OnFilterRecord = nullptr;
  dbf_.OnFilterRecordBytes = nullptr;
  script_.onGetVariable = nullptr;
  script_.SetHostVariablesQuick(false);
  script_.AllowChanges();
}

void TRecordFilter::SetFilterText(const std::string& text) {
  // After a failed compile the component keeps the atoms built before the error, and the
  // same text assigned again compiles nothing: that half program must not become a filter.
  // Compile it afresh so that the error is raised again.
  if (compileFailed_ && text == script_.Script()) script_.SetScript(std::string());
  compileFailed_ = false;
  plan_.reset();
  try {
    script_.SetScript(text);
    RefuseChangingWords();
  } catch (...) {
    compileFailed_ = true;
    // A filter that is on runs this component for every record it fetches: give it back
    // the script it was applied with.
    if (dbf_.Filtered()) {
      try {
        script_.SetScript(appliedText_);
        compileFailed_ = false;
        plan_ = TFilterPlan::Recognise(script_.Atoms());
        planText_ = appliedText_;
        planStamp_ = 0;
      } catch (...) {
        // It compiled when it was applied; if it no longer does, the error above stands.
      }
    }
    throw;
  }
  plan_ = TFilterPlan::Recognise(script_.Atoms());
  planText_ = text;
  planStamp_ = 0;
  // The candidates were the applied script's; a filter that is on now runs this one.
  dbf_.SetFilterCandidates(nullptr);
  indexTags_.clear();
}

void TRecordFilter::SetPlanning(bool on) {
  planning_ = on;
  planStamp_ = 0;
}

bool TRecordFilter::Planned() {
  if (!planning_ || plan_ == nullptr || !dbf_.Active()) return false;
  // Code pages are set at start-up; a change (tests do it) is noticed when a filter is applied.
  if (planStamp_ != dbf_.OpenStamp()) {
    planStamp_ = dbf_.OpenStamp();
    // A script assigned to the component behind the filter's back is not the plan's.
    planBound_ = script_.Script() == planText_ && plan_->Bind(dbf_);
  }
  return planBound_;
}

TRecordVerdict TRecordFilter::TestRecordBytes(TDbf& DataSet, const std::uint8_t* record) {
  (void)DataSet;
  if (!Planned()) return TRecordVerdict::Undecided;
  return plan_->Accept(record) ? TRecordVerdict::Accept : TRecordVerdict::Reject;
}

// A filter is a question about a record, run once for every record: a word that changes
// something outside (a file, a folder, another program, a dialog, the clipboard) would do so
// thousands of times behind the user's back (a filter once deleted its own table's memo file).
// Refused when compiled, so that such a filter is never switched on; the runs refuse them as
// well (RefuseChanges), which also covers the words of a text the filter runs (set.do).
void TRecordFilter::RefuseChangingWords() const {
  for (const TAtom& atom : script_.Atoms()) {
    const std::string word = ChangingWordOf(atom);
    if (!word.empty())
      throw EqelScriptError("The word " + word + " is not allowed in " + kRefusedIn);
  }
}

void TRecordFilter::Apply() {
  // Bind afresh: the table may have been reopened, or the code pages changed, in between.
  planStamp_ = 0;
  appliedText_ = script_.Script();
  dbf_.SetFiltered(true);
  indexTags_.clear();
  dbf_.SetFilterCandidates(Planned() ? plan_->IndexCandidates(dbf_, &indexTags_) : nullptr);
  dbf_.First();
}

void TRecordFilter::Filter(const std::string& currentTable, const std::string& text) {
  if (currentTable.empty()) return;
  SetFilterText(text);
  Apply();
}

void TRecordFilter::ShowAll() {
  dbf_.SetFiltered(false);
  dbf_.First();
}

void TRecordFilter::NewFilterRecord(TDbf& DataSet, bool& Accept) {
  (void)DataSet;
  Accept = script_.Run().ToBoolean();
}

TField* TRecordFilter::FindFieldCached(const std::string& Symbol) {
  for (FieldCacheEntry& entry : fieldCache_) {
    if (!SameBytes(entry.symbol, Symbol)) continue;
    // The table may have been closed or another one opened since: the position must still
    // hold a field of exactly the name found there.
    if (entry.fieldIndex < dbf_.FieldCount()) {
      TField& field = dbf_.Fields(entry.fieldIndex);
      if (SameBytes(field.FieldName(), entry.fieldName)) return &field;
    }
    TField* found = dbf_.FindField(Symbol);
    if (found == nullptr) return nullptr;
    entry.fieldIndex = found->FieldNo() - 1;
    entry.fieldName = found->FieldName();
    return found;
  }
  TField* found = dbf_.FindField(Symbol);
  // Unknown names are not cached: the lookup fails the run anyway.
  if (found != nullptr) fieldCache_.push_back({Symbol, found->FieldNo() - 1, found->FieldName()});
  return found;
}

void TRecordFilter::qelScript1GetVariable(TqelScript& Sender, const std::string& Symbol,
                                          Variant& value, bool& handled, std::string& ErrorStr) {
  (void)Sender;
  TField* field = dbf_.Active() ? FindFieldCached(Symbol) : nullptr;
  if (field == nullptr) {
    handled = false;
    ErrorStr = "The field " + Symbol + " is not found in this collection";
    return;
  }
  dbf_.FieldVariantInto(*field, nullptr, value);  // the record under test
  handled = true;
}

}  // namespace tavlo
