#pragma once
// Shared fixture: the engine on a recording null device, plus small file helpers.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/D3DEngine.h"
#include "engine/Log.h"
#include "platform/Dds.h"
#include "platform/NullDevice.h"
#include "support/NullDeviceFixture.h"
#include "support/TestFiles.h"
#include "support/TestSupport.h"

namespace zt_graphics_test {

using zt_test::ReadText;
inline std::string ErrorLog() { return ReadText(GetLogFolder() + "/errors.txt"); }
inline std::string DrawLog() { return ReadText(zt_test::UserRoot() + "/debug/drawdebug.txt"); }
inline std::string DebugText() { return ReadText(zt_test::DebugLogPath()); }

// A solid-colour DDS (one level) written to a path.
inline void WriteSolidDds(const std::string& path, int w, int h, uint32_t argb) {
  std::vector<std::vector<uint32_t>> levels(1, std::vector<uint32_t>(size_t(w) * size_t(h), argb));
  ASSERT_TRUE(platform::WriteDdsFile(path, w, h, levels)) << path;
}

// The engine alone on the null device: no window, art or vertex buffer.
class NullEngineTest : public zt_test::NullDeviceTest {
 protected:
  NullEngineTest() {
    withWindow = false;
    registerArt = false;
    withVertexBuffer = false;
  }
};

}  // namespace zt_graphics_test
