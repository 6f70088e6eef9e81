#include "app/app_globals.h"

bool isAppActive = false;
bool shouldHideMouse = false;
bool isFullscreen = false;
float time_dt = 0;
float time_ik = 0;
uint64_t game_rnd_seed = 12345;
int gfx_quality = 1;
const char *gfx_quality_name[3] = {"low", "high", nullptr};
int land_shadow_quality = 2;
bool use_fog = true;
bool use_postfx = true;
bool use_ppaa = false;
bool use_obj_shadows = true;
bool app_use_vsync = true;
bool show_fps = false;
bool use_wireframe = false;
int d3d_wd = 0, d3d_ht = 0;
bool quit_requested = false;
