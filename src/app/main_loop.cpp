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

  bool do_update = !drv.quitRequested();
  while (do_update)
  {
    run_update(drv);
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

      if (s.step_ticks <= elapsed + s.render_cost_sum / RENDER_COST_WINDOW)
      {
        catchup++;
        if (catchup <= s.max_catchup_steps)
        {
          s.last_update_time += s.step_ticks;
          do_update = true;
          break;
        }
      }

      time_dt = get_time_sec(elapsed);
      time_ik = time_dt / STEP_SEC;
      s.frame_pending = drv.renderFrame(time_dt);
      if (s.frame_pending)
        s.render_start_time = now;

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
