#include "terrain/game_rnd.h"

uint64_t game_rnd_seed = 12345;
