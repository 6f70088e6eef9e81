// The debug font: loading "font.tga", the glyph table, the scale, the text style stack and the
// font's batch state.
#include <cstring>

#include "gui/debug_text.h"
#include "gui/debug_text_detail.h"
#include "render/device.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/ui_render.h"
#include "render/vdecl.h"
#include "support/debug.h"
#include "support/dyn_array.h"
#include "support/file_path.h"
#include "support/file_stream.h"
#include "support/splash.h"
#include "support/tga_read.h"

DebugFont debug_font;
TextStyle text_style;

namespace
{
DynArray<TextStyle> style_stack;

const VsdElement font_vertex_desc[] = {
  {0, 0, VSDT_SHORT2, VSDU_POSITION, 0},
  {4, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
  {8, 0, VSDT_SHORT2, VSDU_TEXCOORD, 0},
  {0, VSD_END, 0, 0, 0},
};

void splash_listener(const char *, float) { draw_splash_frame(); }
}  // namespace

void push_text_style() { style_stack.push_back(text_style); }

void pop_text_style()
{
  int num = style_stack.size();
  G_ASSERT(num>0);
  text_style = style_stack.back();
  style_stack.resize(num - 1);
}

void build_debug_glyphs(const uint32_t *pixels, int w, int h, DebugGlyph glyphs[256])
{
  const int cw = w / 16, chh = h / 16;
  for (int code = 0; code < 256; code++)
  {
    const int left = (code % 16) * cw, top = (code / 16) * chh;
    int first = -1, last = -1;
    for (int x = left; x < left + cw; x++)
      for (int y = top; y < top + chh; y++)
        if (pixels[size_t(y) * size_t(w) + size_t(x)] >> 24)
        {
          if (first < 0)
            first = x;
          last = x;
          break;
        }
    DebugGlyph &g = glyphs[code];
    g.x0 = int16_t(first < 0 ? left : first);
    g.x1 = int16_t(first < 0 ? left + cw / 2 : last + 1);
    g.y0 = int16_t(top + chh);
    g.y1 = int16_t(top);
  }
}

int debug_font_scale_for(int height, int cell_h)
{
  int s = cell_h > 0 ? height / (cell_h * 30) : 1;
  return s > 1 ? s : 1;
}

void update_debug_font_scale()
{
  text_style.scale = debug_font_scale_for(d3d_ht, debug_font.cellH);
  debug("font scale: %d", text_style.scale);
}

int text_line_height() { return text_style.scale * debug_font.cellH; }

bool debug_text_ready() { return debug_font.texture != nullptr; }

void init_debug_text()
{
  int w = 0, h = 0;
  DynArray<uint32_t> pixels;
  try
  {
    if (!read_tga(make_full_path("font.tga"), w, h, pixels))
      fatal("can't load font.tga");
  }
  catch (const InputStream::Exception &e)
  {
    fatal("can't load font.tga: %s (at byte %d)", e.message, e.position);
  }
  if (w % 16 || h % 16)
    fatal("expected 16x16 font grid in font.tga, got %dx%d image", w, h);

  DebugFont &f = debug_font;
  f.cellW = w / 16;
  f.cellH = h / 16;
  build_debug_glyphs(pixels.data, w, h, f.glyphs);
  f.texture = create_managed_texture(uint32_t(w), uint32_t(h));
  if (!f.texture)
    fatal("can't create font texture");
  int pitch = 0;
  uint8_t *ptr = static_cast<uint8_t *>(lock_texture(f.texture, pitch, true));
  G_ASSERT(ptr);
  for (int y = 0; y < h; y++)
    memcpy(ptr + size_t(y) * size_t(pitch), pixels.data + size_t(y) * size_t(w), size_t(w) * 4);
  unlock_texture(f.texture);

  f.state.vdecl = create_vdecl(font_vertex_desc);
  f.state.shader = create_shader("font.sh", nullptr);
  f.state.stride = int(sizeof(FontVertex));
  f.state.texture = f.texture;
  f.state.texWidth = w;
  f.state.texHeight = h;
  update_debug_font_scale();

  set_d3d_splash_drawer(draw_splash_screen);
  set_splash_listener(splash_listener);
}

void close_debug_text()
{
  set_splash_listener(nullptr);
  set_d3d_splash_drawer(nullptr);
  DebugFont &f = debug_font;
  if (f.state.shader)
    destroy_shader(f.state.shader);
  release_texture(f.texture);
  f.state.reset();
  f.texture = nullptr;
  style_stack.clear();
  text_style = TextStyle();
}

void set_text_constants(int tex_w, int tex_h)
{
  const float w = float(d3d_wd > 0 ? d3d_wd : 1), h = float(d3d_ht > 0 ? d3d_ht : 1);
  const float c[8] = {2.0f / w, 2.0f / h, -1.0f - 0.5f / w, -1.0f + 0.5f / h,
                      1.0f / float(tex_w), 1.0f / float(tex_h), 0.0f, 0.0f};
  set_vs_const(16, c, 2);
}

void set_text_sampler()
{
  set_tex_filter(0, false);
  set_tex_address(0, 1);
}

void FontBatchState::apply(BaseRenderBatchState *prev)
{
  StdRenderBatchState::apply(prev);
  set_text_constants(texWidth, texHeight);
  set_text_sampler();
}

void FontBatchState::finish()
{
  StdRenderBatchState::finish();
  // Back to what the interface's other states draw with.
  set_ui_screen_mapping();
  set_tex_filter(0, true);
}

BaseRenderBatchState *get_font_batch_state() { return &debug_font.state; }
