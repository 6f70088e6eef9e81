#include "distance_field.h"

#include <cmath>

namespace
{
constexpr double FAR = 1e20;

// One line of the transform: f in, squared distances out (n values, stride apart).
void edt_1d(double *f, int n, int stride, std::vector<double> &d, std::vector<int> &v, std::vector<double> &z)
{
  int k = 0;
  v[0] = 0;
  z[0] = -INFINITY;
  z[1] = INFINITY;
  for (int q = 1; q < n; q++)
  {
    double fq = f[size_t(q) * size_t(stride)];
    double s;
    for (;;)  // ends at k = 0 at the latest: s is finite, z[0] is minus infinity
    {
      int p = v[size_t(k)];
      s = ((fq + double(q) * q) - (f[size_t(p) * size_t(stride)] + double(p) * p)) / (2.0 * (q - p));
      if (s > z[size_t(k)])
        break;
      k--;
    }
    k++;
    v[size_t(k)] = q;
    z[size_t(k)] = s;
    z[size_t(k) + 1] = INFINITY;
  }
  k = 0;
  for (int q = 0; q < n; q++)
  {
    while (z[size_t(k) + 1] < q)
      k++;
    int p = v[size_t(k)];
    d[size_t(q)] = double(q - p) * (q - p) + f[size_t(p) * size_t(stride)];
  }
  for (int q = 0; q < n; q++)
    f[size_t(q) * size_t(stride)] = d[size_t(q)];
}
}  // namespace

std::vector<double> squared_distance(const Mask &m, uint8_t target)
{
  std::vector<double> f(m.px.size());
  for (size_t i = 0; i < f.size(); i++)
    f[i] = m.px[i] == target ? 0.0 : FAR;
  int n = m.w > m.h ? m.w : m.h;
  std::vector<double> d(size_t(n) + 1);
  std::vector<int> v(size_t(n) + 1);
  std::vector<double> z(size_t(n) + 2);
  for (int x = 0; x < m.w; x++)
    edt_1d(&f[size_t(x)], m.h, m.w, d, v, z);
  for (int y = 0; y < m.h; y++)
    edt_1d(&f[size_t(y) * size_t(m.w)], m.w, 1, d, v, z);
  return f;
}

std::vector<uint8_t> distance_texels(const Mask &m, int factor, int spread)
{
  std::vector<double> to_in = squared_distance(m, 1), to_out = squared_distance(m, 0);
  int tw = m.w / factor, th = m.h / factor;
  std::vector<uint8_t> out(size_t(tw) * size_t(th));
  for (int ty = 0; ty < th; ty++)
    for (int tx = 0; tx < tw; tx++)
    {
      double sum = 0;
      for (int y = ty * factor; y < (ty + 1) * factor; y++)
        for (int x = tx * factor; x < (tx + 1) * factor; x++)
        {
          size_t i = size_t(y) * size_t(m.w) + size_t(x);
          // The outline runs halfway between an inside and an outside pixel centre.
          sum += m.px[i] ? std::sqrt(to_out[i]) - 0.5 : 0.5 - std::sqrt(to_in[i]);
        }
      double d = sum / (double(factor) * factor) / factor;  // mean, in texels
      double v = 0.5 + d / (2.0 * spread);
      v = v < 0 ? 0 : v > 1 ? 1 : v;
      out[size_t(ty) * size_t(tw) + size_t(tx)] = uint8_t(std::lround(v * 255.0));
    }
  return out;
}
