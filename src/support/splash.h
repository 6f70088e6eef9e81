#pragma once
// Splash screen with a progress bar, shown during long loading steps (world generation,
// erosion). Until the debug-text renderer draws it, a call records the latest message and
// progress and tells the listener, if one is set (the headless world tool draws a progress bar
// on the terminal).
#include "support/export.h"

// Shows `msg` with a progress bar at `progress` (0..1; negative: no bar).
QM_EXPORT void show_splash(const char *msg, float progress);

// The last message and progress given to show_splash ("" and 0 before the first call).
const char *last_splash_message();
float last_splash_progress();

using SplashListener = void (*)(const char *msg, float progress);
void set_splash_listener(SplashListener fn);
