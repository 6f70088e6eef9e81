// The deferred variant of inst_spline.sh: writes the surface into the three targets.
#define DEFERRED 1
#include "inst_spline.sh"
