#pragma once
// The debug font asset: a 16 x 16 grid of character cells rendered from a TrueType font through
// FreeType as hinted one-bit glyphs, white and opaque on transparent, written as an uncompressed
// 32-bit TGA image.
#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

constexpr int FONT_CELL_W = 10, FONT_CELL_H = 16;  // pixels
constexpr int FONT_PIXEL_SIZE = 13;                 // the font's em size in pixels
constexpr int FONT_BASELINE = 12;                   // rows from a cell's top to the baseline

// The character drawn in cell `code` (0..255): Windows-1252 for 128..159, Latin-1 above, ASCII
// below; 0 where the cell stays empty (control codes, space, delete, unassigned codes).
uint32_t debug_font_char(int code);

// Renders the grid from the font file `ttf`. Cell 0's top-left texel is opaque white (rectangles
// drawn with the font multiply their colour by it). Empty image and the reason in `error` when
// the font cannot be read.
Image make_debug_font(const char *ttf, std::string &error);

// The bytes of an uncompressed 32-bit TGA file of `img`, rows stored top first.
std::vector<uint8_t> encode_tga(const Image &img);
