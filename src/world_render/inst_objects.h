#pragma once
// The renderer of every mesh-based object, one global each under the name the game object module
// links to, and the house pieces: the renderer of each piece number and the record that places a
// piece on its ground square.
#include "terrain/hmap_data.h"
#include "terrain/house_pieces.h"
#include "world_render/inst_render.h"

QM_EXPORT extern SimpleInstRender menhir1_inst, menhir2_inst, stone1_inst, gatherer_eye_inst, wyvern_head_inst,
    wyvern_tail_inst;
QM_EXPORT extern MorphInstRender bird_body_inst, gatherer_body_inst;
QM_EXPORT extern SplineInstRender wyvern_body_inst;
QM_EXPORT extern BuildingInstRender castle_wall1_inst, castle_wall2_inst, castle_wall3_inst, castle_wall4_inst,
    castle_slant1_inst, castle_slant2_inst, castle_slant3_inst, castle_slant4_inst, castle_corner1_inst,
    castle_corner2_inst, castle_walk_inst, tower_wall1_inst, tower_wall2_inst, tower_corner_inst, merlon_wall1_inst,
    merlon_wall2_inst, merlon_corner_inst, merlon_top_inst, roof_corner_inst;

// Every renderer with its mesh file ("meshes/<name>.mesh", <name> the renderer's name without
// "_inst"), for the module's start-up: for (auto &r : inst_renderers) r.render->init(r.mesh, q).
struct InstRendererEntry
{
  const char *name;  // "menhir1_inst", ...
  InstRender *render;
  const char *mesh;  // "meshes/menhir1.mesh", ...
};
constexpr int NUM_INST_RENDERERS = 28;
QM_EXPORT extern const InstRendererEntry inst_renderers[NUM_INST_RENDERERS];

// The renderer of each house piece number (Surface::house_piece), in the order of the piece
// letters 'a'..'s'.
QM_EXPORT extern BuildingInstRender *const house_tile_info[num_house_tiles];

// The record that draws the piece on the house square (x, z): its four corner heights read from
// `heights` (a 256 x 256 world array, coordinates wrapped), its rotation and the ground colour.
QM_EXPORT BuildingInstData make_house_piece_inst(const HeightmapData::Surface &s, int x, int z, const float *heights);
// Queues that record with the renderer of the square's piece; false (nothing queued) when the
// square holds no valid piece or that renderer has no mesh.
QM_EXPORT bool queue_house_piece(const HeightmapData::Surface &s, int x, int z, const float *heights);

// Initialises every renderer with its mesh; closes them (shutdown, tests).
QM_EXPORT void init_all_inst_renderers(int quality);
QM_EXPORT void close_all_inst_renderers();
