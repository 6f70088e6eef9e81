// The deferred variant of inst_simple.sh: writes the surface into the three targets.
#define DEFERRED 1
#include "inst_simple.sh"
