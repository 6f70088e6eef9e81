#pragma once
// A text progress bar for long jobs run from a terminal (the world tool's generation and water
// steps), fed with the splash messages and fractions of the job's phases.
//
// One bar covers one job: its label follows the current phase and its fill never goes back (a
// phase that reports less than the bar shows, as erosion does with its own 0..1, leaves the fill
// where it is). On a terminal the bar is one line redrawn in place; elsewhere a line is printed
// when the phase changes and when the line ends.
#include <cstdio>

struct ProgressBar
{
  FILE *out = nullptr;
  bool tty = false;             // redraw one line in place
  char label[128] = {};         // the current phase
  float done = 0.f;             // the fill, 0..1, never decreasing within one bar
  char written[256] = {};       // the last bar line written
  char written_label[128] = {}; // and its label
  bool line_open = false;       // terminal: a bar line is shown without its line break
};

// Starts a new bar at 0 on a line of its own.
void progress_begin(ProgressBar &bar);
// Shows `label` at `fraction` (clamped to 1; the fill keeps the largest value so far). A
// negative or NaN fraction prints the label alone as a line of its own.
void progress_show(ProgressBar &bar, const char *label, float fraction);
// Ends the open line (before a log line or an error message, and when the job ends); the bar
// goes on on the next line at the next progress_show.
void progress_end_line(ProgressBar &bar);
