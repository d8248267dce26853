#pragma once
// The end-of-battle reports, run on the worker when the player continues from the
// post-mortem: an online challenge is reported beaten (after a victory) and accepted
// (always), then the usage metrics are posted. The post-mortem copies what the battle
// decided into a request, starts the worker and, once the job is done, goes on.
#include <memory>
#include <string>

class SIM_WorkerJob;

struct PostBattleRequest {
  bool onlineChallenge = false;  // the scenario came from the online challenge list
  bool victory = false;
  std::string challengeId;  // the online challenge's id
};

struct PostBattleResult {
  bool beatenReported = false;
  bool acceptedReported = false;
  bool metricsPosted = false;
};

// The worker body "PostBattleUpdates" (tests run it directly). Nothing is sent for a
// challenge id that is not a plain name; a cancelled job stops between requests.
void PostBattleUpdates(const SIM_WorkerJob& job, const PostBattleRequest& request, PostBattleResult& result);
