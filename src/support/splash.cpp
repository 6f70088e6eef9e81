#include "support/splash.h"

#include <cstdio>

static char splash_msg[256];
static float splash_progress = 0;
static SplashListener splash_listener = nullptr;

void show_splash(const char *msg, float progress)
{
  snprintf(splash_msg, sizeof(splash_msg), "%s", msg ? msg : "");
  splash_progress = progress;
  if (splash_listener)
    splash_listener(splash_msg, progress);
}

const char *last_splash_message() { return splash_msg; }
float last_splash_progress() { return splash_progress; }
void set_splash_listener(SplashListener fn) { splash_listener = fn; }
