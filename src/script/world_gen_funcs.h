#pragma once
// The root-table generation interface of the world generation machine: terrain operations,
// noise, masks applied to the world, recolouring, and the constants.
#include <squirrel.h>

#include "script/sqbind.h"
#include "terrain/hmap_data.h"

// The generation functions, then the constants (HMAP_SIZE, GT_*, ST_*, DEMO).
void register_world_gen_functions(HSQUIRRELVM v);

// Fills erosion parameters from a script table (keys Kq, Kw, Kr, Kd, Ki, minSlope, g,
// depositBlend, reactionTime, reactions); missing keys keep their defaults. Throws
// sqbind::SquirrelError for a bad value.
void read_erosion_params(HSQUIRRELVM v, const SqObject &table, HeightmapData::ErosionParams &p);
