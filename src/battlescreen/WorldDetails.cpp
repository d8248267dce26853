#include "battlescreen/WorldDetails.h"

#include "battle/Battle.h"
#include "battle/BattleHooks.h"
#include "battlescreen/BattleFrame.h"
#include "battlescreen/BulletPass.h"
#include "battlescreen/ShellCasings.h"
#include "battlescreen/Shields.h"
#include "battlescreen/Snowfall.h"
#include "battlescreen/TrackMarks.h"
#include "battlescreen/WorldDetailsRandom.h"
#include "engine/D3DEngine.h"

void ConnectWorldDetails() {
  SetBattleWorldLayer(WL_TRACK_MARKS, DrawTrackMarksLayer);
  SetBattleWorldLayer(WL_BULLETS, DrawBulletsLayer);
  SetBattleWorldLayer(WL_SNOW, DrawSnowLayer);
  BattleFrameHooks& frame = GetBattleFrameHooks();
  frame.stepVoices = StepBattleVoices;
  frame.advanceFlashTimer = FlashTimerUpdate;
  GetBattleHooks().shieldImpact = ShieldImpactHook;
}

void WorldDetailsBattleStart() {
  D3DEngine& e = GetRenderDevice();
  Snowfall::Get().Setup(e.ScreenWidth(), e.ScreenHeight());
  FlashTimer::Get() = FlashTimer{};
  FlashTimerNextPhase();
  GUI_BS_TrackManager::Instance().hiddenTime = 0.0f;
}
