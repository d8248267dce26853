// The local challenge list against a large reply: merging 100,000 server rows into an
// empty list and into a full one (both end capped), and reading a 100,000-row list file
// as the Online tab's worker does. For reference, the merge that searched the whole
// list for every incoming line, at 10,000 and 20,000 rows (it grows with the square).
#include "browser/ChallengeList.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace {

using List = std::vector<std::unique_ptr<SIM_ChallengeInfo>>;

std::string Rows(int first, int n) {
  std::string text;
  text.reserve(static_cast<size_t>(n) * 96);
  for (int i = first; i < first + n; ++i) {
    const std::string id = "c" + std::to_string(i);
    text += "##," + id + ",Name " + id + ",anyone,\"a, description\",poster,2013-4-5,3,1,2.50,4.00," +
            std::to_string(i) + ",10,20,300000,5,1\n";
  }
  return text;
}

void BM_MergeIntoEmptyList(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string reply = Rows(0, rows);
  for (auto _ : state) {
    List list;
    MergeChallengeLines(list, reply);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetItemsProcessed(state.iterations() * rows);
  state.counters["kept"] = static_cast<double>(SIM_ChallengeDatabase::kMaxChallenges);
}
BENCHMARK(BM_MergeIntoEmptyList)->Arg(100000)->Unit(benchmark::kMillisecond);

// A full list and a reply that repeats every held row and brings 90,000 new ones.
void BM_MergeIntoFullList(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const size_t held = SIM_ChallengeDatabase::kMaxChallenges;
  const std::string start = Rows(0, static_cast<int>(held));
  const std::string reply = Rows(0, rows);
  for (auto _ : state) {
    state.PauseTiming();
    List list;
    MergeChallengeLines(list, start);
    state.ResumeTiming();
    MergeChallengeLines(list, reply);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_MergeIntoFullList)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReadListFile(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string path = "/tmp/zentrak-bench-challengelist-" + std::to_string(getpid()) + ".txt";
  const std::string text = Rows(0, rows);
  if (!platform::WriteFileReplacing(path, text.data(), text.size())) {
    state.SkipWithError("cannot write the list file");
    return;
  }
  for (auto _ : state) {
    List list = ReadChallengeList(path);
    benchmark::DoNotOptimize(list.data());
  }
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations() * rows);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadListFile)->Arg(100000)->Unit(benchmark::kMillisecond);

// The reference: one search of the list per incoming line, no cap.
void SearchingMerge(List& list, const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    auto info = std::make_unique<SIM_ChallengeInfo>();
    if (!info->Parse(line)) continue;
    SIM_ChallengeInfo* known = nullptr;
    for (auto& c : list)
      if (c->ztkid == info->ztkid) {
        known = c.get();
        break;
      }
    if (known)
      known->UpdateFrom(info.get());
    else
      list.push_back(std::move(info));
  }
}

void BM_ReferenceSearchPerLine(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string reply = Rows(0, rows);
  for (auto _ : state) {
    List list;
    SearchingMerge(list, reply);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ReferenceSearchPerLine)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
