#include "online/ThreadManager.h"

#include "engine/Log.h"
#include "engine/Singletons.h"
#include "engine/Strings.h"
#include "gui/MessageBox.h"
#include "online/Internet.h"
#include "online/Server.h"

namespace {
void CancelFromPleaseWait() {
  if (SIM_ThreadManager* manager = ProcessWideIfAlive<SIM_ThreadManager>()) manager->CancelCurrent();
}
}  // namespace

void SIM_WorkerJob::SetStep(const std::string& key) const {
  if (showsPleaseWait_ && !Cancelled()) GUI_PleaseWait::SetText(GetTranslation(key));
}

SIM_ThreadManager::SIM_ThreadManager() {
  // Built before the runner, so the link and the server record outlive every worker.
  GetInternet();
  SetPleaseWaitCancelHandler(CancelFromPleaseWait);
}

SIM_ThreadManager::~SIM_ThreadManager() {
  if (job_ && !job_->Done()) {
    job_->cancelled_.store(true, std::memory_order_release);
    job_->http_.Cancel();
  }
  JoinAll();
  SetPleaseWaitCancelHandler(nullptr);
}

void SIM_ThreadManager::ReapRetired() {
  for (std::thread& t : retired_)
    if (t.joinable()) t.join();
  retired_.clear();
}

std::shared_ptr<SIM_WorkerJob> SIM_ThreadManager::StartThread(WorkerBody body, const std::string& name,
                                                              bool pleaseWait) {
  if (busy_) {
    DebugLogF("Worker \"%.100s\" not started: \"%.100s\" is running", name.c_str(), name_.c_str());
    return nullptr;
  }
  // A cancelled worker was woken when it was stopped; it is gone or about to be.
  ReapRetired();
  if (thread_.joinable()) thread_.join();
  auto job = std::make_shared<SIM_WorkerJob>();
  job->showsPleaseWait_ = pleaseWait;
  busy_ = true;
  name_ = name;
  job_ = job;
  if (pleaseWait) ShowPleaseWait();
  thread_ = std::thread([job, body = std::move(body)]() {
    SetThreadRequestCancel(&job->http_);
    if (!job->Cancelled()) body(*job);
    SetThreadRequestCancel(nullptr);
    job->done_.store(true, std::memory_order_release);
  });
  return job;
}

void SIM_ThreadManager::Stop(const std::shared_ptr<SIM_WorkerJob>& job) {
  if (!job || job != job_) return;
  if (!job->Done()) {
    job->cancelled_.store(true, std::memory_order_release);
    job->http_.Cancel();
    DebugLogF("Worker \"%.100s\" cancelled", name_.c_str());
  }
  bool pleaseWait = job->showsPleaseWait_;
  name_.clear();
  busy_ = false;
  job_.reset();
  if (thread_.joinable()) retired_.push_back(std::move(thread_));
  if (pleaseWait) ClosePleaseWait();
}

void SIM_ThreadManager::CancelCurrent() {
  if (job_) Stop(job_);
}

void SIM_ThreadManager::JoinAll() {
  ReapRetired();
  if (thread_.joinable()) thread_.join();
}

SIM_ThreadManager& GetThreadManager() { return ProcessWide<SIM_ThreadManager>(); }
