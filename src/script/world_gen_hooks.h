#pragma once
// What world generation asks of parts that are connected later: the game object module, the land
// renderer, the effects, the sky and the main loop. Each entry may stay null; generation then skips that step
// (get_land_height falls back to the bilinear height of hmap).
#include <squirrel.h>

#include "support/vec4f.h"

struct WorldGenHooks
{
  // Game object module.
  void (*remove_all_gameobj)() = nullptr;
  void (*before_generate)() = nullptr;  // tells the local player a new world is coming
  void (*after_generate)() = nullptr;   // tells the local player the new world is ready
  void (*bind_gameobj)(HSQUIRRELVM v) = nullptr;
  float (*get_land_height)(float x, float z) = nullptr;
  // Effects, renderer, sky.
  void (*reset_common_fx)() = nullptr;
  void (*full_land_update)() = nullptr;
  void (*set_sun_dir)(vec4f dir) = nullptr;
  // Main loop: the time generation took is not simulation time.
  void (*reset_update_time)() = nullptr;
};

extern WorldGenHooks world_gen_hooks;
