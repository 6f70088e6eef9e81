#include "app/world_pictures.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "support/color.h"
#include "support/dyn_array.h"
#include "support/png_write.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
constexpr uint8_t HOUSE_MARK[3] = {178, 58, 40};

int pixel_of(int x, int z) { return (WORLD_IMAGE_SIZE - 1 - z) * WORLD_IMAGE_SIZE + x; }

// Ground colour of sample i (0..1 channels) with the overlay blended in and houses marked.
void ground_color(int i, float c[3])
{
  const HD::Surface &s = HD::surface[i];
  if (s.ground_type == GT_HOUSE)
  {
    for (int k = 0; k < 3; k++)
      c[k] = HOUSE_MARK[k] / 255.f;
    return;
  }
  const float top_a = float(s.top_color >> 24) / 255.f;
  for (int k = 0; k < 3; k++)
  {
    const int shift = 16 - 8 * k;  // red, green, blue
    float base = float((s.color >> shift) & 255) / 255.f;
    float top = float((s.top_color >> shift) & 255) / 255.f;
    c[k] = base + (top - base) * top_a;
  }
}

uint8_t to_byte(float v) { return uint8_t(color_channel_to_byte(v)); }

// A float as a JSON number; JSON has no infinities or NaN, so those are null.
const char *json_number(char (&buf)[32], float v)
{
  if (std::isfinite(v))
    snprintf(buf, sizeof(buf), "%.9g", double(v));
  else
    snprintf(buf, sizeof(buf), "null");
  return buf;
}

float surface_height(int x, int z, bool with_water)
{
  int i = hmap_idx(x, z);
  float h = HD::hmap[i];
  if (with_water && HD::water[i].depth > 0)
    h += HD::water[i].depth;
  return std::isfinite(h) ? h : 0.f;
}
}  // namespace

void make_color_image(uint8_t *rgb)
{
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float c[3];
      ground_color(hmap_idx(x, z), c);
      uint8_t *p = rgb + 3 * pixel_of(x, z);
      for (int k = 0; k < 3; k++)
        p[k] = to_byte(c[k]);
    }
}

void make_relief_image(uint8_t *rgb)
{
  // Sun from the upper left of the picture (-x, +z), 40 degrees above the horizon.
  const float sun[3] = {-0.5417f, 0.6428f, 0.5417f};
  const float shallow[3] = {0.25f, 0.55f, 0.62f}, deep[3] = {0.04f, 0.16f, 0.32f};
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const int i = hmap_idx(x, z);
      const float depth = HD::water[i].depth > 0 ? HD::water[i].depth : 0.f;
      const bool wet = depth > 0.02f;
      // Normal of the lit surface (the water surface where there is water).
      float nx = surface_height(x - 1, z, wet) - surface_height(x + 1, z, wet);
      float nz = surface_height(x, z - 1, wet) - surface_height(x, z + 1, wet);
      float ny = 2.f;
      float len = sqrtf(nx * nx + ny * ny + nz * nz);
      float lambert = (nx * sun[0] + ny * sun[1] + nz * sun[2]) / len;
      float light = 0.38f + 0.78f * (lambert > 0 ? lambert : 0.f);
      float c[3];
      ground_color(i, c);
      for (int k = 0; k < 3; k++)
        c[k] *= light;
      if (wet)
      {
        // Deeper water hides more of the ground and turns from shallow to deep blue.
        float t = 1.f - expf(-depth * 0.35f);
        float cover = 0.45f + 0.5f * t;
        for (int k = 0; k < 3; k++)
        {
          float w = (shallow[k] + (deep[k] - shallow[k]) * t) * (0.75f + 0.35f * light);
          c[k] += (w - c[k]) * cover;
        }
      }
      uint8_t *p = rgb + 3 * pixel_of(x, z);
      for (int k = 0; k < 3; k++)
        p[k] = to_byte(c[k]);
    }
}

void make_height_image(uint16_t *grey, float &lo, float &hi)
{
  HD::calcHtRange(lo, hi);
  const double range = double(hi) - double(lo);
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float h = HD::hmap[hmap_idx(x, z)];
      double t = range > 0 && !std::isnan(h) ? (double(h) - lo) / range : 0.0;
      grey[pixel_of(x, z)] = uint16_t(std::lround((t < 0 ? 0 : t > 1 ? 1 : t) * 65535.0));
    }
}

void make_water_image(uint16_t *grey, float &max_depth)
{
  max_depth = 0;
  for (const HD::Water &w : HD::water)
    if (w.depth > max_depth)
      max_depth = w.depth;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      float d = HD::water[hmap_idx(x, z)].depth;
      double t = max_depth > 0 && d > 0 ? double(d) / max_depth : 0.0;
      grey[pixel_of(x, z)] = uint16_t(std::lround((t > 1 ? 1 : t) * 65535.0));
    }
}

bool write_world_files(const char *dir, char *failed, int failed_size)
{
  char path[1024];
  auto file = [&](const char *name) {
    snprintf(path, sizeof(path), "%s/%s", dir, name);
    return path;
  };
  auto fail = [&]() {
    snprintf(failed, size_t(failed_size), "%s", path);
    return false;
  };

  DynArray<uint8_t> rgb;
  rgb.resize(3 * WORLD_IMAGE_PIXELS);
  DynArray<uint16_t> grey;
  grey.resize(WORLD_IMAGE_PIXELS);

  make_color_image(rgb.data);
  if (!write_png_rgb8(file("color.png"), WORLD_IMAGE_SIZE, WORLD_IMAGE_SIZE, rgb.data))
    return fail();
  make_relief_image(rgb.data);
  if (!write_png_rgb8(file("relief.png"), WORLD_IMAGE_SIZE, WORLD_IMAGE_SIZE, rgb.data))
    return fail();

  float lo, hi, max_depth;
  make_height_image(grey.data, lo, hi);
  if (!write_png_grey16(file("height.png"), WORLD_IMAGE_SIZE, WORLD_IMAGE_SIZE, grey.data))
    return fail();
  make_water_image(grey.data, max_depth);
  if (!write_png_grey16(file("water.png"), WORLD_IMAGE_SIZE, WORLD_IMAGE_SIZE, grey.data))
    return fail();

  FILE *f = fopen(file("height.json"), "w");
  if (!f)
    return fail();
  char jlo[32], jhi[32], jdepth[32];
  bool ok = fprintf(f, "{\"min\": %s, \"max\": %s, \"water_max_depth\": %s}\n", json_number(jlo, lo),
                    json_number(jhi, hi), json_number(jdepth, max_depth)) > 0;
  if (fclose(f) != 0 || !ok)
    return fail();

  if (!write_float_file(file("hmap.f32"), HD::hmap, HMAP_CELLS))
    return fail();
  if (!write_float_file(file("water.f32"), &HD::water[0].depth, 4 * HMAP_CELLS))
    return fail();
  return true;
}
