#pragma once
// Screenshots: the composed frame (scene, interface, text and overlays) read from the back buffer
// just before it is presented, written as an RGBA PNG with opaque alpha.
#include <ctime>

// PrintScreen: the next frame presented is saved as shots/shot<date and time>.png beside the
// executable (shots/ is created when missing; two shots in one second share the name).
void request_screenshot();
// Called just before a frame is presented: saves the requested screenshot of that frame.
void take_requested_screenshot();
// "shots/shot%4u_%02u_%02u_%02u_%02u_%02u.png" from the local time `t` (year, month 1-12, day,
// hour, minute, second); "shots/shot.png" when `t` is null.
void screenshot_name(const struct tm *t, char *out, int size);
// Writes the drawn, not yet presented frame to `path`. Logs "screenshot...", then "screenshot
// captured to '<path>' in N ms", or "failed to save screenshot to '<path>': <reason>" and
// returns false.
bool save_screenshot(const char *path);
