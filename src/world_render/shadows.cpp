// Shadow balls binned into screen tiles and drawn tile by tile; the map grid walker.
#include "world_render/shadows.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/debug_vis.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/shader.h"
#include "render/vbuf.h"
#include "terrain/game_rnd.h"

ShadowState shadow_state;

static const int pass_numvec[4] = {8, 4, 2, 1};

int shadow_pass_stride(int numvec) { return 4 + 16 * numvec; }

void init_obj_shadows()
{
  ShadowState &s = shadow_state;
  for (int p = 0; p < 4; p++)
  {
    VsdElement d[2 + SHADOW_GROUP_BALLS + 1];
    int n = 0;
    d[n++] = {0, 0, VSDT_SHORT2, VSDU_POSITION, 0};
    d[n++] = {0, 1, VSDT_SHORT2, VSDU_POSITION, 1};
    for (int i = 0; i < pass_numvec[p]; i++)
      d[n++] = {uint16_t(4 + 16 * i), 1, VSDT_FLOAT4, VSDU_TEXCOORD, uint8_t(i)};
    d[n] = {0, VSD_END, 0, 0, 0};
    s.decls[p] = create_vdecl(d);
  }
  const int16_t corners[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  const uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
  s.cornerVb = create_static_vb(corners, sizeof(corners));
  s.ib = create_static_ib(idx, 6);
  if (!s.cornerVb || !s.ib)
    fatal("Can't create shadows VB");
  const char *defines[4] = {"NUMVEC\0 8\0", "NUMVEC\0 4\0", "NUMVEC\0 2\0", "NUMVEC\0 1\0"};
  for (int p = 0; p < 4; p++)
    s.shaders[p] = create_shader("dr_shadow.sh", defines[p]);
}

void close_obj_shadows()
{
  ShadowState &s = shadow_state;
  for (Shader *&sh : s.shaders)
  {
    if (sh)
      destroy_shader(sh);
    sh = nullptr;
  }
  for (VDecl &d : s.decls)
    d = {};
  if (s.cornerVb)
    free_vb(s.cornerVb);
  if (s.ib)
    free_ib(s.ib);
  s.cornerVb = nullptr;
  s.ib = nullptr;
  s.groups.clear();
  s.links.clear();
  s.debugBalls.clear();
}

void start_render_shadows(const ShadowView &view)
{
  ShadowState &s = shadow_state;
  s.view = view;
  s.debugBalls.clear();
  for (ShadowTile &t : s.tiles)
    t = ShadowTile{};
  s.groups.clear();
  s.links.clear();
}

static void add_ball_to_tile(ShadowTile &t, vec4f ball)
{
  ShadowState &s = shadow_state;
  if (t.curGroup >= 0 && t.curCount < SHADOW_GROUP_BALLS)
  {
    s.groups[t.curGroup].balls[t.curCount++] = ball;
    return;
  }
  int g = s.groups.size();
  s.groups.push_back(ShadowGroup{});
  s.links.push_back(-1);
  if (t.curGroup >= 0)
  {
    s.links[t.curGroup] = g;
    t.fullGroups++;
  }
  else
    t.firstGroup = g;
  t.curGroup = g;
  t.curCount = 1;
  s.groups[g].balls[0] = ball;
}

void render_shadow_ball(vec4f c, float r)
{
  ShadowState &s = shadow_state;
  const vec4f ball = v_set(c, 3, r);
  s.debugBalls.push_back(ball);
  const ShadowView &v = s.view;
  const vec4f moved = c - v.sun * (3.f * r);
  const float rr = 5.f * r;
  const Matrix44 &m = v.globTm;
  vec4f p = m44_row(m, 0) * v_extract_x(moved) + m44_row(m, 1) * v_extract_y(moved) +
            m44_row(m, 2) * v_extract_z(moved) + m44_row(m, 3);
  vec4f e = v.globRk * rr;
  const float px = v_extract_x(p), py = v_extract_y(p), pz = v_extract_z(p), pw = v_extract_w(p);
  const float ex = v_extract_x(e), ey = v_extract_y(e), ez = v_extract_z(e), ew = v_extract_w(e);
  if (px + ex < -pw || px - ex > pw || py + ey < -pw || py - ey > pw || pz + ez < 0 || pz - ez > pw)
    return;
  if (!(std::isfinite(px) && std::isfinite(py) && std::isfinite(pw) && std::isfinite(ex) && std::isfinite(ey)))
    return;
  const float iw = 1.f / std::max(pw, 0.1f), ie = 1.f / std::max(pw - ew, 0.1f);
  const float nx = px * iw, ny = py * iw, sx = ex * ie, sy = ey * ie;
  auto cell = [](float v, float k, int hi) {
    float f = std::trunc((v + 1.f) * k);
    return int(std::clamp(f, 0.f, float(hi)));
  };
  const int x0 = cell(nx - sx, 8.f, SHADOW_TILES_X - 1), x1 = cell(nx + sx, 8.f, SHADOW_TILES_X - 1);
  const int y0 = cell(ny - sy, 4.5f, SHADOW_TILES_Y - 1), y1 = cell(ny + sy, 4.5f, SHADOW_TILES_Y - 1);
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++)
      add_ball_to_tile(s.tiles[y * SHADOW_TILES_X + x], ball);
}

// Writes one instance: the tile, then `n` balls (stored unaligned at 4 + 16 i).
static void write_tile(DynVBWriter &w, int col, int row, const vec4f *balls, int n)
{
  uint8_t *p = static_cast<uint8_t *>(w.alloc(shadow_pass_stride(n), 1));
  const int16_t tile[2] = {int16_t(col), int16_t(row)};
  memcpy(p, tile, 4);
  for (int i = 0; i < n; i++)
    _mm_storeu_ps(reinterpret_cast<float *>(p + 4 + 16 * i), balls[i].m);
}

void end_render_shadows()
{
  ShadowState &s = shadow_state;
  if (!s.shaders[0])
    return;
  clear_view_color(0xFFFFFFFF);
  const float cam[4] = {v_extract_x(s.view.cameraPos), v_extract_y(s.view.cameraPos), v_extract_z(s.view.cameraPos), 1.f};
  set_ps_const(16, cam, 1);
  const float map[4] = {2.f / SHADOW_TILES_X, 2.f / SHADOW_TILES_Y, -1.f, -1.f};
  set_vs_const(15, map, 1);
  set_blend_multiply();
  set_vb(0, s.cornerVb, 0, 4);
  set_ib(s.ib);
  DynVBWriter &w = common_vb_writer;
  for (int p = 0; p < 4; p++)
  {
    const int numvec = pass_numvec[p];
    set_vdecl(s.decls[p]);
    set_shader(s.shaders[p]);
    set_vb(1, w.vb, 0, uint32_t(shadow_pass_stride(numvec)));
    w.start(inst_dyn_vb_render, inst_render_param(4, 2));
    for (int row = 0; row < SHADOW_TILES_Y; row++)
      for (int col = 0; col < SHADOW_TILES_X; col++)
      {
        const ShadowTile &t = s.tiles[row * SHADOW_TILES_X + col];
        if (t.curGroup < 0)
          continue;
        const vec4f *cur = s.groups[t.curGroup].balls;
        if (numvec == 8)
        {
          for (int g = t.firstGroup; g >= 0; g = s.links[g])
            if (g != t.curGroup || t.curCount == 8)
              write_tile(w, col, row, s.groups[g].balls, 8);
        }
        else if (t.curCount & numvec)
          write_tile(w, col, row, cur + (t.curCount & ~(2 * numvec - 1) & 7), numvec);
      }
    w.flush(true);
  }
  set_vb(1, nullptr, 0, 0);
  set_instancing(0);
  set_blend_none();
}

void render_shadows_debug()
{
  const ShadowState &s = shadow_state;
  for (const vec4f &b : s.debugBalls)
  {
    const float r = v_extract_w(b);
    const vec4f c = v_set(b, 3, 1.f);
    draw_debug_vis_cross_point(c, r, 0xFF000000);
    draw_debug_vis_cross_point(c - s.view.sun * (3.f * r), 5.f * r, 0xFF00FF00);
  }
}

void walk_map_grid(int level, IWalkMapGrid &walker)
{
  level = std::clamp(level, -4, 8);
  if (level >= 8)
  {
    walker.on_map_grid_walk(0, 0, 256);
    return;
  }
  if (level >= 0)
  {
    const int c = 1 << level;
    for (int z = 0; z < 256; z += c)
      for (int x = 0; x < 256; x += c)
        walker.on_map_grid_walk(float(x), float(z), float(c));
    return;
  }
  const int k = 1 << -level;
  const float size = 1.f / float(k);
  for (int i = 0; i < 256 * k; i++)
    for (int j = 0; j < 256 * k; j++)
      walker.on_map_grid_walk(float(j) / float(k), float(i) / float(k), size);
}

void GenMapCellPoints::on_map_grid_walk(float x, float z, float cellSize)
{
  for (int i = 0; i < count; i++)
  {
    const float r1 = game_rnd_unit(game_rnd());
    const float r2 = game_rnd_unit(game_rnd());
    if (consumer)
      consumer->on_map_cell_point(x + cellSize * r1, z + cellSize * r2);
  }
}
