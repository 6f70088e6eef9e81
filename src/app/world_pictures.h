#pragma once
// Pictures of the current world (HeightmapData arrays) as written by the headless world tool.
// Images are 256 x 256 with +x to the right and +z up: image row r shows z = 255 - r.
#include <cstdint>

constexpr int WORLD_IMAGE_SIZE = 256;
constexpr int WORLD_IMAGE_PIXELS = WORLD_IMAGE_SIZE * WORLD_IMAGE_SIZE;

// Ground colour with the top colour blended by its alpha; house squares marked in a roof red.
void make_color_image(uint8_t *rgb);
// The colour image lit by a fixed sun from the upper left, water tinted by its depth.
void make_relief_image(uint8_t *rgb);
// Heights mapped from the lowest (0) to the highest (65535) sample; NaN samples give 0.
void make_height_image(uint16_t *grey, float &lo, float &hi);
// Water depth mapped from 0 to the deepest cell (65535).
void make_water_image(uint16_t *grey, float &max_depth);

// Writes color.png, relief.png, height.png, height.json, water.png, hmap.f32 and water.f32 into
// dir (which must exist); height.json writes a value that is not finite as null, so it is always
// valid JSON. On failure returns false with the failing file's path in `failed`.
bool write_world_files(const char *dir, char *failed, int failed_size);
