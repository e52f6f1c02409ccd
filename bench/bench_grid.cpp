// What the data grid costs on a 1,000,000-record table (every 50th deleted): opening the
// cursor and showing the first screen, going to the last record and showing it, and the
// private memory the grid's row cache adds. Figures are printed; nothing is asserted.
//   bench_grid TABLE.dbf        (write one with bench/make_big_table.py)
// A second pass runs the same with a filter callback that accepts every other record.
#include <chrono>
#include <cstdio>
#include <string>

#include "query/rowcache.h"
#include "query/tablerowsource.h"
#include "bench/benchclock.h"
#include "bench/gridscreen.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"

namespace {

using tavlo::bench::Clock;
using tavlo::bench::RssAnonKb;
using tavlo::bench::Seconds;

void Run(const std::string& path, bool filtered) {
  const long memoryBefore = RssAnonKb();
  const auto openStart = Clock::now();
  tavlo::TDbf table;
  table.SetTableName(path);
  if (filtered) {
    table.OnFilterRecord = [](tavlo::TDbf& dataSet, bool& accept) {
      accept = dataSet.FieldByName("AGE").TextValue().back() % 2 == 0;
    };
    table.SetFiltered(true);
  }
  table.Open();
  tavlo::TableRowSource source(table);
  tavlo::RowCache cache(source);
  tavlo::bench::ShowFirstScreen(cache);
  const double openSeconds = Seconds(openStart);

  const auto lastStart = Clock::now();
  tavlo::bench::ShowLastScreen(table, cache);
  const double lastSeconds = Seconds(lastStart);
  const long memoryAfter = RssAnonKb();

  std::printf("%s: %d physical records, %d visible\n", filtered ? "filtered" : "unfiltered",
              table.RecordCount(), cache.KnownRows());
  std::printf("  open to first screen: %.3f s\n", openSeconds);
  std::printf("  Last and its screen:  %.3f s\n", lastSeconds);
  std::printf("  private memory growth: %.1f MB (row cache holds %zu decoded rows)\n",
              (memoryAfter - memoryBefore) / 1024.0, cache.CachedRows());
  table.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_grid TABLE.dbf\n");
    return 2;
  }
  try {
    Run(argv[1], false);
    Run(argv[1], true);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_grid: %s\n", error.what());
    return 1;
  }
  return 0;
}
