// TRecordCandidates: the records a filter may accept, found beforehand (from an index), so
// that the cursor passes over the others without reading them. A bit per record of the table
// as it was when the set was made; the records beyond those (appended since) are always
// candidates, and the cursor adds every record it writes meanwhile, because the index the set
// came from is not rewritten. A candidate is only a record worth testing: the filter still
// decides. Holds no reference to a table or an index.
#pragma once

#include <cstdint>
#include <vector>

namespace tavlo {

class TRecordCandidates {
 public:
  // No candidate among the first recordCount records.
  explicit TRecordCandidates(std::int32_t recordCount);

  std::int32_t Covered() const { return covered_; }
  void Add(std::int32_t record);
  bool Holds(std::int32_t record) const;
  // The first candidate from `from` on that lies before end, else end.
  std::int32_t NextFrom(std::int32_t from, std::int32_t end) const;
  // The last candidate at or before from, else -1.
  std::int32_t PrevFrom(std::int32_t from) const;
  // Candidates among the covered records.
  std::int64_t Count() const;

  // Both sets must cover the same records.
  void Unite(const TRecordCandidates& other);
  void Intersect(const TRecordCandidates& other);

 private:
  std::int32_t covered_ = 0;
  std::vector<std::uint64_t> bits_;
};

}  // namespace tavlo
