// The interface icons as vector shapes on a 64 x 64 grid (y down). Each icon has up to four
// parts, drawn in that order over each other in colours the game chooses (docs/dist_fonts.md).
#include <cmath>

#include "assets.h"

namespace
{
using P = std::vector<PathPoint>;

// A bar from (x0, y0) to (x1, y1), `hw` wide on each side.
std::string bar_path(double x0, double y0, double x1, double y1, double hw)
{
  double dx = x1 - x0, dy = y1 - y0, l = std::sqrt(dx * dx + dy * dy);
  double nx = -dy / l * hw, ny = dx / l * hw;
  return poly_path({{x0 + nx, y0 + ny}, {x1 + nx, y1 + ny}, {x1 - nx, y1 - ny}, {x0 - nx, y0 - ny}});
}

// A four-pointed sparkle.
std::string star_path(double cx, double cy, double r)
{
  double s = r * 0.28;
  return poly_path({{cx, cy - r}, {cx + s, cy - s}, {cx + r, cy}, {cx + s, cy + s}, {cx, cy + r}, {cx - s, cy + s},
                    {cx - r, cy}, {cx - s, cy - s}});
}

std::string gear_path()
{
  P pts;
  const double pi = 3.14159265358979323846;
  for (int i = 0; i < 8; i++)
  {
    double a = i * pi / 4;
    const double d[4] = {-0.27, -0.15, 0.15, 0.27};
    const double r[4] = {21, 29, 29, 21};
    for (int k = 0; k < 4; k++)
      pts.push_back({32 + r[k] * std::cos(a + d[k]), 32 + r[k] * std::sin(a + d[k])});
  }
  return poly_path(pts) + circle_path(32, 32, 9);  // even-odd: the circle is a hole
}

const char *heart = "M 32 57 C 10 42 4 30 4 20 C 4 11 11 5 18 5 C 25 5 30 10 32 14 "
                    "C 34 10 39 5 46 5 C 53 5 60 11 60 20 C 60 30 54 42 32 57 Z";
const char *droplet = "M 32 3 C 26 14 12 28 12 40 C 12 51 21 60 32 60 C 43 60 52 51 52 40 C 52 28 38 14 32 3 Z";
}  // namespace

std::vector<IconShape> icon_shapes()
{
  return {
    {"fireball",
     {{circle_path(24, 40, 16), poly_path({{13, 29}, {58, 5}, {35, 52}})},
      {circle_path(24, 40, 10), poly_path({{18, 32}, {48, 14}, {32, 46}})},
      {circle_path(24, 40, 4.5)},
      {}}},
    {"waterball",
     {{circle_path(32, 32, 24)},
      {"M 13 32 C 19 25 25 39 32 32 C 39 25 45 39 51 32 C 51 42.5 42.5 51 32 51 C 21.5 51 13 42.5 13 32 Z"},
      {ellipse_path(23, 20, 6, 3.5)},
      {}}},
    {"healing", {{circle_path(32, 32, 27)}, {rect_path(27, 13, 37, 51), rect_path(13, 27, 51, 37)}, {}, {}}},
    {"lightning", {{poly_path({{38, 2}, {12, 36}, {29, 36}, {22, 62}, {53, 24}, {35, 24}, {45, 2}})}, {}, {}, {}}},
    {"meteor",
     {{poly_path({{18, 30}, {58, 4}, {36, 46}}), bar_path(34, 18, 54, 4, 1.6), bar_path(44, 36, 60, 20, 1.6)},
      {poly_path({{6, 44}, {13, 31}, {26, 27}, {37, 35}, {37, 50}, {27, 59}, {11, 57}})},
      {circle_path(19, 43, 3.5), circle_path(28, 51, 2.5), circle_path(27, 36, 2)},
      {}}},
    {"hill",
     {{"M 2 55 C 16 55 19 14 32 14 C 45 14 48 55 62 55 Z"},
      {rect_path(2, 54, 62, 61)},
      {poly_path({{32, 22}, {41, 33}, {35.5, 33}, {35.5, 46}, {28.5, 46}, {28.5, 33}, {23, 33}})},
      {}}},
    {"pit",
     {{"M 2 30 L 14 30 C 18 54 46 54 50 30 L 62 30 L 62 60 L 2 60 Z"},
      {poly_path({{28.5, 3}, {35.5, 3}, {35.5, 16}, {42, 16}, {32, 28}, {22, 16}, {28.5, 16}})},
      {},
      {}}},
    {"fault",
     {{poly_path({{2, 24}, {31, 24}, {27, 61}, {2, 61}}), poly_path({{36, 36}, {62, 36}, {62, 61}, {32, 61}})},
      {poly_path({{16, 2}, {24, 11}, {19.5, 11}, {19.5, 20}, {12.5, 20}, {12.5, 11}, {8, 11}}),
       poly_path({{45.5, 12}, {52.5, 12}, {52.5, 22}, {57, 22}, {49, 32}, {41, 22}, {45.5, 22}})},
      {},
      {}}},
    {"house",
     {{poly_path({{5, 31}, {32, 5}, {59, 31}, {52, 31}, {52, 60}, {12, 60}, {12, 31}}), rect_path(42, 9, 49, 24)},
      {rect_path(27, 41, 37, 60), rect_path(16, 36, 23, 43), rect_path(41, 36, 48, 43)},
      {},
      {}}},
    {"castle",
     {{rect_path(4, 14, 18, 60), rect_path(46, 14, 60, 60), rect_path(18, 26, 46, 60), rect_path(4, 8, 8, 14),
       rect_path(9, 8, 13, 14), rect_path(14, 8, 18, 14), rect_path(46, 8, 50, 14), rect_path(51, 8, 55, 14),
       rect_path(56, 8, 60, 14), rect_path(18, 20, 22, 26), rect_path(26, 20, 30, 26), rect_path(34, 20, 38, 26),
       rect_path(42, 20, 46, 26)},
      {"M 25 60 L 25 47 C 25 38 39 38 39 47 L 39 60 Z", rect_path(9, 24, 13, 33), rect_path(51, 24, 55, 33)},
      {},
      {}}},
    {"water_source", {{droplet}, {rect_path(29, 31, 35, 53), rect_path(21, 39, 43, 45)}, {}, {}}},
    {"water_sink", {{droplet}, {rect_path(21, 39, 43, 45)}, {}, {}}},
    {"thunderstorm",
     {{circle_path(17, 27, 10), circle_path(32, 19, 14), circle_path(47, 27, 10), rect_path(17, 22, 47, 37)},
      {poly_path({{35, 35}, {24, 50}, {31, 50}, {27, 63}, {41, 45}, {33, 45}, {39, 35}})},
      {poly_path({{14, 42}, {18, 42}, {13, 54}, {9, 54}}), poly_path({{49, 42}, {53, 42}, {48, 54}, {44, 54}})},
      {}}},
    {"portal",
     {{ellipse_path(32, 32, 25, 29) + ellipse_path(32, 32, 17, 21)},
      {ellipse_path(32, 32, 12, 16) + ellipse_path(34, 29, 5, 7)},
      {star_path(9, 9, 8), star_path(55, 55, 7)},
      {}}},
    {"mana",
     {{poly_path({{32, 3}, {54, 24}, {32, 61}, {10, 24}})},
      {poly_path({{32, 3}, {41, 24}, {32, 61}, {23, 24}})},
      {poly_path({{10, 24}, {54, 24}, {50, 20}, {14, 20}})},
      {}}},
    {"health", {{heart}, {ellipse_path(17, 17, 6, 4)}, {}, {}}},
    {"back", {{poly_path({{5, 32}, {29, 9}, {29, 24}, {59, 24}, {59, 40}, {29, 40}, {29, 55}})}, {}, {}, {}}},
    {"close", {{bar_path(10, 10, 54, 54, 6), bar_path(54, 10, 10, 54, 6)}, {}, {}, {}}},
    {"options", {{gear_path()}, {}, {}, {}}},
    {"check", {{poly_path({{5, 35}, {14, 26}, {26, 38}, {50, 11}, {59, 20}, {26, 55}})}, {}, {}, {}}},
    {"arrow", {{poly_path({{12, 5}, {56, 32}, {12, 59}, {22, 32}})}, {}, {}, {}}},
  };
}
