// The window icon: a round badge with a snow-capped mountain over a lake under a dusk sky.
#include <cmath>

#include "textures.h"
#include "tile_noise.h"

Image make_icon()
{
  const int N = 64;
  Image img(N, N);
  for (int y = 0; y < N; y++)
    for (int x = 0; x < N; x++)
    {
      float r = 0, g = 0, b = 0, a = 0;
      for (int s = 0; s < 16; s++)  // 4x4 supersampling for smooth edges
      {
        float px = (float(x) + (float(s % 4) + 0.5f) / 4) / N * 2 - 1;
        float py = (float(y) + (float(s / 4) + 0.5f) / 4) / N * 2 - 1;  // down is +
        float d = std::sqrt(px * px + py * py);
        if (d > 0.96f)
          continue;
        // Sky: deep blue at the top to a warm glow at the horizon.
        float t = clamp01((py + 1) / 1.3f);
        float cr = 0.10f + 0.75f * t * t, cg = 0.12f + 0.45f * t * t, cb = 0.35f + 0.2f * t;
        // Mountain ridge with a rough outline.
        float ridge = 0.15f - 0.75f * std::exp(-px * px * 3.0f) + 0.05f * tile_gradient((px + 1) * 0.5f, 0.3f, 8, 3);
        if (py > ridge)
        {
          float snow = smoothstep(-0.35f, -0.45f, py + 0.1f * std::fabs(px));
          float shade = px < 0 ? 0.85f : 0.6f;
          cr = (0.30f + 0.62f * snow) * shade;
          cg = (0.42f + 0.52f * snow) * shade;
          cb = (0.25f + 0.72f * snow) * shade;
        }
        // The lake in front, reflecting the glow.
        if (py > 0.35f)
        {
          float ripple = 0.05f * std::sin(py * 60.0f);
          cr = 0.12f + 0.3f * (1 - (py - 0.35f)) + ripple;
          cg = 0.25f + 0.2f * (1 - (py - 0.35f)) + ripple;
          cb = 0.45f + 0.1f * (1 - (py - 0.35f)) + ripple;
        }
        // A light rim.
        if (d > 0.88f)
          cr = cg = cb = 0.9f;
        r += cr, g += cg, b += cb, a += 1;
      }
      float cov = a / 16;
      img.at(x, y) = a > 0 ? Rgba{to_byte(r / a), to_byte(g / a), to_byte(b / a), to_byte(cov)} : Rgba{0, 0, 0, 0};
    }
  return img;
}
