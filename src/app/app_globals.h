#pragma once
// Application-wide flags and time-step values, exported under these names for the game object
// module.
#include <cstdint>

extern bool isAppActive;
extern bool shouldHideMouse;
extern float time_dt;  // update: the fixed step; render: seconds since the last update
extern float time_ik;  // update: 1; render: time_dt / step length
extern int gfx_quality;  // index into gfx_quality_name: 0 low, 1 high
extern const char *gfx_quality_name[3];
extern int land_shadow_quality;
extern bool use_fog;
extern bool use_postfx;
extern bool use_ppaa;
extern bool use_obj_shadows;
extern bool show_fps;
extern bool use_wireframe;
