#include "platform/timer.h"

#include "platform/sdl_platform.h"

// The counter's own rate from the start, so that times measured before init_timer (tools, tests)
// are right rather than counted in raw ticks.
int64_t timer_frequency = platform_counter_frequency();
double timer_frequency_inv = 1.0 / double(timer_frequency);

void init_timer(int64_t freq)
{
  timer_frequency = freq > 0 ? freq : platform_counter_frequency();
  if (timer_frequency < 1)
    timer_frequency = 1;
  timer_frequency_inv = 1.0 / double(timer_frequency);
}

int64_t get_ref_time() { return platform_counter(); }

// Split into whole seconds and the remainder so that long spans never overflow.
static int64_t scale_ticks(int64_t t, int64_t unit)
{
  return (t / timer_frequency) * unit + (t % timer_frequency) * unit / timer_frequency;
}

int get_time_msec(int64_t ticks) { return int(scale_ticks(ticks, 1000)); }
int get_time_usec(int64_t ticks) { return int(scale_ticks(ticks, 1000000)); }
float get_time_sec(int64_t ticks) { return float(double(ticks) * timer_frequency_inv); }
