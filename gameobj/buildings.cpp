// Instanced meshes of the objects and the building renderer. The instanced renderers come with
// the engine's mesh support; until then nothing is queued and nothing is drawn.
#include "module.h"

void init_inst_render() {}

void do_inst_render() {}

void render_building(const HeightmapData::Surface &s, int x, int z) {}
