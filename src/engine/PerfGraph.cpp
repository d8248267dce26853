#include "engine/PerfGraph.h"

#include <cstdio>
#include <memory>

#include "engine/D3DEngine.h"
#include "engine/Singletons.h"
#include "engine/VertexBuffer.h"

PerfGraph::PerfGraph() { timer.Start(); }

void PerfGraph::AddRecord(const char* text1, const char* text2, int value) {
  if (!enabled || recordCount_ >= kMaxRecords - 1) return;
  Record& r = records_[recordCount_++];
  std::snprintf(r.text1, sizeof r.text1, "%s", text1 ? text1 : "");
  std::snprintf(r.text2, sizeof r.text2, "%s", text2 ? text2 : "");
  r.deviceValue = static_cast<int>(GetRenderDevice().FramesPerSecond());
  std::snprintf(r.effectName, sizeof r.effectName, "%s", GetRenderDevice().ActiveEffect().c_str());
  r.value = value;
}

void PerfGraph::Tick() {
  timer.Update();
  for (int i = 0; i + 1 < kHistory; ++i) history_[i] = history_[i + 1];
  // The raw frame time: the timer's elapsed value is capped at 36 ms.
  history_[kHistory - 1] = timer.step * Timer::kNominalFrameMs / (timer.speed != 0.0f ? timer.speed : 1.0f);
}

void PerfGraph::BuildLines(std::vector<PerfGraph::Line>& lines) const {
  lines.clear();
  const float h = static_cast<float>(bottom - top);
  const float w = static_cast<float>(right - left);
  for (int i = 0; i < kHistory; ++i) {
    float ms = history_[i];
    if (ms < 0.0f) ms = 0.0f;
    if (ms > kFullScaleMs) ms = kFullScaleMs;
    const float x = static_cast<float>(left) + (static_cast<float>(i) + 0.5f) * w / kHistory;
    lines.push_back(Line{x, static_cast<float>(bottom), x, static_cast<float>(bottom) - ms / kFullScaleMs * h,
                         kBarColour});
  }
  const float y60 = static_cast<float>(bottom) - kTargetFrameMs / kFullScaleMs * h;
  lines.push_back(Line{static_cast<float>(left), y60, static_cast<float>(right), y60, kTargetColour});
}

void PerfGraph::Draw() {
  std::vector<Line> lines;
  BuildLines(lines);
  D3DEngine& device = GetRenderDevice();
  device.DrawRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                  static_cast<float>(bottom), kPanelColour);
  device.DrawRectOutline(platform::Rect{left, top, right, bottom}, kOutlineColour);
  // The bars go out as one line list; the 60 fps marker is the last line.
  std::vector<GVertex> vertices;
  vertices.reserve(lines.size() * 2);
  for (const Line& l : lines) {
    GVertex a;
    a.x = l.x1;
    a.y = l.y1;
    a.colour = l.colour;
    GVertex b = a;
    b.x = l.x2;
    b.y = l.y2;
    vertices.push_back(a);
    vertices.push_back(b);
  }
  const int bars = kHistory;
  device.DrawVertices(platform::PrimitiveType::LineList, bars, vertices.data(), sizeof(GVertex));
  const GVertex* marker = vertices.data() + 2 * bars;
  device.DrawVertices(platform::PrimitiveType::LineList, 1, marker, sizeof(GVertex));
}

PerfGraph& GetPerfGraph() {
  static std::unique_ptr<PerfGraph> graph;
  static bool registered = (RegisterSingletonReset([] { graph.reset(); }), true);
  (void)registered;
  if (!graph) graph = std::make_unique<PerfGraph>();
  return *graph;
}
