#pragma once
#include <vector>

#include "engine/Timer.h"

// Developer overlay: recent frame times as a bar graph and a table of draw records.
class PerfGraph {
 public:
  static constexpr int kMaxRecords = 900;
  static constexpr int kHistory = 50;  // frames shown; two line vertices each
  struct Record {
    char text1[64] = {};
    char text2[64] = {};
    int deviceValue = 0;  // frames per second the device measured
    char effectName[64] = {};
    int value = 0;
  };

  static constexpr float kFullScaleMs = 60.0f;         // the rectangle's height
  static constexpr float kTargetFrameMs = 16.666666f;  // 60 frames per second
  static constexpr unsigned kBarColour = 0xFFFF4040;
  static constexpr unsigned kTargetColour = 0xFF40FF40;
  static constexpr unsigned kPanelColour = 0xA0000000;
  static constexpr unsigned kOutlineColour = 0xFFFFFFFF;
  struct Line {
    float x1, y1, x2, y2;
    unsigned colour;
  };

  PerfGraph();
  void AddRecord(const char* text1, const char* text2, int value);
  void Tick();
  void Draw();
  // The history as vertical bars (two vertices each) and the 60 fps line.
  void BuildLines(std::vector<Line>& lines) const;
  void ClearRecords() { recordCount_ = 0; }

  bool enabled = false;
  int left = 100, top = 100, right = 500, bottom = 500;
  Timer timer;

  int RecordCount() const { return recordCount_; }
  const Record& GetRecord(int i) const { return records_[i]; }
  // Frame times in ms, oldest first.
  const float* History() const { return history_; }

 private:
  Record records_[kMaxRecords];
  int recordCount_ = 0;
  float history_[kHistory] = {};
};

PerfGraph& GetPerfGraph();
