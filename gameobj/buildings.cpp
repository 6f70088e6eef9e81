// Instanced meshes of the objects and the building renderer: the module initialises the engine's
// renderers with their meshes, queues records while the frame draws (house pieces from the land,
// stones and menhirs from render_gameobj) and draws every queue once per frame.
#include <cmath>
#include <cstring>

#include "app/app_globals.h"
#include "module.h"
#include "world_render/inst_objects.h"

using HD = HeightmapData;

void init_inst_render()
{
  init_inst_render_internals();
  init_all_inst_renderers(gfx_quality);
}

void do_inst_render()
{
  for (const InstRendererEntry &e : inst_renderers)
    e.render->render();
}

void render_building(const HeightmapData::Surface &s, int x, int z) { queue_house_piece(s, x, z, HD::hmap); }

namespace
{
SimpleInstRender *static_mesh(int class_id)
{
  switch (class_id)
  {
    case CLASS_ID_Stone1StaticObject: return &stone1_inst;
    case CLASS_ID_Menhir1StaticObject: return &menhir1_inst;
    case CLASS_ID_Menhir2StaticObject: return &menhir2_inst;
    default: return nullptr;
  }
}

// Turned about the vertical, scaled, standing at its place.
Matrix44 static_tm(const StaticObject *o)
{
  float c = std::cos(o->yaw) * o->scale, sn = std::sin(o->yaw) * o->scale;
  Matrix44 tm = {};
  m44_set_row(tm, 0, v_make(c, 0.f, -sn, 0.f));
  m44_set_row(tm, 1, v_make(0.f, o->scale, 0.f, 0.f));
  m44_set_row(tm, 2, v_make(sn, 0.f, c, 0.f));
  m44_set_row(tm, 3, v_set(o->pos, 3, 1.f));
  return tm;
}
}  // namespace

void StaticObject::render()
{
  SimpleInstRender *r = static_mesh(classId);
  if (!r || !r->mesh)
    return;
  SimpleInstData d;
  make_simple_inst(static_tm(this), 0xFFFFFFFFu, d);
  memcpy(r->addInstance(), &d, sizeof(d));
}

void StaticObject::renderShadow()
{
  if (SimpleInstRender *r = static_mesh(classId))
    r->renderShadowBalls(static_tm(this), scale);
}
