// Start-up and scenario loading over files with very many sections: the install-path
// write rewrites registry.ini (every section kept), and a scenario's prop sections are
// read in one pass. Both must stay linear in the file's size.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "engine/Registry.h"
#include "engine/Singletons.h"
#include "platform/Window.h"
#include "simdata/PropType.h"
#include "simdata/Scenario.h"

namespace {

// A throw-away user folder and the assembled data folder as the working directory.
bool PrepareProcess() {
  static char dir[] = "/tmp/zentrak-bench-XXXXXX";
  if (!mkdtemp(dir)) return false;
  setenv("ZENTRAK_USER_DIR", dir, 1);
  return chdir(ZENTRAK_BUILD_DIR) == 0;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// registry.ini as a long-lived install might leave it: many key paths, one value each.
std::string RegistryText(int sections) {
  std::string text;
  for (int i = 0; i < sections; ++i)
    text += "[software\\Vendor " + std::to_string(i) + "]\nvalue = " + std::to_string(i) + "\n\n";
  return text;
}

void BM_RegistryInstallPathWrite(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  const std::string root = platform::UserFolderRoot();
  std::system(("mkdir -p '" + root + "'").c_str());
  const std::string text = RegistryText(sections);
  for (auto _ : state) {
    state.PauseTiming();
    WriteFile(RegistryFilePath(), text);
    state.ResumeTiming();
    benchmark::DoNotOptimize(WriteInstallPath("/opt/zentrak"));
  }
  state.counters["sections"] = sections;
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_RegistryInstallPathWrite)->Arg(1000)->Arg(5000)->Arg(40000)->Unit(benchmark::kMillisecond);

// A scenario with the given number of empty prop sections of one type (a map editor
// that wrote a header per placement attempt), then one section holding ten props.
std::string ScenarioText(const std::string& emptyType, const std::string& propType, int sections) {
  std::string text =
      "[config]\nid = 1\nname = bench_props\nguiname = BENCH\nmaxcols = 4\nmaxrows = 3\n\n"
      "[map]\n0-0 = 0,\"\",0,0,,,,\n\n";
  for (int i = 0; i < sections; ++i) text += "[prop_" + emptyType + "]\n\n";
  text += "[prop_" + propType + "]\n";
  for (int i = 0; i < 10; ++i) text += std::to_string(i) + " = 100,150,100,100,90\n";
  return text;
}

void BM_ScenarioLoadProps(benchmark::State& state) {
  const int sections = static_cast<int>(state.range(0));
  const std::vector<SIM_PropType*>& types = SIM_PropTypeManager::Get().All();
  if (types.size() < 2) {
    state.SkipWithError("no prop types in data/props");
    return;
  }
  const std::string path = platform::UserFolderRoot() + "/bench_scenario.txt";
  WriteFile(path, ScenarioText(types[0]->name, types[1]->name, sections));
  size_t placed = 0;
  for (auto _ : state) {
    SIM_Scenario scenario;
    if (!scenario.Load(path)) {
      state.SkipWithError("scenario did not load");
      return;
    }
    scenario.LoadProps();
    placed = scenario.placedProps.size();
  }
  state.counters["sections"] = sections;
  state.counters["props"] = static_cast<double>(placed);
}
BENCHMARK(BM_ScenarioLoadProps)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!PrepareProcess()) {
    std::fprintf(stderr, "cannot prepare a user folder\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ResetAllSingletons();
  return 0;
}
