// Benchmark of the XML document: loading and writing back a generated 10 MB document, from
// text and through real files. Both directions must stay well under one second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "xml/xmltree.h"

namespace {

// About 10 MB of records with attributes, text, CDATA and nesting, as a real export has them.
const std::string& Document() {
  static const std::string text = [] {
    std::string out = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<catalog>\r\n";
    for (int i = 0; out.size() < 10u * 1024 * 1024; ++i) {
      std::string n = std::to_string(i);
      out += "  <item id=\"" + n + "\" kind=\"book\" price=\"" + std::to_string(i % 997) +
             ".50\">\r\n    <title>Title number " + n +
             "</title>\r\n    <author first=\"Ann\" last=\"Smith\"/>\r\n"
             "    <note><![CDATA[line one\r\n\tline two]]></note>\r\n  </item>\r\n";
    }
    out += "</catalog>\r\n";
    return out;
  }();
  return text;
}

std::string TempPath(const char* name) {
  return std::string(P_tmpdir) + "/tavlo_bench_" + name + ".xml";
}

void BM_XmlLoadText(benchmark::State& state) {
  const std::string& text = Document();
  for (auto _ : state) {
    tavlo::TqelXMLTree tree("doc");
    tree.LoadFromText(text);
    benchmark::DoNotOptimize(tree.Nodes.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_XmlDocumentText(benchmark::State& state) {
  tavlo::TqelXMLTree tree("doc");
  tree.LoadFromText(Document());
  for (auto _ : state) {
    std::string out = tree.DocumentText();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Document().size()));
}

void BM_XmlLoadFile(benchmark::State& state) {
  const std::string path = TempPath("load");
  tavlo::SaveStringToFile(path, Document());
  for (auto _ : state) {
    tavlo::TqelXMLTree tree("doc");
    tree.LoadFromFile(path);
    benchmark::DoNotOptimize(tree.Nodes.size());
  }
  tavlo::Files().DeleteFile(path);
}

void BM_XmlSaveFile(benchmark::State& state) {
  const std::string path = TempPath("save");
  tavlo::TqelXMLTree tree("doc");
  tree.LoadFromText(Document());
  for (auto _ : state) tree.SaveToFile(path);
  tavlo::Files().DeleteFile(path);
}

BENCHMARK(BM_XmlLoadText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlDocumentText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlLoadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlSaveFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
