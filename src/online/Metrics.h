#pragma once
// Anonymous play statistics as named running totals, kept in metr.ini in the user
// folder and sent to the server after each battle; a successful upload empties them.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// What the end of a battle tells the metrics.
struct MetricsBattleFacts {
  std::string scenarioName;
  bool playerDefends = false;
  int difficulty = -1;  // 0 easy, 1 medium, 2 hard; anything else adds no word
  bool victory = false;
  int screenWidth = 0, screenHeight = 0;
  bool windowed = true;
  double averageFrameMs = 0.0;  // 0 or less: no frame-rate sample
  int defendingAiMode = -1;     // 0 scripted, 1 scenario units, 2 all units
};

class SIM_Metrics {
 public:
  using Entry = std::pair<std::string, float>;

  SIM_Metrics();           // loads metr.ini
  virtual ~SIM_Metrics();  // saves what is left

  // Adds to the entry of exactly this name (after making it a safe ini key), or appends one.
  void AddValue(const std::string& name, float amount);
  // name + "_count" gains 1, name gains the value.
  void AddSample(const std::string& name, float value);
  void RecordBattle(const MetricsBattleFacts& facts);
  // Worker side: Save, upload, and on success clear the totals and delete the file.
  // Totals added while the upload ran are kept for the next one.
  bool Post();

  std::vector<Entry> Entries() const;
  float Value(const std::string& name) const;  // 0 when absent
  static std::string FilePath();
  // Ini keys may not hold "=", "[", "]", line breaks or edge blanks: they become "_".
  static std::string SafeKey(const std::string& name);

 private:
  bool SaveLocked() const;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

SIM_Metrics& GetMetrics();
// The battle's end, as the battle hooks call it: the battle's facts with the battle
// screen's average frame time (ms; 0 when no frame was timed).
void RecordBattleMetrics(double averageFrameMs);
