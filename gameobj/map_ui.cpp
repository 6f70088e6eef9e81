// The map in a corner of the spells screen: the whole world map, centred on the player (it wraps
// as the world does), north up, with what matters in play marked on it: the player and where it
// looks, missiles in flight and where they will land, the spells still to find, mana balls, the
// portal and monsters.
#include <cmath>

#include "app/camera.h"
#include "render/ui_render.h"
#include "world_render/world_map.h"
#include "module.h"

namespace
{
StdRenderBatchState map_state;

struct MapFrame
{
  float x, y, size, pu, pv;  // corner, size, the player's texture coordinate
  // Where world point p shows, false when it falls off the map's edge.
  bool place(vec4f p, float &sx, float &sy) const
  {
    float u, v;
    world_map_uv(v_extract_x(p), v_extract_z(p), u, v);
    float du = std::remainder(u - pu, 1.f), dv = std::remainder(v - pv, 1.f);
    sx = x + size * (0.5f + du);
    sy = y + size * (0.5f + dv);
    return std::fabs(du) < 0.49f && std::fabs(dv) < 0.49f;
  }
};

void dot(const MapFrame &f, vec4f p, float r, D3dColor fill, D3dColor edge)
{
  float sx, sy;
  if (!f.place(p, sx, sy))
    return;
  render_rounded_box(gui_batch, {sx - r, sy - r, sx + r, sy + r}, v_splats(r), fill, 1.f, 0, 0, 0, edge, -1);
}
}  // namespace

void init_map_ui() { map_state.reset(); }

void draw_map_ui(float x, float y, float size)
{
  Player *p = local_player;
  if (!p || !(size > 8.f))
    return;
  MapFrame f = {x, y, size, 0.f, 0.f};
  world_map_uv(v_extract_x(p->pos), v_extract_z(p->pos), f.pu, f.pv);
  render_rounded_box(gui_batch, {x - 3.f, y - 3.f, x + size + 3.f, y + size + 3.f}, v_splats(6.f), 0xC0101010u, 1.5f, 0,
                     2.f, 0, 0xFFC8A050u, 4.f);
  if (Texture *tex = HeightmapRenderer::mapTex)
  {
    init_ui_image_state(map_state, tex, nullptr);
    render_ui_image(gui_batch, &map_state, {x, y, x + size, y + size}, 0xFFFFFFFFu,
                    {f.pu - 0.5f, f.pv - 0.5f, f.pu + 0.5f, f.pv + 0.5f});
  }
  const float r = std::max(1.5f, size / 90.f);
  for (int i = 0; i < ManaBall_list.size(); i++)
    dot(f, ManaBall_list[i]->pos, r * 0.8f, 0xFF80C0FFu, 0xFF203060u);
  for (int i = 0; i < Spell_list.size(); i++)
    if (!Spell_list[i]->inGrid)
      dot(f, Spell_list[i]->pos, r * 1.3f, 0xFFFFD060u, 0xFF503000u);
  for (int i = 0; i < WorldPortal_list.size(); i++)
    dot(f, WorldPortal_list[i]->pos, r * 2.f, 0xFFD090FFu, 0xFF400060u);
  for (int i = 0; i < GameObj_list.size(); i++)
  {
    GameObj *o = GameObj_list[i];
    if (Missile *m = dynamic_cast<Missile *>(o))
    {
      // The landing place as a ring, the missile as a spark.
      dot(f, m->target, r * 1.6f, 0x00000000u, 0xFFFF5030u);
      dot(f, m->pos, r * 0.9f, 0xFFFFA040u, 0xFF602000u);
    }
    else if (dynamic_cast<Monster *>(o))
      dot(f, o->pos, r, 0xFFE03030u, 0xFF300000u);
  }
  // The player, and a short line of dots where it looks.
  vec4f fwd = m44_row(cur_view_itm, 2);
  float fx = v_extract_x(fwd), fz = v_extract_z(fwd), len = std::sqrt(fx * fx + fz * fz);
  if (len > 1e-3f)
    for (int k = 1; k <= 3; k++)
    {
      const float pixels = (1.6f + 1.5f * float(k)) * r;
      dot(f, p->pos + v_make(fx, 0.f, fz, 0.f) * (pixels * 256.f / size / len), r * 0.6f, 0xFFFFFFFFu, 0xFF000000u);
    }
  dot(f, p->pos, r * 1.4f, 0xFFFFFFFFu, 0xFF000000u);
}
