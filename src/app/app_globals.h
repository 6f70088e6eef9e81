#pragma once
// Application-wide flags and time-step values, exported under these names for the game object
// module.
#include <cstdint>

#include "support/export.h"

QM_EXPORT extern bool isAppActive;
QM_EXPORT extern bool shouldHideMouse;
QM_EXPORT extern float time_dt;  // update: the fixed step; render: seconds since the last update
          QM_EXPORT extern float time_ik;  // update: 1; render: time_dt / step length
          QM_EXPORT extern int gfx_quality;  // index into gfx_quality_name: 0 low, 1 high
          QM_EXPORT extern const char *gfx_quality_name[3];
QM_EXPORT extern int land_shadow_quality;
QM_EXPORT extern bool use_fog;
QM_EXPORT extern bool use_postfx;
QM_EXPORT extern bool use_ppaa;
QM_EXPORT extern bool use_obj_shadows;
QM_EXPORT extern bool show_fps;
QM_EXPORT extern bool use_wireframe;
