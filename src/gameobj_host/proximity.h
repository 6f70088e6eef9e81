#pragma once
// The proximity grid: a spatial hash over the wrapping 256 x 256 world that finds the game objects
// near a region without scanning them all. Each object is filed in one bin chosen from its
// bounding rectangle on the ground (minX, minZ, maxX, maxZ in world units): a fine bin when the
// rectangle fits one 8 x 8 cell, a coarse bin when it fits one 16 x 16 cell (shifted by 4 units),
// otherwise the overflow bin. Both grids wrap with the world (32 x 8 = 16 x 16 = 256 units).
#include "gameobj_host/game_obj.h"
#include "support/vec4f.h"

constexpr int PROXIMITY_FINE_CELLS = 32;    // per axis, 8 units each
constexpr int PROXIMITY_COARSE_CELLS = 16;  // per axis, 16 units each
constexpr int PROXIMITY_COARSE_BASE = PROXIMITY_FINE_CELLS * PROXIMITY_FINE_CELLS;
constexpr int PROXIMITY_OVERFLOW_BIN = PROXIMITY_COARSE_BASE + PROXIMITY_COARSE_CELLS * PROXIMITY_COARSE_CELLS;
constexpr int NUM_PROXIMITY_BINS = PROXIMITY_OVERFLOW_BIN + 1;
// Rectangles reaching past this distance from the origin (or not finite) are filed in the
// overflow bin; a query past it on an axis takes every cell of that axis.
constexpr float PROXIMITY_MAX_COORD = 1048576.f;

// The bins; the module walks them in place.
QM_EXPORT extern DynArray<GameObj *, DefaultAllocator> proximity[NUM_PROXIMITY_BINS];

// The bin a rectangle is filed in.
int proximity_bin_of_rect(vec4f rect);
// Files the object by its current rectangle (nothing moves when the bin stays the same).
QM_EXPORT void update_proximity(GameObj *obj, vec4f rect);
// Takes the object out of the grid and marks it not filed; null is ignored.
QM_EXPORT void remove_proximity_object(GameObj *obj);
// Empties every bin and gives back their storage (at exit; filed objects are left marked).
void release_proximity();

// The bins that can hold objects overlapping a rectangle. The answer is conservative: callers
// test the objects of the collected bins themselves.
struct QM_EXPORT ProximityQuery
{
  DynArray<int, DefaultAllocator> bins;  // non-empty bins, each once
  int curBin = 0;                        // the caller's walk: position in bins
  int curIndex = -1;                     // and within the current bin

  // Collects the non-empty bins for `rect` (the overflow bin too unless skipOverflow) and sets
  // the walk before the first object of the first collected bin.
  void proximityQuery(vec4f rect, bool skipOverflow);
};
