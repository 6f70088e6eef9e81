#include "app/app_globals.h"

bool isAppActive = false;
bool shouldHideMouse = false;
float time_dt = 0;
float time_ik = 0;
int gfx_quality = 1;
const char *gfx_quality_name[3] = {"low", "high", nullptr};
int land_shadow_quality = 2;
bool use_fog = true;
bool use_postfx = true;
bool use_ppaa = false;
bool use_obj_shadows = true;
bool show_fps = false;
bool use_wireframe = false;
