#include "app/GameHooks.h"

#include <algorithm>

#include "app/CInput.h"
#include "app/GUI_GameModeBase.h"
#include "app/Game.h"
#include "app/Sounds.h"
#include "app/SteamGlue.h"
#include "app/Tutorial.h"
#include "battle/BattleSounds.h"
#include "battle/Gameplay.h"
#include "gui/ToolkitHooks.h"
#include "simdata/Achievements.h"
#include "simdata/DataHooks.h"
#include "simdata/Options.h"

namespace {

// The battle's sound requests, played by the sound manager.
class SoundManagerForBattle : public SIM_BattleSounds {
 public:
  void StopAllSounds() override { GetSounds().StopAllSounds(); }
  void SetAllSoundsPaused(bool paused) override { GetSounds().SetAllSoundsPaused(paused); }
  void PlayMusic(const char* name, bool fullPath, bool looped) override {
    GetSounds().PlayMusic(name, fullPath, looped);
  }
  int PlaySound(const char* name, int bank, float volumeFactor, bool tracked, float minDistance, float x,
                float y) override {
    return GetSounds().PlaySound(name, bank, volumeFactor, tracked, minDistance, x, y);
  }
  void StopSound(int handle) override {
    // Weapons die with their army, which may be after the sound manager at exit.
    if (handle >= 0 && SoundsExist()) GetSounds().StopSound(handle);
  }
  void PlayEffectSound(const char* file) override {
    GUI_Sounds& sounds = GetSounds();
    sounds.PlaySoundFile(file, false, sounds.EffectsVolume() * sounds.MasterVolume(),
                         GUI_Sounds::kInterfaceBank);
  }
  std::string NextRicochetSound() override {
    return GetSounds().NextCollectionName(GUI_Sounds::COLLECTION_RICOCHET);
  }
  std::string NextMediumExplosionSound() override {
    return GetSounds().NextCollectionName(GUI_Sounds::COLLECTION_MEDIUM_EXPLOSION);
  }
};

void RegisterToolkitHooks() {
  GUI_ToolkitHooks& hooks = GetToolkitHooks();
  hooks.playGuiSound = [](int n) { GetSounds().PlayGuiSound(n); };
  hooks.playInterfaceLoop = [](const char* file) {
    GUI_Sounds& sounds = GetSounds();
    return sounds.PlaySoundFile(file, true, sounds.InterfaceVolume() * sounds.MasterVolume(),
                                GUI_Sounds::kInterfaceBank);
  };
  hooks.stopSound = [](int handle) {
    if (SoundsExist()) GetSounds().StopSound(handle);
  };
  hooks.isButtonAllowed = [](const GUI_BaseElement* element) {
    return GetTutorial().IsButtonAllowed(element);
  };
  hooks.buttonPressed = [](const GUI_BaseElement* element) { GetTutorial().OnButtonPressed(element); };
  hooks.textColour = [] { return GameExists() ? GetGame().TextColour : 0xFFE2B101u; };
  hooks.dimTextColour = [] { return GameExists() ? GetGame().DimTextColour : 0xFF787878u; };
  hooks.highDetail = [] { return SIM_Options::Get().GetFloat("OPTIONS_GRAPHICS_DETAIL") > 0.5f; };
  hooks.focusedEditSlot = []() -> GUI_KeyboardTarget** {
    return GameExists() && GetGame().CurrentMode ? &GetGame().CurrentMode->FocusedEdit : nullptr;
  };
}

void RegisterDataHooks() {
  SIM_DataHooks& hooks = GetDataHooks();
  hooks.copyToCloud = [](const std::string& path) { GetSteamData().CloudSynchTo(path.c_str()); };
  hooks.inMapDesigner = [] { return GameExists() && GetGame().CurrentModeNumber == MODE_MAP_DESIGNER; };
  hooks.setSteamAchievement = [](const std::string& apiName) {
    GetSteamData().SetAchievement(apiName.c_str());
  };
  // When Steam's statistics arrive the glue sends what the game holds unlocked.
  SteamData::SetAchievementSource([] {
    SIM_AchievementList& list = SIM_AchievementList::Get();
    list.LoadDefinitions();
    std::vector<SteamData::LocalAchievement> out;
    const std::vector<std::string> unlocked = list.UnlockedNames();
    for (const auto& a : list.All()) {
      SteamData::LocalAchievement local;
      local.apiName = a->name;
      local.unlocked = std::find(unlocked.begin(), unlocked.end(), a->name) != unlocked.end();
      out.push_back(local);
    }
    return out;
  });
}

}  // namespace

GameLayerHooks& GetGameLayerHooks() {
  static GameLayerHooks hooks;
  return hooks;
}

void RegisterGameServices() {
  static SoundManagerForBattle battleSounds;
  RegisterCInput();
  RegisterToolkitHooks();
  RegisterDataHooks();
  ConnectGameplayToDesigns();
  SetBattleSounds(&battleSounds);
}
