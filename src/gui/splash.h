#pragma once
// Splash screen with a progress bar, shown during long loading steps (world generation,
// erosion). Until the debug-text renderer draws it, a call only records the latest message and
// progress so that it can be shown and inspected.

// Shows `msg` with a progress bar at `progress` (0..1).
void show_splash(const char *msg, float progress);

// The last message and progress given to show_splash ("" and 0 before the first call).
const char *last_splash_message();
float last_splash_progress();
