#pragma once
// Timer services over the high-resolution counter (ticks of `timer_frequency` per second).
#include <cstdint>

#include "support/export.h"

extern int64_t timer_frequency;
extern double timer_frequency_inv;

// Reads the counter frequency (or takes the given one, for tests driving a fake clock).
void init_timer(int64_t freq = 0);

QM_EXPORT int64_t get_ref_time();
QM_EXPORT int get_time_msec(int64_t ticks);
QM_EXPORT int get_time_usec(int64_t ticks);
QM_EXPORT float get_time_sec(int64_t ticks);
