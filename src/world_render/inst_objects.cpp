// The exported renderers, the house piece table and the placement of house pieces.
#include "world_render/inst_objects.h"

#include <cstring>

#include "render/mesh.h"

SimpleInstRender menhir1_inst, menhir2_inst, stone1_inst, gatherer_eye_inst, wyvern_head_inst, wyvern_tail_inst;
MorphInstRender bird_body_inst, gatherer_body_inst;
SplineInstRender wyvern_body_inst;
BuildingInstRender castle_wall1_inst, castle_wall2_inst, castle_wall3_inst, castle_wall4_inst, castle_slant1_inst,
    castle_slant2_inst, castle_slant3_inst, castle_slant4_inst, castle_corner1_inst, castle_corner2_inst,
    castle_walk_inst, tower_wall1_inst, tower_wall2_inst, tower_corner_inst, merlon_wall1_inst, merlon_wall2_inst,
    merlon_corner_inst, merlon_top_inst, roof_corner_inst;

#define INST_ENTRY(n) {#n "_inst", &n##_inst, "meshes/" #n ".mesh"}
const InstRendererEntry inst_renderers[NUM_INST_RENDERERS] = {
    INST_ENTRY(roof_corner),   INST_ENTRY(tower_corner),   INST_ENTRY(tower_wall1),   INST_ENTRY(tower_wall2),
    INST_ENTRY(castle_walk),   INST_ENTRY(merlon_top),     INST_ENTRY(merlon_corner), INST_ENTRY(merlon_wall1),
    INST_ENTRY(merlon_wall2),  INST_ENTRY(castle_wall1),   INST_ENTRY(castle_wall2),  INST_ENTRY(castle_wall3),
    INST_ENTRY(castle_wall4),  INST_ENTRY(castle_slant1),  INST_ENTRY(castle_slant2), INST_ENTRY(castle_slant3),
    INST_ENTRY(castle_slant4), INST_ENTRY(castle_corner1), INST_ENTRY(castle_corner2), INST_ENTRY(stone1),
    INST_ENTRY(menhir1),       INST_ENTRY(menhir2),        INST_ENTRY(gatherer_body), INST_ENTRY(gatherer_eye),
    INST_ENTRY(bird_body),     INST_ENTRY(wyvern_body),    INST_ENTRY(wyvern_head),   INST_ENTRY(wyvern_tail),
};
#undef INST_ENTRY

BuildingInstRender *const house_tile_info[num_house_tiles] = {
    &roof_corner_inst,   &tower_corner_inst,  &tower_wall1_inst,   &tower_wall2_inst,   &castle_walk_inst,
    &merlon_top_inst,    &merlon_corner_inst, &merlon_wall1_inst,  &merlon_wall2_inst,  &castle_wall1_inst,
    &castle_wall2_inst,  &castle_wall3_inst,  &castle_wall4_inst,  &castle_slant1_inst, &castle_slant2_inst,
    &castle_slant3_inst, &castle_slant4_inst, &castle_corner1_inst, &castle_corner2_inst,
};

BuildingInstData make_house_piece_inst(const HeightmapData::Surface &s, int x, int z, const float *heights)
{
  auto h = [&](int dx, int dz) { return heights[(((z + dz) & 255) << 8) | ((x + dx) & 255)]; };
  BuildingInstData d;
  d.x = int16_t(x);
  d.z = int16_t(z);
  d.heights[0] = h(0, 0);
  d.heights[1] = h(1, 0);
  d.heights[2] = h(0, 1);
  d.heights[3] = h(1, 1);
  d.rotColor = (s.color & 0xFFFFFF) | uint32_t(s.house_rot) << 24;
  return d;
}

bool queue_house_piece(const HeightmapData::Surface &s, int x, int z, const float *heights)
{
  if (s.house_piece >= num_house_tiles || !house_tile_info[s.house_piece]->mesh)
    return false;
  BuildingInstData d = make_house_piece_inst(s, x, z, heights);
  memcpy(house_tile_info[s.house_piece]->addInstance(), &d, sizeof(d));
  return true;
}

void init_all_inst_renderers(int quality)
{
  for (const InstRendererEntry &e : inst_renderers)
    e.render->init(e.mesh, quality);
}

void close_all_inst_renderers()
{
  for (const InstRendererEntry &e : inst_renderers)
    if (e.render->mesh)
      e.render->close();
}
