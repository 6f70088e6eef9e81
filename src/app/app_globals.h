#pragma once
// Application-wide flags and time-step values, exported under these names for the game object
// module.
#include <cstdint>

extern bool isAppActive;
extern bool shouldHideMouse;
extern bool isFullscreen;
extern float time_dt;  // update: the fixed step; render: seconds since the last update
extern float time_ik;  // update: 1; render: time_dt / step length
extern uint64_t game_rnd_seed;
extern int gfx_quality;  // index into gfx_quality_name: 0 low, 1 high
extern const char *gfx_quality_name[3];
extern int land_shadow_quality;
extern bool use_fog;
extern bool use_postfx;
extern bool use_ppaa;
extern bool use_obj_shadows;
extern bool app_use_vsync;
extern bool show_fps;
extern bool use_wireframe;
extern int d3d_wd, d3d_ht;

// Set when the platform delivers the quit request (window closed, SIGINT/SIGTERM).
extern bool quit_requested;
