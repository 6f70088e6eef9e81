#pragma once
// Vector shapes for the icons: a small subset of SVG path data, absolute commands only, numbers
// separated by blanks or commas:
//   M x y   move      L x y   line      H x   V y   horizontal / vertical line
//   Q x1 y1 x y       quadratic curve   C x1 y1 x2 y2 x y   cubic curve      Z   close
// A path is filled by the even-odd rule (so a sub-path inside another cuts a hole); the shapes of
// one icon part are united.
#include <string>
#include <vector>

#include "distance_field.h"

struct PathPoint
{
  double x, y;
};
using Polygon = std::vector<PathPoint>;

// The closed polygons of `d` (curves flattened); false with `err` on malformed data.
bool parse_path(const std::string &d, std::vector<Polygon> &out, std::string &err);

// Fills the polygons into `m` (even-odd, OR-ed with what is there), a point (x, y) of the path
// landing at pixel (ox + x * scale, oy + y * scale); a pixel is inside when its centre is.
void fill_polygons(Mask &m, const std::vector<Polygon> &polys, double ox, double oy, double scale);

// Path data of common shapes.
std::string circle_path(double cx, double cy, double r);
std::string ellipse_path(double cx, double cy, double rx, double ry);
std::string rect_path(double x0, double y0, double x1, double y1);
std::string poly_path(const std::vector<PathPoint> &pts);
