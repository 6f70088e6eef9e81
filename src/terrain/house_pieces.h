#pragma once
// Numbering of the house and castle pieces stored in Surface::house_piece. The letters of the
// house templates map onto it ('a' = 0); the building renderer draws piece i with the instanced
// mesh named house_piece_inst_names[i].
enum HousePiece
{
  HP_ROOF_CORNER,
  HP_TOWER_CORNER,
  HP_TOWER_WALL1,
  HP_TOWER_WALL2,
  HP_CASTLE_WALK,
  HP_MERLON_TOP,
  HP_MERLON_CORNER,
  HP_MERLON_WALL1,
  HP_MERLON_WALL2,
  HP_CASTLE_WALL1,
  HP_CASTLE_WALL2,
  HP_CASTLE_WALL3,
  HP_CASTLE_WALL4,
  HP_CASTLE_SLANT1,
  HP_CASTLE_SLANT2,
  HP_CASTLE_SLANT3,
  HP_CASTLE_SLANT4,
  HP_CASTLE_CORNER1,
  HP_CASTLE_CORNER2,
};

constexpr int num_house_tiles = 19;

constexpr const char *house_piece_inst_names[num_house_tiles] = {
  "roof_corner_inst",   "tower_corner_inst",  "tower_wall1_inst",   "tower_wall2_inst",
  "castle_walk_inst",   "merlon_top_inst",    "merlon_corner_inst", "merlon_wall1_inst",
  "merlon_wall2_inst",  "castle_wall1_inst",  "castle_wall2_inst",  "castle_wall3_inst",
  "castle_wall4_inst",  "castle_slant1_inst", "castle_slant2_inst", "castle_slant3_inst",
  "castle_slant4_inst", "castle_corner1_inst", "castle_corner2_inst",
};

static_assert(HP_CASTLE_CORNER2 + 1 == num_house_tiles);
