// Particle sprite atlases: 512x256 texels, 8 columns by 4 rows of 64x64 cells.
// The cell layout is listed in docs/assets.md; effects address sprites in texel coordinates.
#include <cmath>
#include <functional>

#include "textures.h"
#include "tile_noise.h"

namespace
{
constexpr int CELL = 64;

struct SpriteSample
{
  float r, g, b, a;
};
// A sprite is a function of the position in the cell, x and y in [-1, 1], y down.
using Sprite = std::function<SpriteSample(float x, float y)>;

void draw_cell(Image &img, int col, int row, const Sprite &s)
{
  for (int py = 0; py < CELL; py++)
    for (int px = 0; px < CELL; px++)
    {
      // 3x3 supersampling keeps thin shapes smooth.
      SpriteSample acc{0, 0, 0, 0};
      for (int sy = 0; sy < 3; sy++)
        for (int sx = 0; sx < 3; sx++)
        {
          float x = (float(px) + (float(sx) + 0.5f) / 3.0f) / CELL * 2.0f - 1.0f;
          float y = (float(py) + (float(sy) + 0.5f) / 3.0f) / CELL * 2.0f - 1.0f;
          SpriteSample v = s(x, y);
          acc.r += v.r, acc.g += v.g, acc.b += v.b, acc.a += v.a;
        }
      // Nothing may reach the cell border, or filtering bleeds into the neighbours.
      float edge = std::fmin(std::fmin(float(px), float(CELL - 1 - px)), std::fmin(float(py), float(CELL - 1 - py)));
      float keep = clamp01(edge / 2.0f);
      img.at(col * CELL + px, row * CELL + py) =
          Rgba{to_byte(acc.r / 9 * keep), to_byte(acc.g / 9 * keep), to_byte(acc.b / 9 * keep), to_byte(acc.a / 9 * keep)};
    }
}

float radius(float x, float y) { return std::sqrt(x * x + y * y); }
float gauss(float r, float s) { return std::exp(-(r * r) / (2 * s * s)); }

// A puff of smoke: a noisy disc, lit from the top left.
Sprite smoke(uint32_t seed, float rough, float size)
{
  return [=](float x, float y) {
    float u = (x + 1) * 0.5f, v = (y + 1) * 0.5f;
    float n = tile_fbm(u, v, 3, 5, 0.55f, seed);
    float r = radius(x, y) / size + n * rough;
    float a = smoothstep(1.0f, 0.35f, r);
    float light = clamp01(0.78f + 0.22f * (-x - y) * 0.7f + n * 0.15f);
    return SpriteSample{light, light, light, a};
  };
}

Sprite white_alpha(std::function<float(float, float)> alpha)
{
  return [=](float x, float y) { return SpriteSample{1, 1, 1, alpha(x, y)}; };
}

Sprite glow(std::function<float(float, float)> intensity)
{
  return [=](float x, float y) {
    float i = intensity(x, y);
    // Bright centres saturate towards white, the falloff keeps a faint warm fringe.
    return SpriteSample{clamp01(i * 1.05f), clamp01(i), clamp01(i * 0.97f), 1};
  };
}

float star(float x, float y, int points, float sharp)
{
  float r = radius(x, y), ang = std::atan2(y, x);
  float rays = std::pow(std::fabs(std::cos(ang * float(points) * 0.5f)), sharp);
  return clamp01(gauss(r, 0.12f) + rays * gauss(r, 0.55f) * 0.9f);
}
}  // namespace

Image make_blendfx_atlas()
{
  Image img(512, 256);
  // Row 0: soft puff, three smoke puffs, dust, debris chunk, droplet, ring.
  draw_cell(img, 0, 0, white_alpha([](float x, float y) { return gauss(radius(x, y), 0.38f); }));
  for (int i = 0; i < 3; i++)
    draw_cell(img, 1 + i, 0, smoke(100 + uint32_t(i), 0.35f, 0.85f));
  draw_cell(img, 4, 0, smoke(200, 0.7f, 0.9f));
  draw_cell(img, 5, 0, [](float x, float y) {
    float ang = std::atan2(y, x), r = radius(x, y);
    float edge = 0.55f + 0.15f * std::sin(ang * 5 + 1.3f) + 0.08f * std::sin(ang * 11);
    float a = smoothstep(edge + 0.04f, edge - 0.04f, r);
    float shade = clamp01(0.55f + 0.35f * (-x - y) * 0.7f);
    return SpriteSample{shade, shade * 0.92f, shade * 0.85f, a};
  });
  draw_cell(img, 6, 0, white_alpha([](float x, float y) {
    float yy = y + 0.2f, w = 0.45f * clamp01((yy + 0.9f) / 1.2f);
    float r = yy > 0 ? radius(x, yy) / 0.45f : std::fabs(x) / (w + 1e-3f);
    return smoothstep(1.0f, 0.8f, r) * smoothstep(-0.9f, -0.6f, yy);
  }));
  draw_cell(img, 7, 0, white_alpha([](float x, float y) { return gauss(std::fabs(radius(x, y) - 0.7f), 0.08f); }));
  // Row 1: splash, ragged smoke, small dot, shard, hard disc, soft square, two wisps.
  draw_cell(img, 0, 1, white_alpha([](float x, float y) {
    float ang = std::atan2(y, x), r = radius(x, y);
    float streaks = std::pow(std::fabs(std::sin(ang * 7)), 6.0f);
    return clamp01(gauss(r, 0.2f) + streaks * smoothstep(0.9f, 0.3f, r) * 0.8f);
  }));
  for (int i = 0; i < 2; i++)
    draw_cell(img, 1 + i, 1, smoke(300 + uint32_t(i), 0.9f, 0.8f));
  draw_cell(img, 3, 1, white_alpha([](float x, float y) { return smoothstep(0.35f, 0.15f, radius(x, y)); }));
  draw_cell(img, 4, 1, white_alpha([](float x, float y) {
    return smoothstep(0.05f, 0.0f, std::fabs(x) * 1.8f + std::fabs(y) * 0.6f - 0.5f);
  }));
  draw_cell(img, 5, 1, white_alpha([](float x, float y) { return smoothstep(0.9f, 0.86f, radius(x, y)); }));
  draw_cell(img, 6, 1, white_alpha([](float x, float y) {
    return smoothstep(0.9f, 0.6f, std::fmax(std::fabs(x), std::fabs(y)));
  }));
  draw_cell(img, 7, 1, smoke(400, 1.3f, 0.7f));
  // Rows 2 and 3: a 16-frame puff that grows and dissolves, frame k at column k % 8, row 2 + k / 8.
  for (int k = 0; k < 16; k++)
  {
    float t = float(k) / 15.0f;
    draw_cell(img, k % 8, 2 + k / 8, [t](float x, float y) {
      float u = (x + 1) * 0.5f, v = (y + 1) * 0.5f;
      float n = tile_fbm(u, v, 3, 5, 0.55f, 500);
      float size = 0.35f + 0.55f * t;
      float r = radius(x, y) / size + n * 0.45f;
      float dissolve = smoothstep(t - 0.2f, t + 0.2f, 0.5f + n * 0.8f);
      float a = smoothstep(1.0f, 0.4f, r) * (t < 0.3f ? 1.0f : dissolve);
      float light = clamp01(0.8f + 0.2f * (-x - y) * 0.7f + n * 0.15f);
      return SpriteSample{light, light, light, a};
    });
  }
  return img;
}

Image make_glowfx_atlas()
{
  Image img(512, 256);
  // Row 0: soft glow, hot core, four- and six-pointed stars, ring, streak, spark, plasma.
  draw_cell(img, 0, 0, glow([](float x, float y) { return gauss(radius(x, y), 0.33f); }));
  draw_cell(img, 1, 0, glow([](float x, float y) {
    float r = radius(x, y);
    return clamp01(gauss(r, 0.08f) * 1.4f + gauss(r, 0.4f) * 0.5f);
  }));
  draw_cell(img, 2, 0, glow([](float x, float y) { return star(x, y, 4, 40.0f); }));
  draw_cell(img, 3, 0, glow([](float x, float y) { return star(x, y, 6, 60.0f); }));
  draw_cell(img, 4, 0, glow([](float x, float y) { return gauss(std::fabs(radius(x, y) - 0.62f), 0.1f); }));
  draw_cell(img, 5, 0, glow([](float x, float y) {
    return clamp01(gauss(std::fabs(y), 0.06f) * smoothstep(1.0f, 0.0f, std::fabs(x)) + gauss(radius(x, y), 0.15f));
  }));
  draw_cell(img, 6, 0, glow([](float x, float y) { return clamp01(gauss(radius(x, y), 0.1f) * 1.3f); }));
  draw_cell(img, 7, 0, glow([](float x, float y) {
    float u = (x + 1) * 0.5f, v = (y + 1) * 0.5f;
    float n = 0.5f + 0.5f * tile_fbm(u, v, 4, 4, 0.6f, 600);
    return clamp01(gauss(radius(x, y), 0.42f) * (0.5f + n * 0.9f));
  }));
  // Row 1: column 0 is the trail head (a round glow); then sparkles and glyph rings.
  draw_cell(img, 0, 1, glow([](float x, float y) {
    float r = radius(x, y);
    return clamp01(gauss(r, 0.25f) + gauss(r, 0.07f) * 0.6f);
  }));
  for (int i = 1; i < 4; i++)
    draw_cell(img, i, 1, glow([i](float x, float y) {
      float ang = 0.4f * float(i);
      float rx = x * std::cos(ang) - y * std::sin(ang), ry = x * std::sin(ang) + y * std::cos(ang);
      return star(rx, ry, 4 + 2 * (i % 2), 80.0f) * (0.7f + 0.1f * float(i));
    }));
  for (int i = 4; i < 8; i++)
    draw_cell(img, i, 1, glow([i](float x, float y) {
      float r = radius(x, y), ang = std::atan2(y, x);
      float ring = gauss(std::fabs(r - 0.7f), 0.05f);
      float marks = std::pow(std::fabs(std::cos(ang * float(i))), 30.0f) * gauss(std::fabs(r - 0.5f), 0.08f);
      return clamp01(ring + marks * 0.8f + gauss(r, 0.12f) * 0.4f);
    }));
  // Rows 2 and 3: a 16-frame flame, frame k at column k % 8, row 2 + k / 8.
  for (int k = 0; k < 16; k++)
  {
    float t = float(k) / 16.0f;
    draw_cell(img, k % 8, 2 + k / 8, glow([t](float x, float y) {
      // y grows downwards: the base of the flame is at the bottom of the cell.
      float h = clamp01((0.85f - y) / 1.7f);  // 0 at the base, 1 at the tip
      float u = (x + 1) * 0.5f, v = (y + 1) * 0.5f + t;  // the pattern rises over the frames
      v -= std::floor(v);
      float n = tile_fbm(u, v, 4, 4, 0.55f, 700);
      float width = 0.55f * (1.0f - h) * (1.0f - h * 0.3f) + 0.05f;
      float sway = 0.12f * h * std::sin(6.2831853f * (t + h * 0.7f));
      float body = smoothstep(width, 0.0f, std::fabs(x - sway + n * 0.25f * h));
      float base = smoothstep(0.95f, 0.75f, y);
      float tip = smoothstep(1.0f, 0.6f, h + n * 0.3f);
      return clamp01(body * base * tip * (1.1f - h * 0.6f));
    }));
  }
  return img;
}
