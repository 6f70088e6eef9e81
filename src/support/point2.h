#pragma once
// Two floats: a position or offset in a plane (x, y).
struct Point2
{
  float x, y;
};
