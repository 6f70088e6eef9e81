// Tiling surface textures: ground detail and water foam.
#include <cmath>

#include "textures.h"
#include "tile_noise.h"

static float radius_of(float x, float y) { return std::sqrt(x * x + y * y); }

Image make_detail_texture()
{
  const int N = 512;
  Image img(N, N);
  for (int y = 0; y < N; y++)
    for (int x = 0; x < N; x++)
    {
      float u = (float(x) + 0.5f) / N, v = (float(y) + 0.5f) / N;
      // Soil: broad patches of lighter and darker earth.
      float soil = tile_fbm(u, v, 4, 6, 0.55f, 11);
      // A gentle warp makes the cellular shapes irregular. The warp itself tiles, and so does
      // the cellular pattern, so the sum stays seamless as long as the offsets are periodic.
      float wu = u + 0.012f * tile_fbm(u, v, 8, 3, 0.5f, 13);
      float wv = v + 0.012f * tile_fbm(u, v, 8, 3, 0.5f, 17);
      wu -= std::floor(wu);
      wv -= std::floor(wv);
      // Pebbles of varied size, lit from the top left.
      WorleyResult p = tile_worley(wu, wv, 24, 23);
      float size = 0.22f + 0.2f * hash_unit(p.id, 3, 4);
      bool stone = (p.id % 9u) < 4u;
      float stoneMask = stone ? smoothstep(size + 0.06f, size - 0.04f, p.f1) : 0.0f;
      float nx = p.dx / (size + 0.05f), ny = p.dy / (size + 0.05f);
      float light = -(nx + ny) * 0.7071f;
      float stoneShade = stoneMask * (0.06f + 0.10f * light + 0.06f * hash_unit(p.id, 1, 2));
      float shadow = stone ? smoothstep(size + 0.16f, size + 0.04f, radius_of(p.dx - 0.05f, p.dy - 0.07f)) *
                                 (1.0f - stoneMask) * 0.10f
                           : 0.0f;
      // Thin cracks where the soil is dry.
      WorleyResult c = tile_worley(wu, wv, 9, 37);
      float dry = smoothstep(0.05f, 0.4f, tile_fbm(u, v, 2, 3, 0.5f, 41));
      float crack = (1.0f - smoothstep(0.0f, 0.035f, c.f2 - c.f1)) * dry;
      // Fine grain and sparse small grass blades in the moist parts.
      float grain = (hash_unit(uint32_t(x), uint32_t(y), 5) - 0.5f) * 0.07f;
      float grain2 = tile_fbm(u, v, 128, 2, 0.5f, 7) * 0.05f;
      float blades = tile_fbm(u, v, 48, 2, 0.5f, 53);
      float grass = smoothstep(0.3f, 0.55f, blades) * (1.0f - dry) * 0.07f;

      float l = 0.5f + soil * 0.14f + stoneShade - shadow - crack * 0.14f + grain + grain2 + grass * 0.3f;
      float height = 0.5f + soil * 0.25f + stoneMask * 0.3f - crack * 0.3f;
      img.at(x, y) = Rgba{to_byte(l * 1.03f), to_byte(l + grass * 0.6f), to_byte(l * 0.94f), to_byte(height)};
    }
  return img;
}

Image make_foam_texture()
{
  const int N = 256;
  Image img(N, N);
  for (int y = 0; y < N; y++)
    for (int x = 0; x < N; x++)
    {
      float u = (float(x) + 0.5f) / N, v = (float(y) + 0.5f) / N;
      // Lacework of foam along the borders of bubble cells, in patches, swirled by a warp.
      float wu = u + 0.03f * tile_fbm(u, v, 4, 3, 0.5f, 61);
      float wv = v + 0.03f * tile_fbm(u, v, 4, 3, 0.5f, 67);
      wu -= std::floor(wu);
      wv -= std::floor(wv);
      WorleyResult w = tile_worley(wu, wv, 12, 71);
      float lace = 1.0f - smoothstep(0.02f, 0.16f, w.f2 - w.f1);
      WorleyResult fine = tile_worley(wu, wv, 36, 73);
      float fineLace = 1.0f - smoothstep(0.0f, 0.12f, fine.f2 - fine.f1);
      float patch = smoothstep(-0.25f, 0.35f, tile_fbm(u, v, 3, 4, 0.5f, 79));
      float foam = clamp01((lace * 0.75f + fineLace * 0.45f) * patch + patch * 0.12f);
      // Ripple heights for the flowing surface.
      float ripple = 0.5f + 0.5f * tile_fbm(u, v, 6, 4, 0.5f, 83);
      // Small bubbles.
      WorleyResult b = tile_worley(u, v, 48, 89);
      float bubble = smoothstep(0.22f, 0.12f, b.f1) * smoothstep(0.04f, 0.09f, b.f1) * patch;
      img.at(x, y) = Rgba{to_byte(foam), to_byte(ripple), to_byte(bubble), to_byte(foam)};
    }
  return img;
}
