// Drawing with the debug font: text, rectangles and outlines, into the vertex writer or a batch.
#include <algorithm>
#include <cstring>

#include "gui/debug_text.h"
#include "gui/debug_text_detail.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/vbuf.h"

namespace
{
// Where the quads of one call go: the writer, or items of a batch.
struct QuadSink
{
  RenderBatch *batch = nullptr;

  // `n` quads (6 vertices each) drawn over the y-up pixel rectangle (x0, y0)-(x1, y1).
  void put(const FontVertex *v, int n, int x0, int y0, int x1, int y1) const
  {
    const int bytes = n * 6 * int(sizeof(FontVertex));
    if (!batch)
    {
      memcpy(common_vb_writer.alloc(bytes, 2 * n), v, size_t(bytes));
      return;
    }
    const BatchRect r = {float(x0), float(d3d_ht - y1), float(x1), float(d3d_ht - y0)};
    memcpy(batch->add(&debug_font.state, r, bytes, 2 * n), v, size_t(bytes));
  }
};

int16_t clamp16(int v) { return int16_t(std::clamp(v, -32768, 32767)); }

// One quad: (x0, y0) gets the texture coordinate (u0, v0), (x1, y1) gets (u1, v1).
void make_quad(FontVertex *q, int x0, int y0, int x1, int y1, int u0, int v0, int u1, int v1, D3dColor c)
{
  const FontVertex lb = {clamp16(x0), clamp16(y0), c, int16_t(u0), int16_t(v0)};
  const FontVertex rb = {clamp16(x1), clamp16(y0), c, int16_t(u1), int16_t(v0)};
  const FontVertex rt = {clamp16(x1), clamp16(y1), c, int16_t(u1), int16_t(v1)};
  const FontVertex lt = {clamp16(x0), clamp16(y1), c, int16_t(u0), int16_t(v1)};
  q[0] = lb, q[1] = rb, q[2] = rt, q[3] = lb, q[4] = rt, q[5] = lt;
}

int text_length(const char *text, int length)
{
  if (!text)
    return 0;
  return length < 0 ? int(strlen(text)) : length;
}

int advance(unsigned char c)
{
  const DebugGlyph &g = debug_font.glyphs[c];
  return text_style.charSpacing + text_style.scale * (g.x1 - g.x0 + 1);
}

void rect_to(const QuadSink &sink, int x0, int y0, int x1, int y1, D3dColor color)
{
  FontVertex q[6];
  make_quad(q, x0, y0, x1, y1, -1, -1, -1, -1, color);
  sink.put(q, 1, std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1));
}

void text_to(const QuadSink &sink, const char *text, int length, int x, int y, int align_x, int align_y,
             D3dColor color)
{
  const int n = text_length(text, length);
  int w = 0, h = 0;
  calc_text_size(text, n, w, h);
  const TextStyle &st = text_style;
  const int line = st.scale * debug_font.cellH;
  const int sx = x - (align_x + 1) * w / 2;
  int px = sx, py = y + st.lineSpacing + h - (align_y + 1) * h / 2 - line;
  const D3dColor shadow = ((color >> 24) >> 1) << 24;
  for (int i = 0; i < n; i++)
  {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n')
    {
      py -= line + st.lineSpacing;
      px = sx;
      continue;
    }
    if (c != 0 && c != ' ')
    {
      const DebugGlyph &g = debug_font.glyphs[c];
      const int gw = st.scale * (g.x1 - g.x0);
      FontVertex q[12];
      make_quad(q, px + 1, py - 1, px + 1 + gw, py - 1 + line, g.x0, g.y0, g.x1, g.y1, shadow);
      make_quad(q + 6, px, py, px + gw, py + line, g.x0, g.y0, g.x1, g.y1, color);
      sink.put(q, 2, px, py - 1, px + 1 + gw, py + line);
    }
    px += advance(c);
  }
}
}  // namespace

void calc_text_size(const char *text, int length, int &width, int &height)
{
  const int n = text_length(text, length);
  width = height = 0;
  int line_w = 0;
  bool line_used = false;
  for (int i = 0; i < n; i++)
  {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n')
    {
      width = std::max(width, line_w);
      height += text_line_height() + text_style.lineSpacing;
      line_w = 0;
      line_used = false;
      continue;
    }
    line_w += advance(c);
    line_used = true;
  }
  width = std::max(width, line_w);
  if (line_used)
    height += text_line_height();
}

void start_draw_text()
{
  if (!debug_text_ready())
    return;
  const FontBatchState &st = debug_font.state;
  set_vdecl(st.vdecl);
  set_vb(0, common_vb_writer.vb, 0, uint32_t(sizeof(FontVertex)));
  set_shader(st.shader);
  set_texture(0, st.texture);
  set_text_sampler();
  set_text_constants(st.texWidth, st.texHeight);
  set_cull_mode(0);
  set_zenable(false);
  set_zwrite(false);
  // font.sh writes premultiplied colour: this blend draws what straight alpha blending would,
  // and lets text share interface batches, which blend the same way.
  set_blend_prealpha();
  set_atest(1);
  common_vb_writer.start(std_dyn_vb_render, D3DPT_TRIANGLELIST);
}

void end_draw_text()
{
  if (!debug_text_ready())
    return;
  common_vb_writer.flush(true);
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
  set_blend_none();
  set_atest(0);
  set_tex_filter(0, true);
}

void draw_text(const char *text, int length, int x, int y, int align_x, int align_y, D3dColor color)
{
  if (common_vb_writer.renderFunc)
    text_to(QuadSink{}, text, length, x, y, align_x, align_y, color);
}

void draw_rect(int x0, int y0, int x1, int y1, D3dColor color)
{
  if (common_vb_writer.renderFunc)
    rect_to(QuadSink{}, x0, y0, x1, y1, color);
}

void draw_box(int x0, int y0, int x1, int y1, D3dColor color)
{
  draw_rect(x0, y0, x0 + 1, y1, color);
  draw_rect(x1, y0, x1 + 1, y1, color);
  draw_rect(x0, y0, x1 + 1, y0 + 1, color);
  draw_rect(x0, y1, x1 + 1, y1 + 1, color);
}

void batch_rect(RenderBatch &batch, int x0, int y0, int x1, int y1, D3dColor color)
{
  if (debug_text_ready())
    rect_to(QuadSink{&batch}, x0, y0, x1, y1, color);
}

void batch_text(RenderBatch &batch, const char *text, int length, int x, int y, int align_x, int align_y,
                D3dColor color)
{
  if (debug_text_ready())
    text_to(QuadSink{&batch}, text, length, x, y, align_x, align_y, color);
}
