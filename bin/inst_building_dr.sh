// The deferred variant of inst_building.sh: writes the surface into the three targets.
#define DEFERRED 1
#include "inst_building.sh"
