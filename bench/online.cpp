// 200 game clients at once against the shipped local game server (libcurl, one transfer
// per request as the game makes them): first a mixed load of the scripts the start-up
// refresh calls, then one constant answer as the reference. Reports answers per second,
// failures, the median and 99th-percentile latency, and mixed/constant throughput.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Http.h"

namespace {

constexpr int kClients = 200;
constexpr int kRequestsPerClient = 10;

struct Server {
  pid_t pid = -1;
  std::string base;
  bool Start() {
    std::string portFile = "/tmp/zentrak-bench-gameserver-" + std::to_string(getpid()) + ".port";
    std::remove(portFile.c_str());
    std::string script = std::string(ZENTRAK_SOURCE_DIR) + "/tools/gameserver/gameserver.py";
    data = "/tmp/zentrak-bench-gameserver-" + std::to_string(getpid());
    pid = fork();
    if (pid == 0) {
      const char* argv[] = {"python3", script.c_str(), "--port",         "0",
                            "--seed",  "--port-file",  portFile.c_str(), nullptr};
      execvp("python3", const_cast<char* const*>(argv));
      _exit(127);
    }
    int port = 0;
    for (int i = 0; i < 300 && port <= 0; ++i) {
      std::ifstream in(portFile);
      if (!(in >> port)) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::remove(portFile.c_str());
    base = "http://127.0.0.1:" + std::to_string(port);
    return port > 0;
  }
  ~Server() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    if (!data.empty()) std::filesystem::remove_all(data);
  }
  std::string data;
};

struct LoadResult {
  double answersPerSecond = 0, p50Ms = 0, p99Ms = 0;
  int failures = 0;
};

LoadResult RunLoad(const std::string& base, bool mixed) {
  static const char* scripts[] = {
      "server/get_messages.php?&username=recruit&topid=-1",
      "server/get_friends.php?&username=recruit",
      "server/getuserprofile.php?&username=recruit&profilename=ironhide",
      "server/get_challenge_list.php?&username=recruit&topchalid=-1",
      "server/get_achievements.php?&username=recruit&profile=recruit",
      "server/get_friendship_invites_recvd.php?&username=recruit",
  };
  std::vector<std::vector<double>> latencies(kClients);
  std::atomic<int> failures{0};
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      platform::HttpOptions options;
      options.totalTimeoutMs = 30000;
      ready++;
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kRequestsPerClient; ++i) {
        std::string path =
            mixed ? scripts[(c + i) % 6] : "server/check_update.php?&use=recruit&current_version=1.008000";
        auto t0 = std::chrono::steady_clock::now();
        platform::HttpResult r = platform::HttpGet(base + "/" + path, options, nullptr);
        latencies[c].push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        if (!r.ok) failures++;
      }
    });
  }
  while (ready < kClients) std::this_thread::yield();
  auto start = std::chrono::steady_clock::now();
  go = true;
  for (auto& t : clients) t.join();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::vector<double> all;
  for (auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
  std::sort(all.begin(), all.end());
  LoadResult out;
  out.answersPerSecond = all.size() / seconds;
  out.failures = failures;
  out.p50Ms = all[all.size() / 2];
  out.p99Ms = all[std::min(all.size() - 1, all.size() * 99 / 100)];
  return out;
}

void BM_GameServer200Clients(benchmark::State& state) {
  Server server;
  if (!server.Start()) {
    state.SkipWithError("the local game server did not start");
    return;
  }
  for (auto _ : state) {
    LoadResult mixed = RunLoad(server.base, true);
    LoadResult constant = RunLoad(server.base, false);
    state.counters["mixed_answers_per_s"] = mixed.answersPerSecond;
    state.counters["mixed_failures"] = mixed.failures;
    state.counters["mixed_p50_ms"] = mixed.p50Ms;
    state.counters["mixed_p99_ms"] = mixed.p99Ms;
    state.counters["constant_answers_per_s"] = constant.answersPerSecond;
    state.counters["constant_failures"] = constant.failures;
    state.counters["constant_p50_ms"] = constant.p50Ms;
    state.counters["constant_p99_ms"] = constant.p99Ms;
    state.counters["mixed_over_constant"] = mixed.answersPerSecond / constant.answersPerSecond;
  }
}
BENCHMARK(BM_GameServer200Clients)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
