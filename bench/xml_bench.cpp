// Scaling of the XML document: parsing a large text of many small elements, and building a
// document by appending children the way the profile writer does. Each is run at two sizes ten
// times apart; the ratios of the times are printed at the end (about 10 means linear).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "formats/XmlDocument.h"

namespace {

using tarnwick::CXmlDocument;

// A root holding `count` elements like <ITEM KIND="0">C:/data/file.txt</ITEM>, each nested one
// level as <SRC> with two children so that the text has depth as well.
std::string MakeText(int64_t count) {
  std::string text = "<PROFILE>\r\n";
  for (int64_t i = 0; i < count / 3; ++i) {
    text += "<SRC N=\"" + std::to_string(i) + "\">\r\n<PATH>C:/data/file.txt</PATH>\r\n<KIND>0</KIND>\r\n</SRC>\r\n";
  }
  text += "</PROFILE>\r\n";
  return text;
}

void BM_LoadText(benchmark::State& state) {
  const std::string text = MakeText(state.range(0));
  CXmlDocument doc;
  for (auto _ : state) {
    if (!doc.LoadText(text)) state.SkipWithError("did not parse");
    benchmark::DoNotOptimize(doc.HasRoot());
  }
  state.counters["bytes"] = static_cast<double>(text.size());
}

// Elements in groups of three: one <SRC> with an attribute, entered, two children, left again.
void BM_BuildDocument(benchmark::State& state) {
  const int64_t count = state.range(0);
  for (auto _ : state) {
    CXmlDocument doc;
    doc.LoadText();
    doc.AddElement("PROFILE");
    for (int64_t i = 0; i < count / 3; ++i) {
      doc.AddChildElement("SRC");
      doc.AddChildAttribute("N", std::to_string(i));
      doc.EnterChild();
      doc.AddChildElement("PATH", "C:/data/file.txt");
      doc.AddChildElement("KIND", "0");
      doc.LeaveElement();
    }
    benchmark::DoNotOptimize(doc.GetText().size());
  }
}

// A damaged text where every start tag holds a quote, nested `count` deep: <a ">"<a ">"...
// Looking up an attribute of each element must not run through the rest of the text each time.
void BM_AttributeWalkDamaged(benchmark::State& state) {
  const int64_t count = state.range(0);
  std::string text;
  for (int64_t i = 0; i < count; ++i) text += "<a \">\"";
  for (int64_t i = 0; i < count; ++i) text += "</a>";
  CXmlDocument doc;
  if (!doc.LoadText(text)) state.SkipWithError("did not parse");
  for (auto _ : state) {
    doc.ResetPosition();
    doc.FindElement();
    size_t found = doc.GetAttribute("x").size();
    while (doc.EnterChild()) found += doc.GetAttribute("x").size();
    benchmark::DoNotOptimize(found);
  }
}

// About 4 MiB of text at the larger size.
BENCHMARK(BM_LoadText)->Arg(17'500)->Arg(175'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AttributeWalkDamaged)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildDocument)->Arg(5'000)->Arg(50'000)->Unit(benchmark::kMillisecond);

// Prints the time ratio of the larger to the smaller size of each benchmark.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string name = run.benchmark_name();
      auto& times = times_[name.substr(0, name.find('/'))];
      times.emplace_back(run.GetAdjustedRealTime(), run.GetAdjustedCPUTime());
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const auto& [name, times] : times_) {
      if (times.size() != 2) continue;
      std::printf("%s: 10x the elements takes %.2fx the wall time, %.2fx the CPU time\n", name.c_str(),
                  times[1].first / times[0].first, times[1].second / times[0].second);
    }
  }

 private:
  std::map<std::string, std::vector<std::pair<double, double>>> times_;  // real, CPU
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
