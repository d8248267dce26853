#include "online/PostBattle.h"

#include "engine/Folders.h"
#include "engine/Log.h"
#include "online/Internet.h"
#include "online/Metrics.h"
#include "online/Server.h"
#include "online/ThreadManager.h"

void PostBattleUpdates(const SIM_WorkerJob& job, const PostBattleRequest& request, PostBattleResult& result) {
  if (request.onlineChallenge) {
    // The id goes into a request: an id from a damaged challenge list is not sent.
    if (!IsPlainFileName(request.challengeId, 64)) {
      DebugLogF("IWARNING:  challenge id \"%.64s\" is not a plain id; the result is not reported",
                request.challengeId.c_str());
    } else {
      SIM_Server& server = GetInternet();
      if (request.victory && !job.Cancelled())
        result.beatenReported = server.ChallengeBeaten(request.challengeId);
      if (!job.Cancelled()) result.acceptedReported = server.ChallengeAccepted(request.challengeId);
    }
  }
  if (!job.Cancelled()) result.metricsPosted = GetMetrics().Post();
}
