#pragma once
// Image and raw array files written by the tools and screenshots: 8-bit RGB and RGBA and 16-bit
// greyscale PNG (the PNG encoding is stb_image_write's), and little-endian float arrays. Each
// returns false, with errno telling why, when the file could not be written completely; a regular
// file is then left as it was (files are written under a temporary name and renamed).
#include <cstdint>

bool write_png_rgb8(const char *path, int w, int h, const uint8_t *rgb);
bool write_png_rgba8(const char *path, int w, int h, const uint8_t *rgba);
bool write_png_grey16(const char *path, int w, int h, const uint16_t *grey);
bool write_float_file(const char *path, const float *values, int count);
// The bytes of a 16-bit greyscale PNG (for the writer and its tests).
bool encode_png_grey16(int w, int h, const uint16_t *grey, uint8_t *&out, int &out_len);
