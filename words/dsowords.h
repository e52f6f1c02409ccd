// Data source objects: TqelDSO, a keyed table of text rows "key=attributes", the per-run
// list of them, and the registration of the _name.method words and dsobase.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "script/runstate.h"
#include "text/workmeter.h"
#include "value/value.h"

namespace tavlo {

class TqelDSO {
 public:
  // A row by key: a key that reads as an integer is a row number from 0; any other key names
  // the first row whose key is equal ignoring case. Set appends a row for a new name key;
  // Get raises "DSO unknown key " + key for it. A row number out of range raises
  // "DSO index out of range " + the number. Both raise EqelScriptError.
  void Set(const std::string& value, const std::string& name, const Variant& key);
  std::string Get(const std::string& name, const Variant& key) const;
  int Count() const { return static_cast<int>(rows_.size()); }
  void Clear() {
    rows_.clear();
    firstRowOf_.clear();
  }
  // The lines of a text file (CR LF, LF or CR), and back with CR LF after every row. The
  // platform's file errors pass unchanged. The meter steps per row.
  void Load(const std::string& path, const TWorkMeter& meter = {});
  void Save(const std::string& path) const;
  const std::vector<std::string>& Rows() const { return rows_; }

 private:
  // The row index for key, or -1 for a name key that matches no row.
  int RowIndex(const Variant& key) const;
  void AddRow(std::string row);

  std::vector<std::string> rows_;
  // The first row of every key, by the key folded as names compare: a lookup by name costs
  // the same in a table of a million rows as in one of ten (a script that fills a table
  // row by row once took the square of its size). Rows keep their keys, so only an added row
  // changes it.
  std::unordered_map<std::string, int> firstRowOf_;
};

// DataSources of a running script: discarded at the start and end of every run.
class TqelDSOList : public TqelNamedList<TqelDSO> {};

void RegisterDataSourceWords();

}  // namespace tavlo
