// TRecordList: the record set of a paged record file, a snapshot of record texts with the
// offset of each record's first page, and the order-by comparison. Does no file access of its
// own except unlocking the records of a writable set through its owner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/workmeter.h"

namespace tavlo {

class TqelPagedFile;

class TRecordList {
 public:
  struct Item {
    std::string text;
    std::int64_t firstPage = 0;
  };

  explicit TRecordList(TqelPagedFile& owner) : owner_(owner) {}
  ~TRecordList() noexcept;
  TRecordList(const TRecordList&) = delete;
  TRecordList& operator=(const TRecordList&) = delete;

  // Unlocks every record when the set is writable, then empties it. All records are unlocked
  // even when one unlock fails; the first failure is raised afterwards.
  void Clear();

  void Add(std::string text, std::int64_t firstPage) {
    items_.push_back({std::move(text), firstPage});
  }
  void Remove(int index) { items_.erase(items_.begin() + index); }
  int Count() const { return static_cast<int>(items_.size()); }
  const Item& operator[](int index) const { return items_[index]; }
  void SetText(int index, std::string text) { items_[index].text = std::move(text); }

  bool Writable() const { return writable_; }
  void SetWritable(bool writable) { writable_ = writable; }

  // Keys split from a comma-separated list; then the set sorted by them. The meter steps per
  // comparison and may stop the sort, which then leaves the set as it was.
  void OrderBy(const std::string& keyList, const TWorkMeter& meter = {});
  const std::vector<std::string>& SortKeys() const { return sortKeys_; }

 private:
  TqelPagedFile& owner_;
  std::vector<Item> items_;
  std::vector<std::string> sortKeys_;
  bool writable_ = false;
};

// Compares two record texts key by key: "-" before a key sorts descending, "#" compares
// integers written as "%6.6d"; values compare as text ignoring the case of ASCII letters.
int CompareRecords(const std::string& r1, const std::string& r2,
                   const std::vector<std::string>& keys);

}  // namespace tavlo
