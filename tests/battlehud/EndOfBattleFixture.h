#pragma once
// The end-of-battle dialogs' test helpers: a worker runner the test finishes by hand
// (the bodies run when it says so), and clicks with the fake cursor.
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battlehud/EndOfBattle.h"
#include "engine/InputManager.h"
#include "gui/WindowOrder.h"

namespace zt_test {

class FakeRunner {
 public:
  struct Job {
    std::function<void()> body;
    bool done = false;
  };
  FakeRunner() : saved_(GetEndOfBattleHooks()) {
    EndOfBattleHooks& h = GetEndOfBattleHooks();
    h.startWorker = [this](std::function<void()> body, const std::string& name) -> std::shared_ptr<void> {
      if (Busy()) return nullptr;
      started.push_back(name);
      auto job = std::make_shared<Job>();
      job->body = std::move(body);
      jobs.push_back(job);
      return job;
    };
    h.workerDone = [](const std::shared_ptr<void>& handle) { return static_cast<Job*>(handle.get())->done; };
    h.releaseWorker = [this](const std::shared_ptr<void>& handle) {
      ++released;
      jobs.erase(std::remove(jobs.begin(), jobs.end(), std::static_pointer_cast<Job>(handle)), jobs.end());
    };
    h.runnerBusy = [this] { return Busy(); };
    h.addAchievement = [this](const std::string& name) { sent.push_back(name); };
  }
  ~FakeRunner() { GetEndOfBattleHooks() = saved_; }
  FakeRunner(const FakeRunner&) = delete;
  FakeRunner& operator=(const FakeRunner&) = delete;

  bool Busy() const { return !jobs.empty(); }
  // The running workers do their work and end (the GUI thread has not seen it yet).
  void FinishAll() {
    for (auto& j : jobs)
      if (!j->done) {
        if (j->body) j->body();
        j->done = true;
      }
  }
  // Another screen's worker holds the runner until FinishAll.
  void Occupy() {
    started.push_back("other");
    jobs.push_back(std::make_shared<Job>());
  }

  std::vector<std::string> started;
  std::vector<std::string> sent;
  int released = 0;
  std::vector<std::shared_ptr<Job>> jobs;

 private:
  EndOfBattleHooks saved_;
};

// A click at the element's centre, routed through the window order as the frame does.
template <typename Element>
inline void ClickOn(const Element* e) {
  GUI_InputManager& in = GetInputManager();
  in.x = (e->left + e->right) / 2;
  in.y = (e->top + e->bottom) / 2;
  GetWindowOrder().Process();
  GetWindowOrder().LeftClick();
}

}  // namespace zt_test
