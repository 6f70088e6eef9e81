#include "debug_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

namespace
{
// Windows-1252 at 0x80..0x9F (0: unassigned).
const uint16_t cp1252_high[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// Copies a rendered one-bit glyph into its cell, clipped to the cell.
void blit_glyph(Image &img, const FT_GlyphSlot g, int cell_x, int cell_y)
{
  const FT_Bitmap &bm = g->bitmap;
  const int left = cell_x + 1 + g->bitmap_left, top = cell_y + FONT_BASELINE - g->bitmap_top;
  for (int r = 0; r < int(bm.rows); r++)
    for (int c = 0; c < int(bm.width); c++)
    {
      const int x = left + c, y = top + r;
      if (x < cell_x || x >= cell_x + FONT_CELL_W || y < cell_y || y >= cell_y + FONT_CELL_H)
        continue;
      const uint8_t *row = bm.buffer + r * bm.pitch;
      if ((row[c >> 3] >> (7 - (c & 7))) & 1)
        img.at(x, y) = Rgba{255, 255, 255, 255};
    }
}
}  // namespace

uint32_t debug_font_char(int code)
{
  if (code <= 32 || code == 127 || code == 0xA0 || code > 255)
    return 0;
  if (code >= 0x80 && code < 0xA0)
    return cp1252_high[code - 0x80];
  return uint32_t(code);
}

Image make_debug_font(const char *ttf, std::string &error)
{
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&lib) != 0)
  {
    error = "can't start FreeType";
    return Image();
  }
  if (FT_New_Face(lib, ttf, 0, &face) != 0 || FT_Set_Pixel_Sizes(face, 0, FONT_PIXEL_SIZE) != 0)
  {
    error = std::string("can't read the font '") + ttf + "'";
    FT_Done_FreeType(lib);
    return Image();
  }
  Image img(16 * FONT_CELL_W, 16 * FONT_CELL_H);
  for (int code = 0; code < 256; code++)
  {
    const uint32_t ch = debug_font_char(code);
    if (!ch || FT_Get_Char_Index(face, ch) == 0)
      continue;
    // Hinted one-bit glyphs: crisp at every integer scale the text is drawn at.
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO) != 0)
      continue;
    blit_glyph(img, face->glyph, (code % 16) * FONT_CELL_W, (code / 16) * FONT_CELL_H);
  }
  img.at(0, 0) = Rgba{255, 255, 255, 255};
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return img;
}

std::vector<uint8_t> encode_tga(const Image &img)
{
  std::vector<uint8_t> out(18, 0);
  out[2] = 2;  // uncompressed true colour
  out[12] = uint8_t(img.w), out[13] = uint8_t(img.w >> 8);
  out[14] = uint8_t(img.h), out[15] = uint8_t(img.h >> 8);
  out[16] = 32;
  out[17] = 0x28;  // 8 alpha bits, first row at the top
  out.reserve(out.size() + img.px.size() * 4);
  for (const Rgba &p : img.px)
    out.insert(out.end(), {p.b, p.g, p.r, p.a});
  return out;
}
