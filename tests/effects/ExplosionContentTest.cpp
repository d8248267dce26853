// The shipped explosion content: every configuration the explosion types, the dying units'
// sequences and the plumes use resolves, every particle configuration they name loads
// with a known Type, and a rifle hit, a kill and an air strike read apart.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "battle/DogTags.h"
#include "effects/Explosions.h"
#include "effects/HeatEmitters.h"
#include "effects/ParticleSystem.h"
#include "engine/Folders.h"

namespace {

// Particles a configuration throws at once, weighted by their size: how big it reads.
float Weight(const std::string& configName) {
  const GUI_BS_ExplosionConfig* c = FindExplosionConfig(configName);
  if (!c) return 0.0f;
  float w = 0.0f;
  for (const std::string& e : c->emitterNames)
    if (const GUI_ParticleConfig* p = FindParticleConfig(e))
      w += (p->InitialParticles + p->ParticlesPerSecond * std::max(0.0f, p->Lifetime) / 1000.0f) * p->MaxSize;
  return w;
}

TEST(ExplosionContentTest, EveryConfigurationInUseResolvesWithKnownParticles) {
  ExplosionConfigsLoad();
  ParticleConfigsLoad();
  std::set<std::string> used;
  for (int type = 0; type < EXP_TYPE_COUNT; ++type)
    if (*ExplosionConfigName(type)) used.insert(ExplosionConfigName(type));
  EXPECT_EQ(used.size(), 12u);
  for (const std::string& name : used) {
    const GUI_BS_ExplosionConfig* c = FindExplosionConfig(name);
    ASSERT_NE(c, nullptr) << name;
    EXPECT_FALSE(c->emitterNames.empty()) << name;
    EXPECT_LE(c->emitterNames.size(), size_t(GUI_BS_ExplosionConfig::kMaxEmitters)) << name;
    for (const std::string& e : c->emitterNames) {
      const GUI_ParticleConfig* p = FindParticleConfig(e);
      ASSERT_NE(p, nullptr) << name << " names " << e;
      EXPECT_TRUE(p->blending == 0 || p->blending == 1) << e << " has an unknown Type";
      EXPECT_GT(p->poolSize, 0) << e;
    }
  }
  // Every file is a configuration of its own name.
  std::set<std::string> names;
  for (const std::string& file : ListFiles("data/explosions/*.txt")) {
    GUI_BS_ExplosionConfig c;
    EXPECT_TRUE(c.Read("data/explosions/" + file)) << file;
    EXPECT_EQ(c.ConfigName + ".txt", file);
    EXPECT_TRUE(names.insert(c.ConfigName).second) << "two files name " << c.ConfigName;
  }
  // What the plumes emit.
  const GUI_ParticleConfig* plume = FindParticleConfig("plume");
  ASSERT_NE(plume, nullptr);
  EXPECT_GE(plume->InitialParticles, 1.0f) << "a plume's smoke must not stop on its first frame";
  EXPECT_NE(GUI_BS_HPConfigManager::Instance().Find("explosionplumes"), nullptr);
}

TEST(ExplosionContentTest, EveryDeathSequenceNamesKnownTypes) {
  SIM_ExplosionManager& managers = SIM_ExplosionManager::Get();
  managers.LoadAll();
  ASSERT_FALSE(managers.records.empty());
  std::set<std::string> typeNames;
  for (int type = 0; type < EXP_TYPE_COUNT; ++type)
    if (*ExplosionTypeName(type)) typeNames.insert(ExplosionTypeName(type));
  for (const auto& record : managers.records) {
    DeathSequence s;
    EXPECT_TRUE(DeathSequenceInit(s, record->name)) << record->name;
    for (const SettingsFile::Entry& e : record->explosions.Entries()) {
      const std::string& line = e.first;
      size_t a = line.find(','), b = line.find(',', a + 1), c = line.find(',', b + 1),
             d = line.find(',', c + 1);
      ASSERT_NE(d, std::string::npos) << line;
      EXPECT_TRUE(typeNames.count(line.substr(c + 1, d - c - 1))) << record->name << ": " << line;
    }
  }
}

TEST(ExplosionContentTest, ARifleHitAKillAndAnAirStrikeReadApart) {
  ExplosionConfigsLoad();
  const float rifle = Weight("bullet_in_dust");
  const float shell = Weight("small_explosion");
  const float medium = Weight("medium_explosion");
  const float kill = Weight("large_explosion");
  const float strike = Weight("large_explosion2") + kill;  // an air strike sets off both
  EXPECT_GT(rifle, 0.0f);
  EXPECT_GT(shell, rifle * 2.0f);
  EXPECT_GT(medium, shell * 2.0f);
  EXPECT_GT(kill, medium * 1.5f);
  EXPECT_GT(strike, kill * 1.5f);
  // Only shells and larger burn: a rifle round in the dirt has no fire.
  for (const std::string& e : FindExplosionConfig("bullet_in_dust")->emitterNames)
    EXPECT_EQ(FindParticleConfig(e)->blending, 0) << e;
}

}  // namespace
