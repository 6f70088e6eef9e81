#include "render/ui_render.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/device.h"
#include "render/shader.h"
#include "support/debug.h"

namespace
{
StdRenderBatchState rounded_box_state;
Shader *ui_image_shader = nullptr;
VDecl ui_image_vdecl;

const VsdElement rounded_box_desc[] = {
  {0, 0, VSDT_FLOAT2, VSDU_POSITION, 0},
  {8, 0, VSDT_FLOAT4, VSDU_TEXCOORD, 0},
  {24, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 1},
  {28, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
  {32, 0, VSDT_D3DCOLOR, VSDU_COLOR, 1},
  {36, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 2},
  {40, 0, VSDT_FLOAT1, VSDU_TEXCOORD, 3},
  {0, VSD_END, 0, 0, 0},
};

const VsdElement ui_image_desc[] = {
  {0, 0, VSDT_FLOAT2, VSDU_POSITION, 0},
  {8, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
  {12, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0},
  {0, VSD_END, 0, 0, 0},
};

// A value in 0..1 as a byte, rounded; NaN gives 0.
uint32_t unit_byte(float v)
{
  if (!(v > 0.0f))
    return 0;
  if (v >= 1.0f)
    return 255;
  return uint32_t(std::lrintf(v * 255.0f));
}
// Four values in 0..1 packed so that a shader reads them back as (r, g, b, a) = (a0, a1, a2, a3).
D3dColor pack_rgba(float a0, float a1, float a2, float a3)
{
  return (unit_byte(a3) << 24) | (unit_byte(a0) << 16) | (unit_byte(a1) << 8) | unit_byte(a2);
}
float radius_unit(float r) { return r / 255.0f; }  // clamped to 0..255 pixels by the packing
float signed_unit(float v) { return v / 255.0f + 0.5f; }

BatchRect grow(const BatchRect &r, float d) { return {r.x0 - d, r.y0 - d, r.x1 + d, r.y1 + d}; }
BatchRect normalized(const BatchRect &r)
{
  return {std::min(r.x0, r.x1), std::min(r.y0, r.y1), std::max(r.x0, r.x1), std::max(r.y0, r.y1)};
}
}  // namespace

void init_rounded_box_render()
{
  rounded_box_state.shader = create_shader("roundedBox.sh", nullptr);
  rounded_box_state.vdecl = create_vdecl(rounded_box_desc);
  rounded_box_state.stride = int(sizeof(RoundedBoxVertex));
  rounded_box_state.texture = nullptr;
}

void close_rounded_box_render()
{
  destroy_shader(rounded_box_state.shader);
  rounded_box_state.reset();
}

BaseRenderBatchState *get_rounded_box_state() { return &rounded_box_state; }

BatchRect make_rounded_box_vertices(RoundedBoxVertex v[6], const BatchRect &rect_in, vec4f radii,
                                    D3dColor color, float edge_width, float offset_x,
                                    float offset_y, float size, D3dColor color2, float extra)
{
  BatchRect rect = normalized(rect_in);
  // NaN widths count as no edge.
  float ew = edge_width > 0.5f ? edge_width : 0.5f;
  BatchRect quad = grow(rect, ew);
  if (extra >= 0.0f)
  {
    BatchRect sh = grow({rect.x0 + offset_x, rect.y0 + offset_y, rect.x1 + offset_x, rect.y1 + offset_y},
                        size + extra);
    if (sh.x0 < sh.x1 && sh.y0 < sh.y1)
      quad = {std::min(quad.x0, sh.x0), std::min(quad.y0, sh.y0), std::max(quad.x1, sh.x1),
              std::max(quad.y1, sh.y1)};
  }
  RoundedBoxVertex base;
  base.cx = (rect.x0 + rect.x1) * 0.5f;
  base.cy = (rect.y0 + rect.y1) * 0.5f;
  base.w = rect.x1 - rect.x0;
  base.h = rect.y1 - rect.y0;
  base.radii = pack_rgba(radius_unit(v_extract_x(radii)), radius_unit(v_extract_y(radii)),
                         radius_unit(v_extract_z(radii)), radius_unit(v_extract_w(radii)));
  base.color = color;
  base.color2 = color2;
  base.params = pack_rgba(signed_unit(offset_x), signed_unit(offset_y), signed_unit(size), ew / 255.0f);
  base.extra = extra;
  // Top-left, top-right, bottom-right, top-left, bottom-right, bottom-left.
  const float xs[6] = {quad.x0, quad.x1, quad.x1, quad.x0, quad.x1, quad.x0};
  const float ys[6] = {quad.y0, quad.y0, quad.y1, quad.y0, quad.y1, quad.y1};
  for (int i = 0; i < 6; i++)
  {
    v[i] = base;
    v[i].x = xs[i];
    v[i].y = ys[i];
  }
  return quad;
}

void render_rounded_box(RenderBatch &batch, const BatchRect &rect, vec4f radii, D3dColor color,
                        float edge_width, float offset_x, float offset_y, float size,
                        D3dColor color2, float extra)
{
  RoundedBoxVertex v[6];
  BatchRect quad = make_rounded_box_vertices(v, rect, radii, color, edge_width, offset_x, offset_y,
                                             size, color2, extra);
  std::memcpy(batch.add(&rounded_box_state, quad, int(sizeof(v)), 2), v, sizeof(v));
}

void init_ui_image_render()
{
  ui_image_shader = create_shader("uiImage.sh", nullptr);
  ui_image_vdecl = create_vdecl(ui_image_desc);
}

void close_ui_image_render()
{
  destroy_shader(ui_image_shader);
  ui_image_shader = nullptr;
  ui_image_vdecl = {};
}

void init_ui_image_state(StdRenderBatchState &state, Texture *tex, Shader *shader)
{
  state.shader = shader ? shader : ui_image_shader;
  state.vdecl = ui_image_vdecl;
  state.stride = int(sizeof(UiImageVertex));
  state.texture = tex;
}

void render_ui_image(RenderBatch &batch, BaseRenderBatchState *state, const BatchRect &r,
                     D3dColor color, const BatchRect &tc)
{
  const UiImageVertex tl = {r.x0, r.y0, color, tc.x0, tc.y0};
  const UiImageVertex tr = {r.x1, r.y0, color, tc.x1, tc.y0};
  const UiImageVertex br = {r.x1, r.y1, color, tc.x1, tc.y1};
  const UiImageVertex bl = {r.x0, r.y1, color, tc.x0, tc.y1};
  const UiImageVertex v[6] = {tl, tr, br, tl, br, bl};
  std::memcpy(batch.add(state, r, int(sizeof(v)), 2), v, sizeof(v));
}

void set_ui_screen_mapping()
{
  float w = float(d3d_wd > 0 ? d3d_wd : 1), h = float(d3d_ht > 0 ? d3d_ht : 1);
  const float c[4] = {2.0f / w, -2.0f / h, -1.0f - 0.5f / w, 1.0f + 0.5f / h};
  set_vs_const(16, c, 1);
}
