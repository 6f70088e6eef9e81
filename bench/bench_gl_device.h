#pragma once
// The OpenGL device the rendering benchmarks draw on: a window-less device of the given size whose
// data comes from the source tree's bin/ folder. Declare it as the first member of a benchmark's
// world: the world's destructor releases its resources first, then this closes the device and
// puts the application path, the resource hooks and the backend back.
#include <chrono>

#include "render/gl_backend.h"
#include "support/file_path.h"

struct BenchGlDevice
{
  GlBackend gl;
  char saved[sizeof(app_path)];
  bool ready = false;

  BenchGlDevice(int w, int h);
  ~BenchGlDevice();
  BenchGlDevice(const BenchGlDevice &) = delete;
  BenchGlDevice &operator=(const BenchGlDevice &) = delete;
};

using Clock = std::chrono::steady_clock;

// Milliseconds of wall time since t0 (the benchmarks wait for the GPU, so wall time is its time).
inline double ms_since(Clock::time_point t0)
{
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}
