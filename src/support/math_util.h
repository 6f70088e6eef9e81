#pragma once
// Small numeric helpers shared by every subsystem.
#include <climits>

// Floor of a float as an int: the mathematical floor (floor(3.0f) is 3, floor(-0.5f) is -1).
// Values beyond the int range saturate; infinities and NaN give 0, so a broken coordinate can
// never turn into a wild index. Written without a library call so that hot loops stay inline:
// truncation toward zero is exact for every float in the int range, and one comparison corrects
// negative fractions.
inline int ifloor(float v)
{
  if (v >= -2147483648.f && v < 2147483648.f)
  {
    int i = int(v);
    return i - (float(i) > v ? 1 : 0);
  }
  if (v >= 2147483648.f && v <= 3.402823466e38f)
    return INT_MAX;
  if (v < -2147483648.f && v >= -3.402823466e38f)
    return INT_MIN;
  return 0;  // NaN or infinite
}
