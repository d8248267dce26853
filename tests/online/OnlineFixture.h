#pragma once
// A fresh user folder table, the debug log and the local game server for each test.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/Folders.h"
#include "engine/Log.h"
#include "engine/Singletons.h"
#include "online/Internet.h"
#include "online/Server.h"
#include "online/ThreadManager.h"
#include "support/EnvGuard.h"
#include "support/GameServerFixture.h"
#include "support/TestSupport.h"

namespace zt_test {

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// The user folder table under the test's own root, every folder made.
inline void UseTestUserFolders() {
  const char* names[USERFOLDER_COUNT] = {
      "",    "player_units", "scenarios", "deployments",    "designtextures", "challenge_temp",
      "web", "web/debug",    "bitmaps",   "badge_database", "web/patches"};
  UserFolders()[0] = UserRoot();
  for (int i = 1; i < USERFOLDER_COUNT; ++i) UserFolders()[i] = UserRoot() + "/" + names[i];
  for (int i = 0; i < USERFOLDER_COUNT; ++i) EnsureDirectoryExists(UserFolders()[i]);
}

class OnlineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenDebugFile(UserRoot());
    UseTestUserFolders();
    ASSERT_TRUE(server.Start()) << "the local game server did not start";
    setenv("ZENTRAK_SERVER", server.Base().c_str(), 1);
    GetLink().Options().totalTimeoutMs = 2000;
    GetLink().Options().connectTimeoutMs = 1000;
  }

  void TearDown() override {
    if (SIM_ThreadManager* m = ProcessWideIfAlive<SIM_ThreadManager>()) m->JoinAll();
    server.Stop();
  }

  std::string Web(const std::string& name) { return GetUserFolder(USERFOLDER_WEB) + "/" + name; }
  std::string LastRequest() {
    std::string log = server.Log();
    if (log.empty()) return std::string();
    log.pop_back();
    size_t start = log.rfind('\n');
    return start == std::string::npos ? log : log.substr(start + 1);
  }
  std::string DebugText() { return ReadAll(UserRoot() + "/debug/debug.txt"); }

  EnvGuard serverEnv{"ZENTRAK_SERVER"};
  LocalGameServer server;
};

}  // namespace zt_test
