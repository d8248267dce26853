#pragma once
// The one worker thread of the online services. A worker gets its inputs copied in,
// fetches and parses into its own result object and sets its job's done flag last; the
// GUI thread polls the flag, stops the runner and uses the results (it alone builds
// widgets and message boxes). Stopping never kills a thread: the job is marked
// cancelled, its transfer is woken and abandoned, and whatever it still produces is
// dropped; the runner is free again at once.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Http.h"

class SIM_WorkerJob {
 public:
  // Set by the worker after its results are written (release), read by the owner (acquire).
  bool Done() const { return done_.load(std::memory_order_acquire); }
  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }
  // Worker side: the please-wait text of the current step (a text key, translated).
  void SetStep(const std::string& key) const;

 private:
  friend class SIM_ThreadManager;
  std::atomic<bool> done_{false};
  std::atomic<bool> cancelled_{false};
  bool showsPleaseWait_ = true;
  platform::HttpCancel http_;
};

using WorkerBody = std::function<void(SIM_WorkerJob& job)>;

class SIM_ThreadManager {
 public:
  SIM_ThreadManager();
  virtual ~SIM_ThreadManager();

  bool Busy() const { return busy_; }
  const std::string& Name() const { return name_; }

  // GUI thread. Starts the worker (with the please-wait overlay unless told otherwise);
  // null and nothing started while another worker runs.
  std::shared_ptr<SIM_WorkerJob> StartThread(WorkerBody body, const std::string& name,
                                             bool pleaseWait = true);
  // GUI thread: an owner stops its own job (done or not); another owner's job is left
  // alone. A job not yet done is cancelled and its late results dropped.
  void Stop(const std::shared_ptr<SIM_WorkerJob>& job);
  // The please-wait Cancel button: stops whatever runs.
  void CancelCurrent();
  // Waits for every thread, the running one included (shutdown and tests).
  void JoinAll();

 private:
  void ReapRetired();

  std::string name_;
  bool busy_ = false;
  std::shared_ptr<SIM_WorkerJob> job_;
  std::thread thread_;
  std::vector<std::thread> retired_;
};

SIM_ThreadManager& GetThreadManager();
