#include "game/ConnectLayers.h"

#include "app/GUI_GameModeBase.h"
#include "app/GameHooks.h"
#include "battle/AirStrikes.h"
#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battle/ChallengeRecording.h"
#include "battlehud/BattleHud.h"
#include "battlehud/BuildingMenu.h"
#include "battlehud/EndOfBattle.h"
#include "battlescreen/BattleScreen.h"
#include "battlescreen/Craters.h"
#include "battlescreen/DeviceResetSeam.h"
#include "battlescreen/Emplacements.h"
#include "battlescreen/Hulks.h"
#include "battlescreen/Searchlights.h"
#include "battlescreen/UnitVisuals.h"
#include "browser/ChallengeList.h"
#include "browser/GUI_BattleBrowser.h"
#include "effects/BattleEffects.h"
#include "effects/Explosions.h"
#include "effects/GUI_EE_Editor.h"
#include "effects/ParticleSystem.h"
#include "mapdesigner/GUI_DeploymentScreen.h"
#include "mapdesigner/MapDesigner.h"
#include "online/ChallengeDialogs.h"
#include "online/GUI_Online.h"
#include "online/LoadingPoster.h"
#include "online/Metrics.h"
#include "online/OnlineUpdate.h"
#include "online/PostBattle.h"
#include "online/Server.h"
#include "online/ThreadManager.h"
#include "simdata/Achievements.h"
#include "simdata/Scenario.h"
#include "unitdesign/GUI_UnitDesign.h"
#include "unitdesign/ModuleDetailsStrip.h"
#include "unitdesign/UnitDesigner.h"

namespace {
GUI_GameModeBase* BuildBattleBrowser() { return new GUI_BattleBrowser(); }
GUI_GameModeBase* BuildMapDesigner() { return new GUI_DeploymentScreen(); }
GUI_GameModeBase* BuildOnline() { return new GUI_Online(); }
GUI_GameModeBase* BuildUnitDesign() { return new GUI_UnitDesign(); }
GUI_GameModeBase* BuildBattleScreen() { return new GUI_BattleScreen(); }
GUI_GameModeBase* BuildEffectsEditor() { return GUI_EE_Editor::Create(); }
GUI_GameModeBase* BuildHullEditor() { return GUI_HullEditor::Create(); }
}  // namespace

void ConnectGameLayers() {
  RegisterGameServices();

  // Modes 0 (main menu), 5 (options) and 8 (loading screen) are the application's own.
  RegisterGameMode(MODE_BATTLE_BROWSER, BuildBattleBrowser);
  RegisterGameMode(MODE_MAP_DESIGNER, BuildMapDesigner);
  RegisterGameMode(MODE_ONLINE, BuildOnline);
  RegisterGameMode(MODE_UNIT_DESIGN, BuildUnitDesign);
  RegisterGameMode(MODE_BATTLE_SCREEN, BuildBattleScreen);
  RegisterGameMode(MODE_EFFECTS_EDITOR, BuildEffectsEditor);
  RegisterGameMode(MODE_HULL_EDITOR, BuildHullEditor);

  RegisterBattleScreenView();
  RegisterAirStrikeUnlocks();
  GetBattleScreenHooks().openBuildingMenu = OpenRCMenu;
  GetBattleScreenHooks().closeDesignLoader = [] {
    if (!GetUDDesignLoader()) return false;
    CloseDesignLoader();
    return true;
  };
  ConnectBattleHud();
  ConnectBattleEffects();
  ConnectExplosionEffects();
  ConnectChallengeRecording();
  SetRecordingPickerHook(OpenRecordingPicker);

  ConnectHulks();
  ConnectCraters();
  ConnectEmplacements();
  ConnectSearchlights();

  GameLayerHooks& hooks = GetGameLayerHooks();
  hooks.particleGroupsClearLists = ParticleGroupsClearLists;
  hooks.particleConfigsClear = ParticleConfigsClear;
  hooks.particleConfigsLoad = ParticleConfigsLoad;
  hooks.explosionTypeNamesInit = ExplosionTypeNamesInit;
  hooks.deleteOpenDeploymentWindow = DeleteOpenDeploymentWindow;
  hooks.rebuildInfantryComposites = RebuildInfantryComposites;
  hooks.battleScreenDeviceRebuilt = FlagBattleScreenDeviceRebuilt;
  hooks.startOnlineUpdateThread = StartOnlineUpdateThread;
  hooks.showPatchFound = ShowPatchFound;
  // The map designer: the browser's Edit opens it; saved maps make their shadow map on load.
  hooks.openMapDesigner = OpenMapDesignerFor;
  SetBrowserEditHook([](SIM_Scenario* scenario) {
    if (scenario) OpenMapDesignerFor(*scenario);
  });
  SIM_Scenario::SetShadowMapGenerator(GenerateMapShadowMap);

  InstallLoadingPoster();
  // The update's achievements step marks what the server lists for the player.
  SetAchievementsLoader([] { SIM_AchievementList::Get().LoadUnlocked(); });
  // A "challenge_delete" change takes the challenge out of the local list.
  SetChallengeRemover([](const std::string& challengeId) {
    SIM_ChallengeDatabase& db = GetChallengeDatabase();
    if (db.RemoveChallenge(challengeId)) db.Save();
  });

  // The Online tab reaches the server through the online layer; the post-mortem opens
  // the rating and posting dialogs.
  ConnectChallengeServer();
  GetPostMortemHooks().openPostChallenge = OpenPostChallenge;
  GetPostMortemHooks().openRateChallenge = OpenRateChallenge;

  // After a battle: an online challenge reports its result, then the metrics go out.
  GetPostMortemHooks().postBattleUpdates = [](const PostBattleReport& report) {
    PostBattleRequest request;
    request.onlineChallenge = report.origin == SIM_Scenario::ORIGIN_ADDED && !report.challengeId.empty();
    request.victory = report.outcome == OUTCOME_VICTORY;
    request.challengeId = report.challengeId;
    SIM_WorkerJob job;  // the runner's own job cancels the transfer; this one only reports
    PostBattleResult result;
    PostBattleUpdates(job, request, result);
  };
  // The end-of-battle workers run on the online runner, which the HUD releases itself.
  EndOfBattleHooks& endHooks = GetEndOfBattleHooks();
  endHooks.startWorker = [](std::function<void()> body, const std::string& name) -> std::shared_ptr<void> {
    return GetThreadManager().StartThread([body](SIM_WorkerJob&) { body(); }, name);
  };
  endHooks.workerDone = [](const std::shared_ptr<void>& handle) {
    return static_cast<const SIM_WorkerJob*>(handle.get())->Done();
  };
  endHooks.releaseWorker = [](const std::shared_ptr<void>& handle) {
    GetThreadManager().Stop(std::static_pointer_cast<SIM_WorkerJob>(handle));
  };
  endHooks.runnerBusy = [] { return GetThreadManager().Busy(); };
  endHooks.addAchievement = [](const std::string& name) { GetInternet().AddAchievement(name); };
  endHooks.makeModuleDetailsStrip = [](const SIM_ModuleType* type, const std::string& key, int displayType,
                                       float multiplier) -> GUI_DataStrip* {
    return new GUI_UD_ModuleDetailsStrip(type, key, displayType, multiplier);
  };
  GetGameLayerHooks().pollEndOfBattleWorkers = PollEndOfBattleWorkers;

  ConnectBattleMetrics();
}

void ConnectBattleMetrics() {
  BattleHooks& battleHooks = GetBattleHooks();
  battleHooks.metricsRecordBattle = [] { RecordBattleMetrics(GetBattleScreen().AverageFrameMs()); };
  battleHooks.metricsAddSample = [](const std::string& name, float value) {
    GetMetrics().AddSample(name, value);
  };
}
