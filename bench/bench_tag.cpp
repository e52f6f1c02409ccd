// What a table's index tags buy on a big table (bench/bench_tag.sh makes one of 10,000,000
// records with a structural .cdx holding tags CITY and NAME): the first screen in a tag's
// order beside the first screen in an order by the column, and a filtered count by an
// equality on the tag's field beside the same count on a copy without the index (the scan),
// each with the private memory it adds. Figures are printed; nothing is asserted.
//   bench_tag TABLE.dbf PLAIN-COPY.dbf [CITY]
#include <cstdio>
#include <string>

#include "bench/benchclock.h"
#include "bench/gridscreen.h"
#include "dbf/tdbf.h"
#include "query/recordfilter.h"
#include "query/rowcache.h"
#include "query/tablerowsource.h"
#include "words/library.h"

namespace {

using tavlo::bench::Clock;
using tavlo::bench::RssAnonKb;
using tavlo::bench::Seconds;

struct Figure {
  double seconds = 0;
  double megabytes = 0;
  long long count = 0;
  std::string tags;
  double applySeconds = 0;  // a filter's: "Filter" up to the first record
};

// The grid's first screen after choosing an order (a tag's, or a column's).
template <typename Choose>
Figure FirstScreen(const std::string& path, Choose choose) {
  tavlo::TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.Open();
  tavlo::TableRowSource source(table);
  tavlo::RowCache cache(source);
  const long before = RssAnonKb();
  const auto start = Clock::now();
  choose(table);
  cache.Reset();
  tavlo::bench::ShowFirstScreen(cache);
  Figure figure;
  figure.seconds = Seconds(start);
  figure.megabytes = (RssAnonKb() - before) / 1024.0;
  figure.count = cache.KnownRows();
  return figure;
}

// "Filter" with the script, then the records it keeps counted by walking the cursor.
Figure FilteredCount(const std::string& path, const std::string& script) {
  tavlo::TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.Open();
  tavlo::TqelScript engine;
  tavlo::TRecordFilter filter(table, engine);
  const long before = RssAnonKb();
  const auto start = Clock::now();
  filter.Filter(path, script);
  Figure figure;
  figure.applySeconds = Seconds(start);
  for (; !table.AtEnd(); table.Next()) ++figure.count;
  figure.seconds = Seconds(start);
  figure.megabytes = (RssAnonKb() - before) / 1024.0;
  for (const std::string& tag : filter.IndexTagsUsed()) figure.tags += " " + tag;
  return figure;
}

void Print(const char* what, const Figure& figure) {
  std::printf("%-44s %9.3f ms  %6.1f MB  %lld%s\n", what, figure.seconds * 1000,
              figure.megabytes, figure.count, figure.tags.c_str());
  if (figure.applySeconds > 0) {
    std::printf("%-44s %9.3f ms\n", "  of which Filter to the first record:", figure.applySeconds * 1000);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_tag TABLE.dbf PLAIN-COPY.dbf [CITY]\n");
    return 2;
  }
  const std::string indexed = argv[1], plain = argv[2];
  const std::string city = argc > 3 ? argv[3] : "Paris";
  try {
    tavlo::RegisterLibraryWords();
    const Figure tagScreen =
        FirstScreen(indexed, [](tavlo::TDbf& table) { table.SetTagOrder("CITY"); });
    const Figure nameScreen =
        FirstScreen(indexed, [](tavlo::TDbf& table) { table.SetTagOrder("NAME"); });
    const Figure columnScreen =
        FirstScreen(plain, [](tavlo::TDbf& table) { table.SetOrder({"CITY"}); });
    const std::string script = ">CITY.get '" + city + "' =";
    const Figure byTag = FilteredCount(indexed, script);
    const Figure byScan = FilteredCount(plain, script);
    Print("first screen, order by tag CITY:", tagScreen);
    Print("first screen, order by tag NAME:", nameScreen);
    Print("first screen, order by column CITY:", columnScreen);
    Print(("count " + script + ", by tag:").c_str(), byTag);
    Print(("count " + script + ", scan:").c_str(), byScan);
    std::printf("count by tag / scan: %.3f\n", byTag.seconds / byScan.seconds);
    if (byTag.count != byScan.count) {
      std::fprintf(stderr, "bench_tag: the counts differ\n");
      return 1;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_tag: %s\n", error.what());
    return 1;
  }
  return 0;
}
