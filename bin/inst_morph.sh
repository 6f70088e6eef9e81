// Instanced mesh with a second pose: as inst_simple.sh, and each vertex moves by its offset to
// the second pose (TEXCOORD1) times the instance's weight (MorphInstRender, 32 bytes).
#define MORPH 1
#include "inst_simple.sh"
