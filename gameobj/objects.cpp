// Object creation by id, the lists, deferred deletion and the per-step update.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "gameobj_host/proximity.h"
#include "script/world_script.h"
#include "module.h"

// Every class is a BaseObject by single inheritance (its vtable pointer is its first word).
#define QM_CLASS_NAME(C, B)                                          \
  static_assert(std::is_base_of_v<BaseObject, C> && std::is_base_of_v<B, C>); \
  const char *C::getClassName() { return #C; }
QM_MODULE_CLASSES(QM_CLASS_NAME)
#undef QM_CLASS_NAME

// The executable reaches the proximity bin through its offset (GameObj is not standard layout;
// GCC and Clang lay out single inheritance as checked here).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
constexpr size_t PROXIMITY_BIN_OFFSET = offsetof(GameObj, proximityBin);
#pragma GCC diagnostic pop
static_assert(PROXIMITY_BIN_OFFSET == GAMEOBJ_PROXIMITY_BIN_OFFSET);

void GameObj::onDestroy() {}

void GameObj::link(bool add) { link_list(GameObj_list, this, add); }

namespace
{
template <class C>
GameObj *make() { return new C; }

struct ClassEntry
{
  GameObj *(*create)();
  size_t size;
};
const ClassEntry class_entries[NUM_CLASS_IDS] = {
  {nullptr, 0},
#define QM_CLASS_ENTRY(C, B) {&make<C>, sizeof(C)},
  QM_MODULE_CLASSES(QM_CLASS_ENTRY)
#undef QM_CLASS_ENTRY
};

// The vtable pointer an object of class C holds (read from a temporary that is never listed).
template <class C>
void *vtable_of_class()
{
  C obj;
  void *vp;
  memcpy(&vp, static_cast<void *>(&obj), sizeof(vp));
  return vp;
}

void *module_vtables[NUM_GAMEOBJ_VTABLES];
}  // namespace

void **get_module_vtables()
{
  int i = 1;
#define QM_VTABLE_ENTRY(C, B) module_vtables[i++] = vtable_of_class<C>();
  QM_MODULE_CLASSES(QM_VTABLE_ENTRY)
#undef QM_VTABLE_ENTRY
  return module_vtables;
}

uint64_t get_gameobj_layout()
{
  // FNV-1a over each class's size, in table order, then the place of the proximity bin.
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](uint64_t v) {
    for (int b = 0; b < 8; b++)
    {
      h ^= (v >> (8 * b)) & 0xff;
      h *= 1099511628211ull;
    }
  };
  for (const ClassEntry &e : class_entries)
    mix(e.size);
  mix(PROXIMITY_BIN_OFFSET);
  return h;
}

BaseObject *new_gameobj_by_id(int id)
{
  if (id <= 0 || id >= NUM_CLASS_IDS)
    return nullptr;
  GameObj *obj = class_entries[id].create();
  obj->link(true);
  return obj;
}

void delete_gameobj(BaseObject *obj)
{
  if (!obj)
    return;
  GameObj *g = static_cast<GameObj *>(obj);
  g->link(false);
  remove_proximity_object(g);
  for (int i = 0; i < deleted_gameobjs.size(); i++)
    if (deleted_gameobjs[i] == obj)
      deleted_gameobjs.erase(i--, 1);
  if (local_player == obj)
    local_player = nullptr;
  delete g;
}

void delete_destroyed_gameobjs()
{
  // Deleting may destroy more objects (onDestroy of a dying object): loop until none is left.
  while (!deleted_gameobjs.empty())
    delete_gameobj(deleted_gameobjs.back());
}

void remove_all_gameobj()
{
  for (int i = 0; i < GameObj_list.size(); i++)
    GameObj_list[i]->destroy();
  delete_destroyed_gameobjs();
  local_player = nullptr;
}

void update_gameobj(float dt)
{
  // The world script's step comes first: what it changes in the world, the objects see now.
  update_world_script(dt);
  // Walk by index over the count at the start: objects created during the walk wait for the next
  // step, destroyed ones stay listed until the safe point below.
  int n = GameObj_list.size();
  // Each object is filed in the proximity grid where its update left it; the destroyed leave it
  // at once, so nobody finds them for the rest of the step.
  for (int i = 0; i < n && i < GameObj_list.size(); i++)
  {
    GameObj *o = GameObj_list[i];
    if (!(o->objFlags & OBJ_DESTROYED))
      o->update(dt);
    if (!(o->objFlags & OBJ_DESTROYED))
      file_in_proximity(o);
    else
      remove_proximity_object(o);
  }
  delete_destroyed_gameobjs();
}

void file_in_proximity(GameObj *o)
{
  float x = v_extract_x(o->pos), z = v_extract_z(o->pos), r = o->groundRadius();
  update_proximity(o, v_make(x - r, z - r, x + r, z + r));
}

void render_gameobj(float dt)
{
  for (int i = 0; i < GameObj_list.size(); i++)
    GameObj_list[i]->render();
  do_inst_render();
}

void render_gameobj_shadow(float dt)
{
  for (int i = 0; i < GameObj_list.size(); i++)
    if (!(GameObj_list[i]->objFlags & OBJ_DESTROYED))
      GameObj_list[i]->renderShadow();
}

int find_gameobjs_near(vec4f at, float radius, GameObj **out, int max_count)
{
  int n = 0;
  const float x = v_extract_x(at), z = v_extract_z(at);
  if (!(radius >= 0.f) || !out || !std::isfinite(x) || !std::isfinite(z))
    return 0;
  // The grid's bins around the circle's square (it wraps with the world), then each object's own
  // place, measured the short way round on each axis.
  static ProximityQuery query;
  query.proximityQuery(v_make(x - radius, z - radius, x + radius, z + radius), false);
  for (int b = 0; b < query.bins.size() && n < max_count; b++)
  {
    const DynArray<GameObj *, DefaultAllocator> &bin = proximity[query.bins[b]];
    for (int i = 0; i < bin.size() && n < max_count; i++)
    {
      GameObj *o = bin[i];
      if (o->objFlags & OBJ_DESTROYED)
        continue;
      vec4f d = wrap_delta(at, o->pos);
      if (v_extract_x(d) * v_extract_x(d) + v_extract_z(d) * v_extract_z(d) <= radius * radius)
        out[n++] = o;
    }
  }
  return n;
}
