// The deferred variant of inst_morph.sh: writes the surface into the three targets.
#define DEFERRED 1
#include "inst_morph.sh"
