// The filter plan's candidates from index tags: which records an equality or a range on a
// character field can accept, read from a tag's tree instead of the table.
//
// Why the ranges are supersets: the plan compares a field's value with its leading and
// trailing blanks and control bytes trimmed, while a tag holds the field's bytes as they are.
// Every key that starts with such a byte (blank fields, values with leading blanks) lies at
// the start of the tag and is always taken; a value without them has the key "value" padded
// with blanks, which sorts against the padded literal as the value sorts against the literal
// as long as the literal holds no byte below the blank. Accept then decides every candidate.
#include <algorithm>
#include <cstring>

#include "dbf/keyencode.h"
#include "query/filterplan.h"

namespace tavlo {

namespace {

// A tag whose keys are the bytes of field (upper: in capitals) of every record, in byte
// order; nullptr when the table has none.
const TAttachedTag* TagOfField(const TTableIndexes& indexes, int field, bool upper) {
  for (const TAttachedTag& tag : indexes.Tags()) {
    if (!tag.understood || tag.key == nullptr || tag.key->HasFor()) continue;
    const TIndexTag& info = tag.Info();
    if (info.unique || info.descending || !info.readable || !info.forExpression.empty()) continue;
    if (tag.reader->HeaderDamaged(tag.tag)) continue;
    const TKeyEncoding& encoding = tag.key->Encoding();
    if (encoding.kind != TKeyKind::Character) continue;
    bool inCapitals = false;
    if (tag.key->KeyExpression().SingleField(inCapitals) == field && inCapitals == upper) {
      return &tag;
    }
  }
  return nullptr;
}

class Collector {
 public:
  Collector(const TAttachedTag& tag, std::int32_t records)
      : cursor_(tag.reader->Cursor(tag.tag)),
        marker_(tag.key->Encoding().nullMarker ? 1 : 0),
        set_(std::make_shared<TRecordCandidates>(records)) {}

  // The entries at the start: null keys (a marker byte below 0x80, all zero) and those whose
  // value begins with a blank or a control byte.
  void TakeLeadingBlanks() {
    for (bool more = cursor_.First(); more && (Byte(0) < 0x80 || Byte(marker_) <= 32);
         more = cursor_.Next()) {
      Take();
    }
  }
  void TakeEqual(const std::string& key) {
    for (bool more = cursor_.Seek(key); more && cursor_.Key() == key; more = cursor_.Next()) {
      Take();
    }
  }
  // From the first entry while its first bytes do not sort after prefix.
  void TakeUpTo(const std::string& prefix) {
    for (bool more = cursor_.First(); more && PrefixOrder(prefix) <= 0; more = cursor_.Next()) {
      Take();
    }
  }
  // From the first entry whose first bytes do not sort before prefix to the end.
  void TakeFrom(const std::string& prefix, std::size_t keyLength) {
    std::string key = marker_ != 0 ? "\x80" : "";
    key += prefix.substr(0, std::min(prefix.size(), keyLength - marker_));
    key.resize(keyLength, '\0');
    for (bool more = cursor_.Seek(key); more; more = cursor_.Next()) Take();
  }
  std::shared_ptr<TRecordCandidates> Result() { return std::move(set_); }

 private:
  unsigned char Byte(std::size_t at) const {
    const std::string& key = cursor_.Key();
    return at < key.size() ? static_cast<unsigned char>(key[at]) : 0;
  }
  int PrefixOrder(const std::string& prefix) const {
    const std::string& key = cursor_.Key();
    if (key.size() <= marker_) return -1;
    const std::size_t n = std::min(prefix.size(), key.size() - marker_);
    return n == 0 ? 0 : std::memcmp(key.data() + marker_, prefix.data(), n);
  }
  void Take() {
    // Record numbers count from 1; 0 and those past the table are a stale index's.
    const std::uint32_t record = cursor_.Record();
    if (record >= 1 && record <= static_cast<std::uint32_t>(set_->Covered())) {
      set_->Add(static_cast<std::int32_t>(record - 1));
    }
  }

  TIndexCursor cursor_;
  std::size_t marker_ = 0;  // the null marker byte before the value
  std::shared_ptr<TRecordCandidates> set_;
};

// The literal may bound a range of keys: no byte below the blank (which pads keys) and
// neither end blank (the plan trims values).
bool BoundsKeys(const std::string& text) {
  if (text.empty() || static_cast<unsigned char>(text.front()) <= 32 ||
      static_cast<unsigned char>(text.back()) <= 32) {
    return false;
  }
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 32; });
}

}  // namespace

std::shared_ptr<TRecordCandidates> TFilterPlan::TestCandidates(TDbf& dbf, const Test& test,
                                                               std::vector<std::string>* tagsUsed) {
  if (test.bare || test.column.reading != FieldReading::String || test.layout == nullptr) {
    return nullptr;
  }
  const bool equality = test.op == Op::Eq;
  const bool range =
      test.op == Op::Lt || test.op == Op::Le || test.op == Op::Gt || test.op == Op::Ge;
  if (!equality && !range) return nullptr;
  // Equality needs the stored bytes of the literal; a range, bytes that are their own text.
  if (equality && !test.identity && !test.byStored) return nullptr;
  const std::string& stored = test.identity ? test.text : test.stored;
  if (range && (!test.identity || !BoundsKeys(test.text))) return nullptr;
  const int field = test.column.fieldIndex;
  // A tag in capitals holds the equal values among others that differ in case only.
  const TAttachedTag* tag = TagOfField(dbf.Indexes(), field, false);
  const bool upper = tag == nullptr && equality;
  if (upper) tag = TagOfField(dbf.Indexes(), field, true);
  if (tag == nullptr) return nullptr;

  const std::int32_t records = dbf.RecordCount();
  Collector collect(*tag, records);
  try {
    collect.TakeLeadingBlanks();
    if (equality) {
      // No trimmed value of the field is longer than the field.
      if (stored.size() <= static_cast<std::size_t>(test.column.length)) {
        // The key the tag holds for a record whose field is the literal: padded as the tag
        // pads, in the capitals of the table's code page for an UPPER tag.
        TKeyValue value;
        value.text = stored;
        if (upper) {
          const TKeyExprTable names = KeyExprTableOf(*dbf.DbfFile(), dbf.Layout());
          for (char& c : value.text)
            c = static_cast<char>(names.upper[static_cast<unsigned char>(c)]);
        }
        std::string key;
        if (!EncodeIndexKey(tag->key->Encoding(), value, key)) return nullptr;
        collect.TakeEqual(key);
      }
    } else if (test.op == Op::Lt || test.op == Op::Le) {
      collect.TakeUpTo(test.text);
    } else {
      collect.TakeFrom(test.text, static_cast<std::size_t>(tag->key->Encoding().length));
    }
  } catch (const EIndexDamage&) {
    return nullptr;  // the scan answers instead
  }
  if (tagsUsed != nullptr) tagsUsed->push_back(tag->Info().name);
  return collect.Result();
}

std::shared_ptr<TRecordCandidates> TFilterPlan::IndexCandidates(
    TDbf& dbf, std::vector<std::string>* tagsUsed) {
  if (!bound_ || !dbf.Active() || dbf.Indexes().Tags().empty()) return nullptr;
  for (const Test& test : tests_)
    if (test.bare) return nullptr;
  // The steps run on sets: nullptr stands for every record.
  std::vector<std::shared_ptr<TRecordCandidates>> stack;
  std::vector<std::string> used;
  for (const Step& step : steps_) {
    switch (step.kind) {
      case StepKind::Test:
        stack.push_back(TestCandidates(dbf, tests_[static_cast<std::size_t>(step.test)], &used));
        break;
      case StepKind::True:
      case StepKind::False:
        stack.push_back(nullptr);
        break;
      case StepKind::Not:
        stack.back() = nullptr;
        break;
      case StepKind::And:
      case StepKind::Or:
      case StepKind::Xor: {
        std::shared_ptr<TRecordCandidates> b = std::move(stack.back());
        stack.pop_back();
        std::shared_ptr<TRecordCandidates>& a = stack.back();
        if (step.kind == StepKind::And) {
          if (a == nullptr) {
            a = std::move(b);
          } else if (b != nullptr) {
            a->Intersect(*b);
          }
        } else if (step.kind == StepKind::Or && a != nullptr && b != nullptr) {
          a->Unite(*b);
        } else {
          a = nullptr;
        }
        break;
      }
    }
  }
  if (stack.empty() || stack.back() == nullptr) return nullptr;
  if (tagsUsed != nullptr) *tagsUsed = std::move(used);
  return stack.back();
}

}  // namespace tavlo
