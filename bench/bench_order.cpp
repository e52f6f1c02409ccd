// What ordering the grid by a column costs on a 1,000,000-record table: SetOrder("CITY"),
// then the first screen, then "Last" and its screen, with the private memory the order and
// the grid's row cache add; and a find through the grid's model path that matches nothing
// (every record's CITY and then every column examined). Figures are printed; nothing is
// asserted. bench/bench_order.sh runs it beside sqlite3.
//   bench_order TABLE.dbf [TEXT]
#include <chrono>
#include <cstdio>
#include <string>

#include "query/recordfinder.h"
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

// The grid's find (GridModel::FindRow) without Qt: a text no record holds, so every row is
// learned in the grid's order and examined; the rows examined.
int FindNothing(tavlo::TDbf& table, tavlo::RowCache& cache, const std::string& text,
                int firstColumn, int lastColumn) {
  tavlo::TFindRequest request;
  request.text = text;
  request.firstColumn = firstColumn;
  request.lastColumn = lastColumn;
  tavlo::TRecordFinder finder(table, request);
  return tavlo::FindRow(cache, finder, -1, false, 4096) < 0 ? cache.KnownRows() : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_order TABLE.dbf [TEXT]\n");
    return 2;
  }
  // The text no record shows; digits make the number and date columns count too.
  const std::string text = argc > 2 ? argv[2] : "no such text";
  try {
    tavlo::TDbf table;
    table.SetTableName(argv[1]);
    table.Open();
    tavlo::TableRowSource source(table);
    tavlo::RowCache cache(source);
    const long memoryBefore = RssAnonKb();

    const auto orderStart = Clock::now();
    table.SetOrder({"CITY"});
    cache.Reset();
    tavlo::bench::ShowFirstScreen(cache);
    const double orderSeconds = Seconds(orderStart);

    const auto lastStart = Clock::now();
    tavlo::bench::ShowLastScreen(table, cache);
    const double lastSeconds = Seconds(lastStart);
    const long memoryAfter = RssAnonKb();

    const int city = table.LookupField("CITY").FieldNo() - 1;
    const auto findStart = Clock::now();
    const int examinedOne = FindNothing(table, cache, text, city, city);
    const double findOneSeconds = Seconds(findStart);
    const auto findAllStart = Clock::now();
    const int examinedAll = FindNothing(table, cache, text, 0, table.FieldCount() - 1);
    const double findAllSeconds = Seconds(findAllStart);

    std::printf("order by CITY and first screen: %.3f s\n", orderSeconds);
    std::printf("Last and its screen:            %.3f s\n", lastSeconds);
    std::printf("total:                          %.3f s\n", orderSeconds + lastSeconds);
    std::printf("private memory growth:          %.1f MB\n", (memoryAfter - memoryBefore) / 1024.0);
    std::printf("find '%s', current column: %.3f s (%d rows)\n", text.c_str(), findOneSeconds,
                examinedOne);
    std::printf("find '%s', all columns:    %.3f s (%d rows)\n", text.c_str(), findAllSeconds,
                examinedAll);
    table.Close();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_order: %s\n", error.what());
    return 1;
  }
  return 0;
}
