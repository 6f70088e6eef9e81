#pragma once
// The script library shared by the world generation and effect machines. Register into a machine
// after its init and before its first script: the ramp classes first, then the library.
#include <squirrel.h>

// "ColorRamp", then "FloatRamp".
void register_ramp_classes(HSQUIRRELVM v);
// The "vec4f" class and the vector functions, then the colour, random and wrap functions.
void register_script_math(HSQUIRRELVM v);
