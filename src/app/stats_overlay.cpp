#include "app/stats_overlay.h"

#include <algorithm>
#include <cstdio>

#include "app/main_loop.h"
#include "gui/debug_text.h"
#include "platform/timer.h"
#include "render/device.h"
#include "support/color.h"
#include "support/vec4f.h"

namespace
{
constexpr D3dColor WHITE = 0xFFFFFFFF, SHADE = 0x40000000, BELOW_THRESHOLD = 0x20008000;

void draw_value(int x, int y, const char *fmt, int v)
{
  char buf[32];
  snprintf(buf, sizeof(buf), fmt, v);
  draw_text(buf, -1, x, y, 1, 1, WHITE);
}
}  // namespace

HistoryStats history_stats(const int *hist, int count, bool skip_negative)
{
  HistoryStats st;
  int64_t sum = 0;
  int n = 0;
  for (int i = 0; i < count; i++)
  {
    const int v = hist[i];
    if (skip_negative && v < 0)
      continue;
    st.max = n ? std::max(st.max, v) : v;
    st.min = n ? std::min(st.min, v) : v;
    sum += v;
    n++;
  }
  if (n)
    st.avg = int((sum + n / 2) / n);
  return st;
}

void draw_bar_graph(const int *hist, int write_idx, int s, int t, bool right_side)
{
  const int w = std::max(2, d3d_wd / 400), gw = STAT_HISTORY * w, H = d3d_ht / 4;
  const int x0 = right_side ? d3d_wd - gw : 0;
  const int64_t full = 2 * int64_t(std::max(s, 1));
  draw_rect(x0, 0, x0 + gw, H, SHADE);
  if (full >= t)
    draw_rect(x0, 0, x0 + gw, int(t * int64_t(H) / full), BELOW_THRESHOLD);

  const HistoryStats st = history_stats(hist, STAT_HISTORY, false);
  bool labelled = false;
  for (int i = 0; i < STAT_HISTORY; i++)
  {
    const int v = hist[i];
    const int bar_h = std::min(H, int(std::clamp<int64_t>(v, 0, full) * H / full));
    const int xi = x0 + i * w + 1;
    int age = i - write_idx;
    if (age < 0)
      age += STAT_HISTORY;
    const float a = float(age) / float(STAT_HISTORY);
    const vec4f c = v < t ? v_make(0.f, 0.5f * a, 0.f, 1.f) : v_make(0.5f * a, 0.f, 0.f, 1.f);
    draw_rect(xi, 0, x0 + (i + 1) * w, bar_h, vec4f_to_color(c));  // columns xi .. x0 + (i + 1) w - 1
    if (!labelled && v == st.max)
    {
      labelled = true;
      char buf[16];
      snprintf(buf, sizeof(buf), "%d", v);
      draw_text(buf, -1, xi + (w - 2) / 2, std::max(bar_h, H / 2), right_side ? 1 : -1, -1, WHITE);
    }
  }
}

void draw_stats_overlay()
{
  const MainLoopState &ml = main_loop;
  push_text_style();
  const int cell = debug_font.cellH;
  text_style.scale = std::max(1, d3d_ht / (cell * 40));
  const int sc = text_style.scale, L = cell * sc, h = d3d_ht, wd = d3d_wd;
  // y of half lines below the top: (cell / 2 + n x cell) x scale.
  auto half = [&](int n) { return h - (cell / 2 + n * cell) * sc; };

  const HistoryStats frame = history_stats(ml.frame_hist, STAT_HISTORY, false);
  const HistoryStats update = history_stats(ml.update_hist, STAT_HISTORY, false);
  const HistoryStats gpu = history_stats(ml.gpu_hist, STAT_HISTORY, true);
  const int step_us = get_time_usec(ml.step_ticks);

  draw_bar_graph(ml.frame_hist, ml.frame_hist_idx, step_us, step_us, true);
  draw_bar_graph(ml.update_hist, ml.update_hist_idx, std::min(step_us, std::max(1000, update.avg)), step_us,
                 false);

  draw_rect(wd - 12 * L, h - 14 * L, wd, h, SHADE);
  const int lx = wd - 11 * L;
  draw_text("FPS", -1, lx, h, -1, 1, WHITE);
  draw_value(wd, h, "%d", ml.frames_per_second);

  draw_text("frame\ntime", -1, lx, h - 3 * L, -1, 0, WHITE);
  draw_value(wd, half(1), "%02d", frame.max);
  draw_value(wd, half(2), "%02d", frame.avg);
  draw_value(wd, half(3), "%02d", frame.min);

  draw_text("update\ntime", -1, lx, half(6), -1, 0, WHITE);
  draw_value(wd, h - 5 * L, "%02d", update.max);
  draw_value(wd, h - 6 * L, "%02d", update.avg);
  draw_value(wd, h - 7 * L, "%02d", update.min);

  draw_text("tex\nmem", -1, lx, h - 9 * L, -1, 0, WHITE);
  const uint32_t mb = d3d_state.device ? get_free_texmem() >> 20 : 0;
  draw_value(wd, half(8), "%3d MB", int(mb));

  if (gpu.max >= 0)
  {
    draw_text("GPU\nload", -1, lx, half(11), -1, 0, WHITE);
    draw_value(wd, h - 10 * L, "%3d%%", gpu.max);
    draw_value(wd, h - 11 * L, "%3d%%", gpu.avg);
    draw_value(wd, h - 12 * L, "%3d%%", gpu.min);
  }
  pop_text_style();
}
