// The candidate set: a bitmap over the records covered, searched a word at a time.
#include "dbf/recordcandidates.h"

#include <algorithm>
#include <bit>

namespace tavlo {

TRecordCandidates::TRecordCandidates(std::int32_t recordCount)
    : covered_(std::max<std::int32_t>(recordCount, 0)),
      bits_((static_cast<std::size_t>(covered_) + 63) / 64, 0) {}

void TRecordCandidates::Add(std::int32_t record) {
  if (record < 0 || record >= covered_) return;  // beyond: a candidate anyway
  bits_[static_cast<std::size_t>(record) / 64] |= std::uint64_t{1} << (record % 64);
}

bool TRecordCandidates::Holds(std::int32_t record) const {
  if (record < 0) return false;
  if (record >= covered_) return true;
  return (bits_[static_cast<std::size_t>(record) / 64] >> (record % 64)) & 1;
}

std::int32_t TRecordCandidates::NextFrom(std::int32_t from, std::int32_t end) const {
  from = std::max<std::int32_t>(from, 0);
  if (from >= end) return end;
  if (from >= covered_) return from;
  std::size_t word = static_cast<std::size_t>(from) / 64;
  std::uint64_t bits = bits_[word] & (~std::uint64_t{0} << (from % 64));
  for (;;) {
    if (bits != 0) {
      const auto found = static_cast<std::int32_t>(word * 64 + std::countr_zero(bits));
      return std::min(found, end);
    }
    if (++word >= bits_.size()) return std::min(covered_, end);
    bits = bits_[word];
  }
}

std::int32_t TRecordCandidates::PrevFrom(std::int32_t from) const {
  if (from < 0) return -1;
  if (from >= covered_) return from;
  std::size_t word = static_cast<std::size_t>(from) / 64;
  const int shift = 63 - from % 64;
  std::uint64_t bits = (bits_[word] << shift) >> shift;
  for (;;) {
    if (bits != 0) return static_cast<std::int32_t>(word * 64 + 63 - std::countl_zero(bits));
    if (word == 0) return -1;
    bits = bits_[--word];
  }
}

std::int64_t TRecordCandidates::Count() const {
  std::int64_t count = 0;
  for (std::uint64_t word : bits_) count += std::popcount(word);
  return count;
}

void TRecordCandidates::Unite(const TRecordCandidates& other) {
  for (std::size_t i = 0; i < bits_.size() && i < other.bits_.size(); ++i)
    bits_[i] |= other.bits_[i];
}

void TRecordCandidates::Intersect(const TRecordCandidates& other) {
  for (std::size_t i = 0; i < bits_.size(); ++i) {
    bits_[i] &= i < other.bits_.size() ? other.bits_[i] : 0;
  }
}

}  // namespace tavlo
