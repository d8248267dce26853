#pragma once
// Shared fixture for the catalogue and player-record tests: a user folder tree, an open
// debug log to read warnings back from, fatal errors turned into exceptions, and small
// helpers for writing fixture files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/Game.h"
#include "engine/ErrorReporting.h"
#include "engine/Log.h"
#include "simdata/CatalogueLog.h"
#include "support/FatalErrors.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace simdata_test {

using zt_test::FatalTextOf;
using zt_test::ReadText;
using zt_test::WriteText;

inline std::string UserFile(const std::string& name) { return zt_test::UserRoot() + "/" + name; }

class SimdataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetGame().InitUserFolders();
    OpenDebugFile(zt_test::UserRoot());
    ResetDataProblemCount();
    SetFatalErrorHook(&zt_test::ThrowOnFatal);
  }
  void TearDown() override {
    SetFatalErrorHook(nullptr);
    CloseDebugFiles();
    if (chdir(zt_test::BuildDir().c_str()) != 0) ADD_FAILURE() << "cannot return to the build folder";
  }

  std::string DebugLogText() const { return ReadText(zt_test::DebugLogPath()); }

  // Makes a fresh folder the working folder, so the catalogues' fixed "data/..." paths
  // read the test's own fixture files. TearDown returns to the build folder.
  std::string UseFixtureFolder() {
    const std::string dir = zt_test::UserDir() + "/fixture";
    std::filesystem::create_directories(dir + "/data");
    if (chdir(dir.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir;
    return dir;
  }
};

}  // namespace simdata_test
