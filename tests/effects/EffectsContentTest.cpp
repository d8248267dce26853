// The shipped effect content: every particle and heat config a name in the game refers
// to resolves, each reads cleanly, and the art the effects draw with exists.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "effects/EffectsFixture.h"
#include "effects/HeatEmitters.h"
#include "effects/ParticleSystem.h"
#include "effects/Smoke.h"
#include "engine/Folders.h"
#include "engine/SettingsFile.h"

namespace {
using effects_test::EffectsTest;

// Names the code asks for directly.
const char* const kCodeParticleConfigs[] = {"plume", "ground_emit_heathaze"};
const char* const kCodeHeatConfigs[] = {
    "flamethrower",        "explosionplumes",   "muzzleflash",  "small_unit_emitter", "small_unit_emitter2",
    "small_unit_emitter3", "small_hulkemitter", "hulk_emitter", "groundblast",        "small_groundblast"};

// Every particle config named by content: explosion emitter lists and hulls' deployment
// particles.
std::set<std::string> ParticleNamesInContent() {
  std::set<std::string> names(std::begin(kCodeParticleConfigs), std::end(kCodeParticleConfigs));
  for (const std::string& file : ListFiles("data/explosions/*.txt")) {
    SettingsFile s;
    s.Load("emmiters", "data/explosions/" + file);
    for (const auto& entry : s.Entries()) {
      const std::string& v = entry.second.empty() ? entry.first : entry.second;
      if (!v.empty()) names.insert(v);
    }
  }
  // Hulls: the "deployment_particles" column of the catalogue's "#" lines.
  std::ifstream hulls("data/hulls/hulls.csv");
  std::string line;
  int column = -1;
  while (std::getline(hulls, line)) {
    if (line.empty() || line[0] != '#') continue;
    std::vector<std::string> cells;
    std::stringstream row(line);
    for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
    if (column < 0) {
      for (size_t i = 0; i < cells.size(); ++i)
        if (cells[i] == "deployment_particles") column = static_cast<int>(i);
      EXPECT_GE(column, 0) << "the hull catalogue names its deployment particles";
      if (column < 0) break;
    } else if (column < static_cast<int>(cells.size()) && !cells[size_t(column)].empty()) {
      names.insert(cells[size_t(column)]);
    }
  }
  return names;
}

class EffectsContentTest : public EffectsTest {};

TEST_F(EffectsContentTest, EveryParticleConfigInUseResolves) {
  ParticleConfigsLoad();
  for (const std::string& name : ParticleNamesInContent()) {
    SCOPED_TRACE(name);
    GUI_ParticleConfig* c = FindParticleConfig(name);
    ASSERT_NE(c, nullptr);
    EXPECT_GE(c->blending, 0) << "Type is BURN or STANDARD";
  }
}

TEST_F(EffectsContentTest, EveryShippedConfigReadsCleanly) {
  ParticleConfigsLoad();
  std::set<std::string> seen;
  ASSERT_GE(ParticleConfigList().size(), 10u);
  for (const GUI_ParticleConfig* c : ParticleConfigList()) {
    SCOPED_TRACE(c->name);
    EXPECT_TRUE(seen.insert(c->name).second) << "names are unique";
    EXPECT_GE(c->blending, 0);
    EXPECT_LE(c->UVFrameLast, 63);
    EXPECT_GE(c->UVFrameLast, c->UVFrame);
    EXPECT_GT(c->MaxSize, 0.0f);
    EXPECT_GE(c->poolSize, 1);
    EXPECT_NE(c->texture, nullptr);
  }
  GUI_BS_HPConfigManager& heat = GUI_BS_HPConfigManager::Instance();
  for (const char* name : kCodeHeatConfigs) {
    SCOPED_TRACE(name);
    const GUI_BS_HPConfig* c = heat.Find(name);
    ASSERT_NE(c, nullptr);
    EXPECT_GT(c->CreationInterval, 0.0f);
    EXPECT_GT(c->Lifetime, 0.0f);
    EXPECT_GT(c->MaxSize, 0.0f);
    EXPECT_LT(c->AlphaFalloff, 1.0f) << "a fade must start before the end of life";
  }
}

TEST_F(EffectsContentTest, TheArtTheEffectsDrawWithExists) {
  for (const char* file :
       {"data/bitmaps/effects/particles.dds", "data/bitmaps/effects/static.dds",
        "data/bitmaps/shared/lightmaps.dds", "data/exhaust.ini", "data/sounds/ztk_nightvision.ogg",
        "data/shaders/nightvision.fx", "data/shaders/composite_lightmap.fx", "data/shaders/motionblur.fx",
        "data/shaders/distortion.fx", "data/shaders/composite_distortion.fx"})
    EXPECT_TRUE(FileExists(file)) << file;
}

}  // namespace
