#pragma once
// The player's lifetime statistics: named integer counters in "stat.ini" in the user
// folder, plus the reminders that nag the player to try features not yet used.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct StatCounter {
  std::string name;
  int32_t value = 0;
};

// Built once per run, at the first visit of the main menu.
struct ReminderState {
  // User name entered, unit designed, map created, challenge tried.
  uint8_t feats[4] = {0, 0, 0, 0};
  std::string names[4];
};

class SIM_GlobalStats {
 public:
  SIM_GlobalStats();
  virtual ~SIM_GlobalStats();
  SIM_GlobalStats(const SIM_GlobalStats&) = delete;
  SIM_GlobalStats& operator=(const SIM_GlobalStats&) = delete;

  static SIM_GlobalStats& Get();

  // The first counter's value; 0 when absent (nothing is created).
  int32_t GetStat(const std::string& name) const;
  void SetStat(const std::string& name, int32_t value);
  // Adds (the amount may be negative), creating the counter when absent.
  void AddStat(const std::string& name, int32_t amount);
  // Removes every counter whose name contains "temp".
  void RemoveTempStats();
  // Appends the counters of "stat.ini"; false when the file gave none.
  bool Load();
  // Writes "stat.ini" through a temporary file and pushes it to the cloud; false
  // (logged, no push) on failure.
  bool Save();

  // Builds the reminder state on the first call only.
  void UpdateReminders();
  // Whether reminder n (0..3) was shown now.
  bool CheckReminder(int n);
  void ComputeFeats();
  void StoreFeats();
  void ShowReminder(int n);
  const ReminderState* GetReminderState() const { return reminders.get(); }

  // The tutorial installs the function that opens a reminder's page: it returns
  // whether the page exists. Without one nothing is shown.
  using ReminderPresenter = bool (*)(const std::string& page);
  static void SetReminderPresenter(ReminderPresenter presenter);

  const std::vector<std::unique_ptr<StatCounter>>& Counters() const { return counters; }
  std::string GetPath() const;

 private:
  StatCounter* FindCounter(const std::string& name) const;

  std::vector<std::unique_ptr<StatCounter>> counters;
  std::unique_ptr<ReminderState> reminders;
};
