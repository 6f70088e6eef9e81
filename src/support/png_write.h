#pragma once
// Image and raw array files written by the tools: 8-bit RGB and 16-bit greyscale PNG (the PNG
// encoding is stb_image_write's), and little-endian float arrays. Each returns false when the
// file could not be written completely.
#include <cstdint>

bool write_png_rgb8(const char *path, int w, int h, const uint8_t *rgb);
bool write_png_grey16(const char *path, int w, int h, const uint16_t *grey);
bool write_float_file(const char *path, const float *values, int count);
// The bytes of a 16-bit greyscale PNG (for the writer and its tests).
bool encode_png_grey16(int w, int h, const uint16_t *grey, uint8_t *&out, int &out_len);
