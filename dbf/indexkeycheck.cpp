// The index check of the table doctor. A tag's entries are walked once in index order: each
// names a record whose key is computed from its bytes and compared (normalized, as writers
// differ) with the entry's. Records never named are then read in file order; those the FOR
// expression accepts are missing, unless a unique tag holds their key (found by a seek).
#include "dbf/indexkeycheck.h"

#include <cstdio>
#include <vector>

#include "dbf/dbffile.h"
#include "dbf/indexcheck.h"
#include "dbf/indexformat.h"
#include "dbf/keyencode.h"
#include "dbf/tableindexes.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "text/trim.h"

namespace tavlo {

namespace {

std::string Counted(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A key as the report shows it: text keys quoted without their trailing blanks, binary keys
// (numbers and dates of CDX, MDX and NDX tags) as hexadecimal bytes.
std::string KeyText(const TKeyEncoding& encoding, const std::string& key) {
  if (encoding.kind == TKeyKind::Character || encoding.format == TIndexFormat::Ntx)
    return "'" + EscapedReportBytes(std::string(TrimRightBlanks(key))) + "'";
  std::string text;
  for (unsigned char c : key) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", c);
    text += (text.empty() ? "" : " ") + std::string(hex);
  }
  return "bytes " + text;
}

class TagWalk {
 public:
  TagWalk(TDbfFile& file, const TAttachedTag& tag)
      : file_(file),
        tag_(tag),
        key_(*tag.key),
        format_(tag.reader->Info().format),
        record_(static_cast<std::size_t>(file.RecordSize()), ' ') {}

  TTagKeyCheck Run();

 private:
  // The record's key: Key, Excluded or Failed (counted, the first failure kept).
  TTagKey::Outcome KeyOf(std::uint32_t number, std::string& key);
  void List(const std::string& difference) {
    if (static_cast<int>(result_.listed.size()) < TTagKeyCheck::kListed)
      result_.listed.push_back(difference);
  }
  void Normalize(std::string& key) const { NormalizeIndexKey(format_, key_.Encoding().kind, key); }
  std::string Shown(const std::string& key) const { return KeyText(key_.Encoding(), key); }
  // Whether a unique tag holds key, as computed (for another record).
  bool Holds(const std::string& key);

  TDbfFile& file_;
  const TAttachedTag& tag_;
  TTagKey key_;  // a copy: evaluating keeps state, and the table's own stays untouched
  TIndexFormat format_;
  std::string record_;
  TTagKeyCheck result_;
};

TTagKey::Outcome TagWalk::KeyOf(std::uint32_t number, std::string& key) {
  file_.ReadRecord(static_cast<std::int64_t>(number) - 1, record_.data());
  const TTagKey::Outcome outcome =
      key_.KeyOf(reinterpret_cast<const std::uint8_t*>(record_.data()), number, key);
  if (outcome == TTagKey::Outcome::Failed && result_.failed++ == 0)
    result_.firstFailure = "record " + std::to_string(number) + ": " + key_.Failure();
  return outcome;
}

bool TagWalk::Holds(const std::string& key) {
  TIndexCursor cursor = tag_.reader->Cursor(tag_.tag);
  return cursor.Seek(key) && SameIndexKey(format_, key_.Encoding().kind, cursor.Key(), key);
}

TTagKeyCheck TagWalk::Run() {
  const std::int64_t count = file_.RecordCount();
  std::vector<bool> seen(static_cast<std::size_t>(count) + 1, false);
  std::string computed;
  TIndexCursor cursor = tag_.reader->Cursor(tag_.tag);
  for (bool more = cursor.First(); more; more = cursor.Next()) {
    const std::uint32_t number = cursor.Record();
    std::string stored = cursor.Key();
    Normalize(stored);
    const std::string record = "record " + std::to_string(number);
    if (number == 0 || number > count) {
      ++result_.lacking;
      List("the index has key " + Shown(stored) + " for " + record + ", which the table lacks");
      continue;
    }
    if (seen[number]) {
      ++result_.twice;
      List(record + " is in the index twice");
      continue;
    }
    seen[number] = true;
    switch (KeyOf(number, computed)) {
      case TTagKey::Outcome::Key:
        Normalize(computed);
        if (computed == stored) break;
        ++result_.wrongKeys;
        List(record + " has key " + Shown(computed) + ", the index has " + Shown(stored));
        break;
      case TTagKey::Outcome::Excluded:
        ++result_.excluded;
        List(record + " is left out by the FOR expression, the index has it with key " +
             Shown(stored));
        break;
      case TTagKey::Outcome::Failed:
        break;
    }
  }
  const bool unique = tag_.Info().unique;
  for (std::int64_t number = 1; number <= count; ++number) {
    if (seen[static_cast<std::size_t>(number)]) continue;
    if (KeyOf(static_cast<std::uint32_t>(number), computed) != TTagKey::Outcome::Key) continue;
    if (unique && Holds(computed)) continue;
    Normalize(computed);
    ++result_.missing;
    List("record " + std::to_string(number) + " with key " + Shown(computed) + " is missing");
  }
  return result_;
}

void AddTagCheck(const std::string& place, const TTagKeyCheck& check, TTableReport& report) {
  const std::int64_t differences = check.Differences();
  if (check.failed > 0)
    report.notes.push_back({place, "the keys of " + Counted(check.failed, "record", "records") +
                                       " could not be computed and were not compared (" +
                                       check.firstFailure + ")"});
  if (differences == 0) return;
  report.problems.push_back({place, "the index is stale: it does not match the table (" +
                                        Counted(differences, "difference", "differences") + ")"});
  for (const std::string& difference : check.listed) report.problems.push_back({place, difference});
  const std::pair<std::int64_t, std::string> counts[] = {
      {check.wrongKeys, Counted(check.wrongKeys, "record has", "records have") + " another key"},
      {check.missing, Counted(check.missing, "record", "records") + " missing"},
      {check.lacking,
       Counted(check.lacking, "entry names a record", "entries name records") + " the table lacks"},
      {check.twice, Counted(check.twice, "record is", "records are") + " in the index twice"},
      {check.excluded, Counted(check.excluded, "record", "records") +
                           " left out by the FOR expression in the index"},
  };
  for (const auto& [n, text] : counts)
    if (n > 0) report.problems.push_back({place, text});
}

}  // namespace

TTagKeyCheck CheckTagKeys(TDbfFile& file, const TAttachedTag& tag) {
  return TagWalk(file, tag).Run();
}

void CheckIndexKeys(TDbfFile& file, const TTableIndexes& indexes, TTableReport& report) {
  for (const TUnreadableIndex& unreadable : indexes.Unreadable())
    report.problems.push_back(
        {"Index " + ExtractFileName(unreadable.path), "unreadable: " + unreadable.reason});
  if (!indexes.MissingProduction().empty())
    report.notes.push_back({"Index files", "the header calls for the production index " +
                                               indexes.MissingProduction() + ", which is missing"});
  for (int f = 0; f < indexes.FileCount(); ++f) {
    const TIndexFileInfo& info = indexes.File(f).Info();
    if (!info.damage.empty())
      report.problems.push_back({"Index " + ExtractFileName(info.path), info.damage});
  }
  for (const TAttachedTag& tag : indexes.Tags()) {
    const std::string place = "Index " + ExtractFileName(tag.path) + ", tag " + tag.Info().name;
    if (tag.reader->HeaderDamaged(tag.tag)) {
      report.problems.push_back({place, "its header could not be read: " + tag.Info().damage});
      continue;
    }
    const TIndexTagCheck tree = CheckIndexTag(*tag.reader, tag.tag);
    if (!tree.damage.empty()) {
      // A damaged tree's entries cannot be trusted to be all there: its keys are not compared.
      report.problems.push_back({place, tree.damage});
      continue;
    }
    if (!tag.understood) {
      report.notes.push_back({place, "its keys were not checked: " + tag.notUnderstood});
      continue;
    }
    try {
      AddTagCheck(place, CheckTagKeys(file, tag), report);
    } catch (const Exception& failure) {
      report.problems.push_back({place, failure.what()});
    }
  }
}

}  // namespace tavlo
