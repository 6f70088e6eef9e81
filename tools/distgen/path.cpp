#include "path.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{
constexpr int CURVE_STEPS = 24;

struct Reader
{
  const char *p;
  void skip()
  {
    while (*p == ' ' || *p == ',' || *p == '\n' || *p == '\t')
      p++;
  }
  bool number(double &v)
  {
    skip();
    char *e = nullptr;
    v = strtod(p, &e);
    if (e == p || !std::isfinite(v))
      return false;
    p = e;
    return true;
  }
};
}  // namespace

bool parse_path(const std::string &d, std::vector<Polygon> &out, std::string &err)
{
  Reader r{d.c_str()};
  Polygon cur;
  PathPoint pen{0, 0};
  auto close = [&] {
    if (cur.size() >= 3)
      out.push_back(cur);
    cur.clear();
  };
  for (;;)
  {
    r.skip();
    char cmd = *r.p;
    if (!cmd)
      break;
    r.p++;
    double a[6];
    int need = cmd == 'M' || cmd == 'L' ? 2 : cmd == 'H' || cmd == 'V' ? 1 : cmd == 'Q' ? 4 : cmd == 'C' ? 6 : 0;
    if (cmd != 'Z' && need == 0)
    {
      err = std::string("unknown command '") + cmd + "'";
      return false;
    }
    for (int i = 0; i < need; i++)
      if (!r.number(a[i]))
      {
        err = std::string("missing number after '") + cmd + "'";
        return false;
      }
    switch (cmd)
    {
      case 'M': close(); pen = {a[0], a[1]}; cur.push_back(pen); break;
      case 'L': pen = {a[0], a[1]}; cur.push_back(pen); break;
      case 'H': pen.x = a[0]; cur.push_back(pen); break;
      case 'V': pen.y = a[0]; cur.push_back(pen); break;
      case 'Q':
        for (int s = 1; s <= CURVE_STEPS; s++)
        {
          double t = double(s) / CURVE_STEPS, u = 1 - t;
          cur.push_back({u * u * pen.x + 2 * u * t * a[0] + t * t * a[2], u * u * pen.y + 2 * u * t * a[1] + t * t * a[3]});
        }
        pen = {a[2], a[3]};
        break;
      case 'C':
        for (int s = 1; s <= CURVE_STEPS; s++)
        {
          double t = double(s) / CURVE_STEPS, u = 1 - t;
          double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
          cur.push_back({b0 * pen.x + b1 * a[0] + b2 * a[2] + b3 * a[4], b0 * pen.y + b1 * a[1] + b2 * a[3] + b3 * a[5]});
        }
        pen = {a[4], a[5]};
        break;
      case 'Z':
        if (!cur.empty())
          pen = cur.front();
        close();
        break;
    }
  }
  close();
  return true;
}

void fill_polygons(Mask &m, const std::vector<Polygon> &polys, double ox, double oy, double scale)
{
  std::vector<double> xs;
  for (int y = 0; y < m.h; y++)
  {
    double yc = y + 0.5;
    xs.clear();
    for (const Polygon &poly : polys)
      for (size_t i = 0; i < poly.size(); i++)
      {
        const PathPoint &a = poly[i], &b = poly[(i + 1) % poly.size()];
        double y0 = oy + a.y * scale, y1 = oy + b.y * scale;
        if ((y0 <= yc) == (y1 <= yc))
          continue;
        double x0 = ox + a.x * scale, x1 = ox + b.x * scale;
        xs.push_back(x0 + (yc - y0) * (x1 - x0) / (y1 - y0));
      }
    std::sort(xs.begin(), xs.end());
    for (size_t i = 0; i + 1 < xs.size(); i += 2)
    {
      // Pixels whose centre lies in [xs[i], xs[i + 1]).
      int from = std::max(0, int(std::ceil(xs[i] - 0.5)));
      int to = std::min(m.w, int(std::ceil(xs[i + 1] - 0.5)));
      for (int x = from; x < to; x++)
        m.at(x, y) = 1;
    }
  }
}

namespace
{
std::string fmt(double v)
{
  char b[32];
  snprintf(b, sizeof(b), "%.4f", v);
  return b;
}
}  // namespace

std::string ellipse_path(double cx, double cy, double rx, double ry)
{
  const double k = 0.5522847498;  // cubic Bezier quarter circle
  auto pt = [](double x, double y) { return fmt(x) + " " + fmt(y) + " "; };
  return "M " + pt(cx + rx, cy) + "C " + pt(cx + rx, cy + k * ry) + pt(cx + k * rx, cy + ry) + pt(cx, cy + ry) +
         "C " + pt(cx - k * rx, cy + ry) + pt(cx - rx, cy + k * ry) + pt(cx - rx, cy) + "C " +
         pt(cx - rx, cy - k * ry) + pt(cx - k * rx, cy - ry) + pt(cx, cy - ry) + "C " + pt(cx + k * rx, cy - ry) +
         pt(cx + rx, cy - k * ry) + pt(cx + rx, cy) + "Z ";
}

std::string circle_path(double cx, double cy, double r) { return ellipse_path(cx, cy, r, r); }

std::string rect_path(double x0, double y0, double x1, double y1)
{
  return "M " + fmt(x0) + " " + fmt(y0) + " H " + fmt(x1) + " V " + fmt(y1) + " H " + fmt(x0) + " Z ";
}

std::string poly_path(const std::vector<PathPoint> &pts)
{
  std::string s;
  for (size_t i = 0; i < pts.size(); i++)
    s += (i ? "L " : "M ") + fmt(pts[i].x) + " " + fmt(pts[i].y) + " ";
  return s + "Z ";
}
