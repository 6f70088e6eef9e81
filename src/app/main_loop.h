#pragma once
// The fixed-step main loop: simulation at a fixed rate on a simulated clock, rendering in between,
// interpolated by `time_ik`. Frames come as often as the device allows unless the pacing fields
// of MainLoopState limit them; the loop sleeps whenever neither a step nor a frame is due.
//
// Everything the loop touches outside its own state goes through MainLoopDriver, so tests can run
// it on a fake clock with fake updates and frames.
#include <cstdint>

#include "support/export.h"

class MainLoopDriver
{
public:
  virtual ~MainLoopDriver() = default;
  virtual int64_t counter() = 0;          // the high-resolution counter
  virtual void processMessages() = 0;     // window and input events; may request quit
  virtual bool quitRequested() = 0;
  virtual void update(float dt) = 0;      // the current game mode's update
  virtual void clearStepInput() = 0;      // per-step input is consumed by exactly one update
  virtual bool checkDevice() = 0;         // false: the device cannot render now
  virtual bool renderFrame(float dt) = 0; // true when a frame was drawn (to be presented)
  virtual void present() = 0;
  virtual int sampleGpuActivity() { return -1; }  // percent, or -1 without a sample
  virtual void sleepMsec(int ms) = 0;
  virtual void oncePerSecond() = 0;       // reloads of changed files
};

constexpr int STAT_HISTORY = 200;
constexpr int RENDER_COST_WINDOW = 5;

// Loop timing and the statistics shown by the overlay.
struct MainLoopState
{
  int64_t step_ticks = 1;
  int max_catchup_steps = 5;
  int64_t last_update_time = 0;
  int64_t update_start_time = 0;
  int64_t last_update_duration = 0;
  int64_t render_start_time = 0;
  int64_t render_cost[RENDER_COST_WINDOW] = {};
  int64_t render_cost_sum = 0;
  bool frame_pending = false;

  // Frame pacing. With none of these set, frames are drawn as often as the device allows.
  bool one_frame_per_step = false;  // at most one frame between two steps (headless runs)
  bool fast = false;                // no waiting: each step right after the previous one's frame
  int64_t min_frame_ticks = 0;      // frames begin at least this far apart (0: no frame cap)

  int update_hist[STAT_HISTORY] = {};  // microseconds
  int frame_hist[STAT_HISTORY] = {};   // microseconds, render start to present
  int gpu_hist[STAT_HISTORY] = {};     // percent, -1 without a sample
  int update_hist_idx = 0;
  int frame_hist_idx = 0;  // shared by the frame and GPU histories
  int frames_this_second = 0;
  int frames_per_second = 0;
  int64_t last_fps_time = 0;
};

extern MainLoopState main_loop;

// hz <= 0 counts as 1; the step length in ticks is frequency / hz, at least 1.
void set_update_rate(int hz, int max_steps);
// Frames begin at most `fps` times a second (<= 0: no cap).
void set_frame_cap(int fps);
// Restarts the update-duration measurement (after a long one-off job inside an update).
QM_EXPORT void reset_update_time();
// Runs until the driver reports a quit request; presents a pending frame before returning.
void run_main_loop(MainLoopDriver &drv);
