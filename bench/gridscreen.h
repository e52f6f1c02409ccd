// What the grid does to show a screen of rows, for the benchmarks that time it: learn the
// rows and decode their texts. Header-only; benchmarks only.
#pragma once

#include <algorithm>

#include "query/rowcache.h"
#include "dbf/tdbf.h"

namespace tavlo::bench {

constexpr int kScreenRows = 40;

inline void ShowFirstScreen(RowCache& cache) {
  cache.EnsureRow(kScreenRows - 1, 256);
  for (int row = 0; row < std::min(kScreenRows, cache.KnownRows()); ++row) cache.Texts(row);
}

// "Last": the cursor to the last record, the rows up to it learned and its screen shown.
inline void ShowLastScreen(TDbf& table, RowCache& cache) {
  table.Last();
  const int lastRow = cache.EnsureRecord(table.Bookmark(), 4096);
  for (int row = std::max(0, lastRow - kScreenRows + 1); row <= lastRow; ++row) cache.Texts(row);
}

}  // namespace tavlo::bench
