#pragma once
// The statistics overlay (F1): bar graphs of the last 200 update times (left) and frame times
// (right) along the bottom, and a panel at the top right with frames per second, the maximum,
// average and minimum of the frame, update and GPU load histories, and free texture memory.
// Times are microseconds.
#include <cstdint>

// Maximum, minimum and rounded average of a history; samples below 0 are left out when
// `skip_negative` (GPU load without a sample). All -1 when no sample counts.
struct HistoryStats
{
  int max = -1, min = -1, avg = -1;
};
HistoryStats history_stats(const int *hist, int count, bool skip_negative);

// Between start_draw_text and end_draw_text: the overlay from the main loop's statistics.
void draw_stats_overlay();

// Between start_draw_text and end_draw_text: one bar graph of `hist` (STAT_HISTORY entries, the
// oldest at `write_idx`) at the bottom right or left, `d3d_ht` / 4 high. Bars are green below the
// threshold `t`, red from it, darker the older; the full height stands for 2 x `s`.
void draw_bar_graph(const int *hist, int write_idx, int s, int t, bool right_side);
