#include "app/main_loop.h"

#include <cstring>

#include "app/app_globals.h"
#include "platform/timer.h"

MainLoopState main_loop;
static MainLoopDriver *active_driver = nullptr;

static constexpr float STEP_SEC = 0.05f;

void set_update_rate(int hz, int max_steps)
{
  if (hz <= 0)
    hz = 1;
  main_loop.max_catchup_steps = max_steps > 0 ? max_steps : 0;
  int64_t t = timer_frequency / hz;
  main_loop.step_ticks = t > 0 ? t : 1;
}

void set_frame_cap(int fps)
{
  main_loop.min_frame_ticks = fps > 0 ? timer_frequency / fps : 0;
}

void reset_update_time()
{
  main_loop.update_start_time = active_driver ? active_driver->counter() : get_ref_time();
}

static void run_update(MainLoopDriver &drv)
{
  MainLoopState &s = main_loop;
  s.update_hist[s.update_hist_idx] = get_time_usec(s.last_update_duration);
  s.update_hist_idx = (s.update_hist_idx + 1) % STAT_HISTORY;
  drv.processMessages();
  s.update_start_time = drv.counter();
  time_dt = STEP_SEC;
  time_ik = 1.0f;
  drv.update(time_dt);
  s.last_update_duration = drv.counter() - s.update_start_time;
  drv.clearStepInput();
}

static void present_pending(MainLoopDriver &drv)
{
  MainLoopState &s = main_loop;
  drv.present();
  int64_t now = drv.counter();
  int64_t d = now - s.render_start_time;
  s.frame_hist[s.frame_hist_idx] = get_time_usec(d);
  s.render_cost_sum += d - s.render_cost[0];
  memmove(s.render_cost, s.render_cost + 1, sizeof(s.render_cost) - sizeof(s.render_cost[0]));
  s.render_cost[RENDER_COST_WINDOW - 1] = d;
  s.frame_pending = false;
  s.gpu_hist[s.frame_hist_idx] = drv.sampleGpuActivity();
  s.frame_hist_idx = (s.frame_hist_idx + 1) % STAT_HISTORY;
  s.frames_this_second++;
  if (now - s.last_fps_time >= timer_frequency)
  {
    s.frames_per_second = s.frames_this_second;
    s.frames_this_second = 0;
    s.last_fps_time = now;
    drv.oncePerSecond();
  }
}

namespace
{
// The frames tried since the loop started.
struct FrameTries
{
  bool any = false;       // a frame was drawn
  bool tried = false;     // a frame was tried since the latest step
  bool declined = false;  // the latest try drew nothing
  int64_t last_try = 0, last_frame = 0;
};

// Ticks to wait before a frame may begin: 0 now, -1 not before the next step.
int64_t frame_wait(const MainLoopState &s, const FrameTries &f, int64_t now)
{
  if (f.tried && (s.one_frame_per_step || s.fast))
    return -1;
  // A declined frame (the device is lost or the GPU behind) is tried again a millisecond later.
  int64_t gap = f.declined ? timer_frequency / 1000 : f.any ? s.min_frame_ticks : 0;
  int64_t since = now - (f.declined ? f.last_try : f.last_frame);
  return since >= 0 && since < gap ? gap - since : 0;
}
}  // namespace

void run_main_loop(MainLoopDriver &drv)
{
  MainLoopState &s = main_loop;
  active_driver = &drv;
  s.last_fps_time = drv.counter();
  s.frames_this_second = 0;
  s.last_update_duration = 0;
  s.update_hist_idx = s.frame_hist_idx = 0;
  memset(s.update_hist, 0, sizeof(s.update_hist));
  memset(s.frame_hist, 0, sizeof(s.frame_hist));
  memset(s.gpu_hist, 0, sizeof(s.gpu_hist));
  s.last_update_time = s.last_fps_time;
  s.frame_pending = false;
  int catchup = 0;
  int64_t prev_now = s.last_fps_time;
  FrameTries frames;

  bool do_update = !drv.quitRequested();
  while (do_update)
  {
    run_update(drv);
    frames.tried = false;
    do_update = false;
    while (!drv.quitRequested())
    {
      if (s.frame_pending)
        present_pending(drv);
      else if (!drv.checkDevice())
      {
        // Device lost: wait a little instead of spinning; the simulation keeps going.
        int64_t since = drv.counter() - s.last_update_time;
        if (since > 0)
          drv.sleepMsec(get_time_msec(since) / 2);
      }

      drv.processMessages();
      if (drv.quitRequested())
        break;
      int64_t now = drv.counter();
      int64_t elapsed = now - s.last_update_time;
      if (now < prev_now)
      {
        // The counter went backwards: start the simulated clock again from now.
        catchup = 0;
        elapsed = 0;
        s.last_update_time = now;
      }
      else if (elapsed < 0)
        elapsed = 0;  // the last step ran early to make room for a frame; it is not due yet
      prev_now = now;

      int64_t step_wait = s.step_ticks - elapsed - s.render_cost_sum / RENDER_COST_WINDOW;
      if (step_wait <= 0)
      {
        catchup++;
        if (catchup <= s.max_catchup_steps)
        {
          s.last_update_time += s.step_ticks;
          do_update = true;
          break;
        }
      }

      int64_t wait = catchup > s.max_catchup_steps ? 0 : frame_wait(s, frames, now);
      if (wait != 0)
      {
        catchup = -1;
        if (s.fast)
        {
          // No waiting: the next step starts now.
          s.last_update_time = now;
          do_update = true;
          break;
        }
        // Nothing to do until the next step or frame is due: sleep (whole milliseconds, rounded up).
        int64_t t = wait < 0 || step_wait < wait ? step_wait : wait;
        drv.sleepMsec(int((t * 1000 + timer_frequency - 1) / timer_frequency));
        continue;
      }

      time_dt = get_time_sec(elapsed);
      time_ik = time_dt / STEP_SEC;
      s.frame_pending = drv.renderFrame(time_dt);
      frames.tried = true;
      frames.declined = !s.frame_pending;
      frames.last_try = now;
      if (s.frame_pending)
      {
        s.render_start_time = frames.last_frame = now;
        frames.any = true;
      }

      if (catchup > s.max_catchup_steps)
      {
        // The simulation cannot keep up: drop the backlog.
        catchup = 0;
        s.last_update_time = now;
        do_update = true;
        break;
      }
      catchup = -1;
    }
  }

  if (s.frame_pending)
  {
    drv.present();
    s.frame_pending = false;
  }
  drv.clearStepInput();
  active_driver = nullptr;
}
