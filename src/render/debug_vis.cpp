#include "render/debug_vis.h"

#include <algorithm>

#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/shader.h"
#include "render/vbuf.h"
#include "render/vdecl.h"

namespace
{
Shader *debug_vis_shader = nullptr;
VDecl debug_vis_vdecl;
uint32_t mode = D3DPT_TRIANGLELIST;

const VsdElement debug_vis_desc[] = {
  {0, 0, VSDT_FLOAT3, VSDU_POSITION, 0},
  {12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
  {0, VSD_END, 0, 0, 0},
};

void switch_mode(uint32_t type)
{
  if (mode == type)
    return;
  common_vb_writer.flush(true);
  common_vb_writer.start(std_dyn_vb_render, type);
  mode = type;
}

DebugVisVertex vertex(vec4f p, D3dColor c) { return {v_extract_x(p), v_extract_y(p), v_extract_z(p), c}; }

vec4f vmin(vec4f a, vec4f b) { return {_mm_min_ps(a.m, b.m)}; }
vec4f vmax(vec4f a, vec4f b) { return {_mm_max_ps(a.m, b.m)}; }
// Corner i of a box: bit 0 takes x, bit 1 y, bit 2 z from `hi`, the others from `lo`.
vec4f corner(vec4f lo, vec4f hi, int i)
{
  return v_make(v_extract_x(i & 1 ? hi : lo), v_extract_y(i & 2 ? hi : lo), v_extract_z(i & 4 ? hi : lo), 1.0f);
}
}  // namespace

void init_debug_vis()
{
  debug_vis_vdecl = create_vdecl(debug_vis_desc);
  debug_vis_shader = create_shader("debug_vis.sh", nullptr);
}

void close_debug_vis()
{
  destroy_shader(debug_vis_shader);
  debug_vis_shader = nullptr;
  debug_vis_vdecl = {};
}

uint32_t debug_vis_mode() { return mode; }

void start_draw_debug_vis()
{
  set_vdecl(debug_vis_vdecl);
  set_vb(0, common_vb_writer.vb, 0, sizeof(DebugVisVertex));
  set_shader(debug_vis_shader);
  set_cull_mode(0);
  mode = D3DPT_TRIANGLELIST;
  common_vb_writer.start(std_dyn_vb_render, D3DPT_TRIANGLELIST);
}

void end_draw_debug_vis()
{
  common_vb_writer.flush(true);
  set_cull_mode(1);
}

void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor ca, D3dColor cb, D3dColor cc)
{
  switch_mode(D3DPT_TRIANGLELIST);
  DebugVisVertex *v = static_cast<DebugVisVertex *>(common_vb_writer.alloc(3 * sizeof(DebugVisVertex), 1));
  v[0] = vertex(a, ca);
  v[1] = vertex(b, cb);
  v[2] = vertex(c, cc);
}

void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor color) { draw_debug_vis_tri(a, b, c, color, color, color); }

void draw_debug_vis_line(vec4f a, vec4f b, D3dColor ca, D3dColor cb)
{
  switch_mode(D3DPT_LINELIST);
  DebugVisVertex *v = static_cast<DebugVisVertex *>(common_vb_writer.alloc(2 * sizeof(DebugVisVertex), 1));
  v[0] = vertex(a, ca);
  v[1] = vertex(b, cb);
}

void draw_debug_vis_line(vec4f a, vec4f b, D3dColor color) { draw_debug_vis_line(a, b, color, color); }

void draw_debug_vis_solid_box(vec4f c0, vec4f c1, D3dColor color, float grow)
{
  vec4f g = v_splats(grow);
  vec4f lo = vmin(c0, c1) - g, hi = vmax(c0, c1) + g;
  // Two triangles per face, corners by index bits (x 1, y 2, z 4), wound outwards.
  static const int faces[6][4] = {
    {0, 2, 3, 1},  // -z
    {4, 5, 7, 6},  // +z
    {0, 4, 6, 2},  // -x
    {1, 3, 7, 5},  // +x
    {0, 1, 5, 4},  // -y
    {2, 6, 7, 3},  // +y
  };
  for (const auto &f : faces)
  {
    vec4f a = corner(lo, hi, f[0]), b = corner(lo, hi, f[1]), c = corner(lo, hi, f[2]), d = corner(lo, hi, f[3]);
    draw_debug_vis_tri(a, b, c, color);
    draw_debug_vis_tri(a, c, d, color);
  }
}

void draw_debug_vis_cube(vec4f centre, float half_size, D3dColor color)
{
  draw_debug_vis_solid_box(centre, centre, color, half_size);
}

void draw_debug_vis_wire_box(vec4f c0, vec4f c1, D3dColor color)
{
  vec4f lo = vmin(c0, c1), hi = vmax(c0, c1);
  // Each edge joins two corners differing in one index bit.
  for (int i = 0; i < 8; i++)
    for (int bit = 1; bit < 8; bit <<= 1)
      if (!(i & bit))
        draw_debug_vis_line(corner(lo, hi, i), corner(lo, hi, i | bit), color);
}

void draw_debug_vis_cross_point(vec4f p, float size, D3dColor color)
{
  draw_debug_vis_line(p - v_make(size, 0, 0, 0), p + v_make(size, 0, 0, 0), color);
  draw_debug_vis_line(p - v_make(0, size, 0, 0), p + v_make(0, size, 0, 0), color);
  draw_debug_vis_line(p - v_make(0, 0, size, 0), p + v_make(0, 0, size, 0), color);
}
