// Distance-field text: lookup, layout, measuring and drawing.
#include "gui/dist_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/device.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/ui_render.h"

DistFont default_font;

namespace
{
Shader *dist_font_shader = nullptr;
VDecl dist_font_vdecl;

const VsdElement dist_font_desc[] = {
  {0, 0, VSDT_FLOAT2, VSDU_POSITION, 0},
  {8, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
  {12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 1},
  {16, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0},
  {24, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 1},
  {0, VSD_END, 0, 0, 0},
};

int text_length(const char *text, int length)
{
  if (!text)
    return 0;
  return length < 0 ? int(strlen(text)) : length;
}

// Lays `text` out at scale `s` with the pen from (0, 0), calling emit(glyph, left, top) for every
// glyph that has a rectangle.
template <class Emit>
void layout_text(const DistFont &f, const char *text, int n, float s, Emit &&emit)
{
  float x = 0, y = 0;
  int prev = -1;
  for (int i = 0; i < n; i++)
  {
    int c = static_cast<unsigned char>(text[i]);
    if (c == '\n')
    {
      prev = -1;
      x = 0;
      y += s * float(f.lineHeight);
      continue;
    }
    if (const DistGlyph *g = f.getGlyph(c))
    {
      float k = f.getKerning(prev, c);
      if (g->width != 0)
        emit(*g, x + s * (k + g->xoffset), y - s * g->yoffset);
      x += s * (k + g->xadvance);
    }
    prev = c;
  }
}

// The six corners of a quad in the order top-left, top-right, bottom-right, top-left,
// bottom-right, bottom-left.
template <class V>
void write_quad(V *v, const V &tl, float x1, float y1, float u1, float v1)
{
  V tr = tl, br = tl, bl = tl;
  tr.x = br.x = x1;
  br.y = bl.y = y1;
  tr.u = br.u = u1;
  br.v = bl.v = v1;
  v[0] = tl, v[1] = tr, v[2] = br, v[3] = tl, v[4] = br, v[5] = bl;
}
}  // namespace

void DistFontBatchState::apply(BaseRenderBatchState *prev)
{
  StdRenderBatchState::apply(prev);
  set_ui_screen_mapping();
  set_tex_filter(0, true);
}

void init_dist_fonts()
{
  dist_font_vdecl = create_vdecl(dist_font_desc);
  dist_font_shader = create_shader("distfont.sh", nullptr);
}

void close_dist_fonts()
{
  default_font.clear();
  destroy_shader(dist_font_shader);
  dist_font_shader = nullptr;
  dist_font_vdecl = {};
}

void init_dist_font_state(BaseRenderBatchState &state, Texture *tex)
{
  state.shader = dist_font_shader;
  state.vdecl = dist_font_vdecl;
  state.stride = int(sizeof(DistFontVertex));
  state.texture = tex;
}

void start_dist_font_render()
{
  set_ui_screen_mapping();
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  set_blend_prealpha();
  set_atest(0);
  set_tex_address(0, 0);
}

void end_dist_font_render()
{
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
}

D3dColor pack_dist_params(float a, float b, float c, float d) { return vec4f_to_color(v_make(a, b, c, d)); }

float dist_layer_edge(float p, float scale, int spread)
{
  return std::max(0.0f, 0.5f * (1.0f - 0.5f * (p + 1.0f) / (scale * float(spread))));
}

const DistGlyph *DistFont::getGlyph(int code) const
{
  if (code >= 0 && code < 256)
    return glyphOfCode[code] >= 0 ? &glyphs[glyphOfCode[code]] : nullptr;
  for (const DistGlyphRange &r : ranges)
    if (r.first <= code && code < r.end)
      return &glyphs[r.glyph + code - r.first];
  return nullptr;
}

float DistFont::getKerning(int prev, int code) const
{
  if (prev < 0)
    return 0;
  // Groups of one first code may repeat when a file does not sort its pairs: scan them all, from
  // the first one of this code.
  int start = prev < 256 ? groupOfCode[prev] : 0;
  if (start < 0)
    return 0;
  for (int g = start; g < kerningGroups.num; g++)
  {
    const DistKerningGroup &kg = kerningGroups[g];
    if (kg.first != prev)
      continue;
    for (int i = kg.kerning; i < kg.kerning + kg.count; i++)
      if (kernings[i].second == code)
        return kernings[i].amount;
  }
  return 0;
}

BatchRect DistFont::calcTextBox(const char *text, int length, int &count) const
{
  BatchRect box = {0, 0, 0, 0};
  count = 0;
  layout_text(*this, text, text_length(text, length), 1.0f, [&](const DistGlyph &g, float x, float y) {
    box.x0 = std::min(box.x0, x);
    box.y0 = std::min(box.y0, y);
    box.x1 = std::max(box.x1, x + g.width);
    box.y1 = std::max(box.y1, y + g.height);
    count++;
  });
  if (count)
  {
    float sp = float(spread);
    box = {box.x0 + sp, box.y0 + sp, box.x1 - sp, box.y1 - sp};
  }
  return box;
}

void DistFont::renderText(RenderBatch &batch, const BatchRect &target, int align, D3dColor color,
                          float pixel_size, const char *text, int length, float p1, float p2,
                          float p3, float p4, D3dColor color2, BaseRenderBatchState *st)
{
  if (!st)
    st = &state;
  if (!st->shader || !(pixel_size > 0) || !std::isfinite(pixel_size) || size <= 0)
    return;
  const float s = pixel_size / float(size);
  const int n = text_length(text, length);
  const float fs = float(size) * 0.32f;  // 32 x size x percent / 100
  const D3dColor params =
    pack_dist_params(0.5f - fs * p2 * invScaleW, 0.5f - fs * p3 * invScaleH,
                     dist_layer_edge(p1, s, spread), dist_layer_edge(p4, s, spread));

  int count = 0;
  BatchRect box = calcTextBox(text, n, count);
  box = {box.x0 * s, box.y0 * s, box.x1 * s, box.y1 * s};
  float px, py;
  switch (align & 3)
  {
    case 1: px = target.x0 - box.x0; break;
    case 2: px = target.x1 - box.x1; break;
    default: px = (target.x0 + target.x1) * 0.5f - (box.x0 + box.x1) * 0.5f; break;
  }
  switch ((align >> 2) & 3)
  {
    case 1: py = target.y0 - box.y0; break;
    case 2: py = target.y1 - box.y1; break;
    default: py = (target.y0 + target.y1) * 0.5f - (box.y0 + box.y1) * 0.5f; break;
  }
  const float grow = s * float(spread);
  const BatchRect rect = {px + box.x0 - grow, py + box.y0 - grow, px + box.x1 + grow, py + box.y1 + grow};

  // Items of at most DIST_TEXT_ITEM_GLYPHS glyphs, each the size of one writer buffer.
  DistFontVertex *v = nullptr;
  int left = 0;  // glyphs that still fit the current item
  int todo = count;
  auto next_item = [&] {
    left = std::min(todo, DIST_TEXT_ITEM_GLYPHS);
    todo -= left;
    int bytes = left * 6 * int(sizeof(DistFontVertex));
    v = static_cast<DistFontVertex *>(batch.add(st, rect, bytes, left * 2));
  };
  next_item();
  DistFontVertex tl = {0, 0, color, color2, 0, 0, params};
  layout_text(*this, text, n, s, [&](const DistGlyph &g, float x, float y) {
    if (left == 0)
      next_item();
    tl.x = px + x;
    tl.y = py + y;
    tl.u = g.x;
    tl.v = g.y;
    write_quad(v, tl, tl.x + s * g.width, tl.y + s * g.height, g.x + g.width * invScaleW,
               g.y + g.height * invScaleH);
    v += 6;
    left--;
  });
}
