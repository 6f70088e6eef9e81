// The default font: glyph outlines rendered by FreeType at HIRES times the texture's resolution,
// turned into distance fields, packed into one texture; metrics and kerning from the font file.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "assets.h"

namespace
{
struct GlyphCell
{
  int code;
  int left, top, w, h;  // texels; left and top relative to the pen on the baseline (top: up)
  double advance;
  std::vector<uint8_t> texels;
  int x = 0, y = 0;  // place in the atlas
};

int floor_div(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int ceil_div(int a, int b) { return -floor_div(-a, b); }

bool render_glyph(FT_Face face, int code, GlyphCell &g, std::string &err)
{
  g.code = code;
  FT_UInt index = FT_Get_Char_Index(face, FT_ULong(code));
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING) || FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO))
  {
    err = "can't render character " + std::to_string(code);
    return false;
  }
  const FT_GlyphSlot slot = face->glyph;
  g.advance = double(slot->linearHoriAdvance) / 65536.0 / HIRES;
  const FT_Bitmap &bm = slot->bitmap;
  if (bm.width == 0 || bm.rows == 0)
  {
    g.left = g.top = g.w = g.h = 0;
    return true;
  }
  const int S = FONT_SPREAD;
  int l = floor_div(slot->bitmap_left, HIRES) - S;
  int r = ceil_div(slot->bitmap_left + int(bm.width), HIRES) + S;
  int t = ceil_div(slot->bitmap_top, HIRES) + S;
  int b = floor_div(slot->bitmap_top - int(bm.rows), HIRES) - S;
  g.left = l, g.top = t, g.w = r - l, g.h = t - b;
  Mask m(g.w * HIRES, g.h * HIRES);
  int ox = slot->bitmap_left - l * HIRES, oy = t * HIRES - slot->bitmap_top;
  for (unsigned y = 0; y < bm.rows; y++)
    for (unsigned x = 0; x < bm.width; x++)
      if (bm.buffer[y * unsigned(bm.pitch) + x / 8] & (0x80 >> (x % 8)))
        m.at(ox + int(x), oy + int(y)) = 1;
  if (std::find(m.px.begin(), m.px.end(), 1) == m.px.end())
    g.left = g.top = g.w = g.h = 0;  // a blank glyph (space) draws nothing
  else
    g.texels = distance_texels(m, HIRES, S);
  return true;
}

// Shelf packing, tallest first; returns the height used.
int pack(std::vector<GlyphCell *> &cells, int width)
{
  std::stable_sort(cells.begin(), cells.end(), [](const GlyphCell *a, const GlyphCell *b) { return a->h > b->h; });
  int x = ATLAS_GAP, y = ATLAS_GAP, shelf = 0;
  for (GlyphCell *c : cells)
  {
    if (x + c->w + ATLAS_GAP > width)
    {
      x = ATLAS_GAP;
      y += shelf + ATLAS_GAP;
      shelf = 0;
    }
    c->x = x, c->y = y;
    x += c->w + ATLAS_GAP;
    shelf = std::max(shelf, c->h);
  }
  return y + shelf + ATLAS_GAP;
}

std::string num(double v)
{
  char b[32];
  snprintf(b, sizeof(b), "%.2f", v);
  return std::string(strcmp(b, "-0.00") ? b : "0.00");
}
}  // namespace

bool make_font_asset(const char *font_file, const char *page, DistAsset &out, std::string &err)
{
  FT_Library lib;
  if (FT_Init_FreeType(&lib))
  {
    err = "can't start FreeType";
    return false;
  }
  FT_Face face;
  if (FT_New_Face(lib, font_file, 0, &face) || FT_Set_Pixel_Sizes(face, 0, FONT_SIZE * HIRES))
  {
    err = std::string("can't open the font '") + font_file + "'";
    FT_Done_FreeType(lib);
    return false;
  }
  std::vector<GlyphCell> glyphs;
  bool ok = true;
  for (int c = 32; c < 256 && ok; c++)
    if (c < 127 || c >= 160)
    {
      glyphs.emplace_back();
      ok = render_glyph(face, c, glyphs.back(), err);
    }
  const double em = face->units_per_EM;
  std::string kern;
  int kern_count = 0;
  if (ok && FT_HAS_KERNING(face))
    for (const GlyphCell &a : glyphs)
      for (const GlyphCell &b : glyphs)
      {
        FT_Vector k;
        if (FT_Get_Kerning(face, FT_Get_Char_Index(face, FT_ULong(a.code)), FT_Get_Char_Index(face, FT_ULong(b.code)),
                           FT_KERNING_UNSCALED, &k))
          continue;
        double amount = double(k.x) * FONT_SIZE / em;
        if (std::fabs(amount) < 0.05)
          continue;
        kern += "kerning first=" + std::to_string(a.code) + " second=" + std::to_string(b.code) +
                " amount=" + num(amount) + "\n";
        kern_count++;
      }
  const int line_height = int(std::lround(double(face->height) * FONT_SIZE / em));
  const std::string family = face->family_name ? face->family_name : "unknown";
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  if (!ok)
    return false;

  const int W = 512;
  std::vector<GlyphCell *> cells;
  for (GlyphCell &g : glyphs)
    if (g.w)
      cells.push_back(&g);
  int used = pack(cells, W);
  int H = 64;
  while (H < used)
    H *= 2;
  out.image = Image(W, H);
  for (const GlyphCell *c : cells)
    for (int y = 0; y < c->h; y++)
      for (int x = 0; x < c->w; x++)
      {
        uint8_t v = c->texels[size_t(y * c->w + x)];
        out.image.at(c->x + x, c->y + y) = Rgba{v, v, v, 255};
      }

  std::string d = "info face=\"" + family + "\" size=" + std::to_string(FONT_SIZE) +
                  " spread=" + std::to_string(FONT_SPREAD) + "\n";
  d += "common lineHeight=" + std::to_string(line_height) + " base=0 scaleW=" + std::to_string(W) +
       " scaleH=" + std::to_string(H) + "\n";
  d += std::string("page id=0 file=\"") + page + "\"\n";
  d += "chars count=" + std::to_string(glyphs.size()) + "\n";
  for (const GlyphCell &g : glyphs)
    d += "char id=" + std::to_string(g.code) + " x=" + std::to_string(g.x) + " y=" + std::to_string(g.y) +
         " width=" + std::to_string(g.w) + " height=" + std::to_string(g.h) + " xoffset=" + std::to_string(g.left) +
         " yoffset=" + std::to_string(g.top) + " xadvance=" + num(g.advance) + "\n";
  d += "kernings count=" + std::to_string(kern_count) + "\n" + kern;
  out.desc = d;
  return true;
}
