#pragma once
// What the drawing benchmarks share: a process set up as the game sets itself up (a
// scratch user folder, the build folder as working directory, every layer connected)
// and a render device, OpenGL in a window or the null device.
#include <SDL.h>

#include <string>

struct BenchGame {
  bool gl = false;  // "--gl" on the command line
  SDL_Window* window = nullptr;
  std::string scratch;  // the scratch user folder, removed by BenchClose
};

// Reads "--gl", makes the scratch user folder, enters the build folder, hands the command
// line to Google Benchmark and starts the game's folders and layers. False when the build
// folder cannot be entered.
bool BenchStartProcess(int* argc, char** argv, BenchGame& bench);
// Opens the device at w x h (OpenGL in a window titled `title` with `bench.gl`, else the
// null device) without frame pacing, registers data/bitmaps (and `extraTextureFolder`) and
// the global vertex buffer. Says why and returns false when there is no device.
bool BenchOpenDevice(BenchGame& bench, int w, int h, const char* title,
                     const char* extraTextureFolder = nullptr);
// Frees the process-wide objects (the battle's units while their managers still exist),
// the vertex buffer, the device, the window and the scratch folder.
void BenchClose(BenchGame& bench);
