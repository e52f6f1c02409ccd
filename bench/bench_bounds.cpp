// Benchmarks of the operations that must stay linear in their input: compiling a long script
// (400,000 words well under a second, four times the words in about four times the time),
// the substring search with a pathological pattern (beside the plain quadratic scan it
// replaced), and appends to a paged file (40,000 within four times the time of 10,000).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "pagedfile/pagedfile.h"
#include "platform/filesystem.h"
#include "script/qelscript.h"
#include "text/qelstrings.h"

namespace {

void BM_CompileWords(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < state.range(0); ++i) text += "1 drop ";
  for (auto _ : state) {
    tavlo::TqelScript script;
    script.SetScript(text);
    benchmark::DoNotOptimize(script.Atoms().size());
  }
}
BENCHMARK(BM_CompileWords)->Arg(100000)->Arg(400000)->Unit(benchmark::kMillisecond);

const std::string& Haystack() {
  static const std::string text(256 * 1024, 'a');
  return text;
}
const std::string& Needle() {
  static const std::string text = std::string(32 * 1024, 'a') + "b";
  return text;
}

void BM_SearchPathological(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(tavlo::PosFromNoCase(Needle(), Haystack(), 1));
}
BENCHMARK(BM_SearchPathological)->Unit(benchmark::kMillisecond);

// The baseline: the first-byte scan with a byte-by-byte compare that the search replaced.
void BM_SearchPathologicalPlainScan(benchmark::State& state) {
  const std::string& hay = Haystack();
  const std::string& needle = Needle();
  for (auto _ : state) {
    std::size_t found = std::string::npos;
    for (std::size_t at = 0; at + needle.size() <= hay.size() && found == std::string::npos; ++at) {
      std::size_t i = 0;
      while (i < needle.size() && tavlo::FoldTable[static_cast<unsigned char>(hay[at + i])] ==
                                      tavlo::FoldTable[static_cast<unsigned char>(needle[i])])
        ++i;
      if (i == needle.size()) found = at;
    }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_SearchPathologicalPlainScan)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PagedFileAppends(benchmark::State& state) {
  const std::string path = std::string(P_tmpdir) + "/tavlo_bench_appends.jpf";
  for (auto _ : state) {
    state.PauseTiming();
    std::remove(path.c_str());
    std::remove((path.substr(0, path.size() - 4) + ".usr").c_str());
    tavlo::TqelPagedFile file;
    file.Create(path, 128, "bench", "bench123");
    file.Open(path, "bench", "bench123");
    state.ResumeTiming();
    for (int i = 0; i < state.range(0); ++i) file.Append("record number " + std::to_string(i));
    state.PauseTiming();
    file.Close();
    state.ResumeTiming();
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_PagedFileAppends)
    ->Arg(10000)
    ->Arg(40000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
