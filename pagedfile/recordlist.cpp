// TRecordList: clearing a record set (with its locks), order-by key lists and the record
// comparison used to sort a set. Reads and writes no pages itself.

#include "pagedfile/recordlist.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <optional>

#include "pagedfile/pagedfile.h"
#include "platform/asciitext.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

// An integer as the key converter reads it (see TextToInteger).
std::optional<std::int32_t> ParseInteger(const std::string& text) {
  std::int32_t value = 0;
  if (!TextToInteger(text, value)) return std::nullopt;
  return value;
}

std::string FormatKeyNumber(std::int32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%6.6d", value);
  return buffer;
}

}  // namespace

TRecordList::~TRecordList() noexcept {
  try {
    Clear();
  } catch (...) {
    // Nothing can report from here; the owner's Close normally cleared the set already.
  }
}

void TRecordList::Clear() {
  std::exception_ptr failure;
  if (writable_ && owner_.IsOpen()) {
    for (const Item& item : items_) {
      try {
        owner_.Unlock(item.firstPage);
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
    }
  }
  items_.clear();
  writable_ = false;
  if (failure) std::rethrow_exception(failure);
}

int CompareRecords(const std::string& r1, const std::string& r2,
                   const std::vector<std::string>& keys) {
  int result = 0;
  for (std::string key : keys) {
    if (key.empty()) return result;
    bool descending = false;
    bool numeric = false;
    if (key[0] == '-') {
      descending = true;
      key.erase(0, 1);
    }
    if (!key.empty() && key[0] == '#') {
      numeric = true;
      key.erase(0, 1);
    }
    if (key.empty()) return result;
    std::string v1 = AttrGet(r1, key);
    std::string v2 = AttrGet(r2, key);
    if (numeric) {
      auto n1 = ParseInteger(v1);
      auto n2 = ParseInteger(v2);
      if (!n1 || !n2) return result;
      v1 = FormatKeyNumber(*n1);
      v2 = FormatKeyNumber(*n2);
    }
    result = CompareNoCaseAscii(v1, v2);
    if (descending) result = -result;
    if (result != 0) return result;
  }
  return result;
}

void TRecordList::OrderBy(const std::string& keyList, const TWorkMeter& meter) {
  std::vector<std::string> keys = SplitCommaList(keyList, TrailingComma::EndsEmptyItem);
  // A merge sort: unlike an in-place quicksort it stays within bounds even when a key that
  // is not an integer makes the comparison inconsistent. It sorts positions, so that a meter
  // that stops it midway leaves every record (and its lock) where it was.
  std::vector<std::size_t> order(items_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    meter.Step();
    return CompareRecords(items_[a].text, items_[b].text, keys) < 0;
  });
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (std::size_t i : order) sorted.push_back(std::move(items_[i]));
  items_ = std::move(sorted);
  sortKeys_ = std::move(keys);
}

}  // namespace tavlo
