#pragma once
// The sky script machine behind sky.cpp: a plain reloadable machine (include and the standard
// math and string libraries only) running "sky.nut", whose get_sky_colors(angle) answers ten
// triples of numbers for the sun's angle from the zenith in degrees.
#include "support/vec4f.h"

// Creates the machine and runs the script (`script`: null for sky.nut); fatal on failure.
void init_sky_script(const char *script = nullptr);
void close_sky_script();
// The script's vectors for the sun direction `sun` into `out` (w 0): the default table when the
// script has no get_sky_colors. On a script error (a failed call, a missing or non-numeric item,
// a number that is not finite) the error is shown, `out` is left as it was and false returned.
bool sky_script_colors(vec4f sun, vec4f out[]);
// The script part of update_sky_script: false when no file changed. Otherwise the files ran
// again and `loaded` tells whether they all loaded (when not, the error is shown and the
// previous functions stay).
bool reload_sky_script(bool &loaded);
