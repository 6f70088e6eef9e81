// The module's classes for scripts. A script instance holds a weak reference to its object, so a
// deleted object reads as gone ("game object was deleted") instead of dangling. The classes are
// registered under the executable's class tags, so instances made before a reload keep working.
#include <cstring>
#include <type_traits>

#include "module.h"
#include "script/sqbind.h"

namespace
{
// The user pointer of a script instance of a game class.
struct ScriptObjRef
{
  WeakRef<GameObj> ref;

  GameObj *obj() const
  {
    GameObj *o = ref.get();
    if (!o)
      sqbind::throw_error("game object was deleted");
    return o;
  }
  vec4f getPos() { return obj()->pos; }
  void setPos(vec4f p) { obj()->pos = p; }
  void destroy() { obj()->destroy(); }
  bool isAlive() { return ref.get() && !(ref.get()->objFlags & OBJ_DESTROYED); }
  const char *getClassName() { return obj()->getClassName(); }
  void hurt(float amount) { obj()->hurt(amount, nullptr); }
  float getHealth() { return obj()->getHealth(); }
};
}  // namespace

template <>
struct sqbind::SqClassInfo<ScriptObjRef>
{
  using Tag = GameObj;
  [[maybe_unused]] static constexpr const char *name = "GameObj";
  static SQInteger release(SQUserPointer p, SQInteger)
  {
    delete static_cast<ScriptObjRef *>(p);
    return 1;
  }
};

namespace
{
// The script instance of the listed class the object belongs to.
template <class C>
bool push_as(HSQUIRRELVM v, GameObj *o, const char *name)
{
  auto *r = new ScriptObjRef;
  r->ref.set(o);
  if (!sqbind::push_instance(v, r, sqbind::tag_of<C>(), name, &sqbind::SqClassInfo<ScriptObjRef>::release))
  {
    delete r;
    sqbind::throw_error("can't create a game object instance");
  }
  return true;
}

void push_gameobj(HSQUIRRELVM v, GameObj *o)
{
  if (!o)
  {
    sq_pushnull(v);
    return;
  }
  // The object's own class when it is listed, otherwise GameObj.
  bool done = false;
#define QM_TRY_CLASS(C) \
  if (!done && o->classId == CLASS_ID_##C) done = push_as<C>(v, o, #C);
  QM_GAMEOBJ_CLASSES(QM_TRY_CLASS)
#undef QM_TRY_CLASS
  if (!done)
    push_as<GameObj>(v, o, "GameObj");
}

// Scripts cast the spells as the player does (its mana, its place), aimed at a land point.
bool script_cast_spell(const char *name, float x, float z)
{
  int spell = find_spell(name);
  if (spell < 0)
    sqbind::throw_error("no such spell");
  return cast_spell_at(spell, v_make(x, get_floor_height(x, z), z, 0.f));
}

float script_get_mana() { return local_player ? local_player->mana : 0.f; }

// find_objects(class name): an array of the live objects of that class (its own class, not
// subclasses), in list order.
SQInteger script_find_objects(HSQUIRRELVM v)
{
  const SQChar *name = nullptr;
  if (SQ_FAILED(sq_getstring(v, 2, &name)))
    return sq_throwerror(v, "find_objects: expects a class name");
  sq_newarray(v, 0);
  for (int i = 0; i < GameObj_list.size(); i++)
  {
    GameObj *o = GameObj_list[i];
    if ((o->objFlags & OBJ_DESTROYED) || strcmp(o->getClassName(), name) != 0)
      continue;
    push_gameobj(v, o);
    sq_arrayappend(v, -2);
  }
  return 1;
}

// find_objects_near(x, z, radius): the live objects within the radius on the ground (the world
// wraps), found through the proximity grid, at most 256.
SQInteger script_find_objects_near(HSQUIRRELVM v)
{
  SQFloat x = 0, z = 0, r = 0;
  if (SQ_FAILED(sq_getfloat(v, 2, &x)) || SQ_FAILED(sq_getfloat(v, 3, &z)) || SQ_FAILED(sq_getfloat(v, 4, &r)))
    return sq_throwerror(v, "find_objects_near: expects x, z, radius");
  GameObj *found[256];
  int n = find_gameobjs_near(v_make(float(x), 0.f, float(z), 0.f), float(r), found, 256);
  sq_newarray(v, 0);
  for (int i = 0; i < n; i++)
  {
    push_gameobj(v, found[i]);
    sq_arrayappend(v, -2);
  }
  return 1;
}

SQInteger script_get_local_player(HSQUIRRELVM v)
{
  push_gameobj(v, local_player);
  return 1;
}

template <class T>
constexpr bool is_listed = false;
#define QM_LISTED_FLAG(C) \
  template <>             \
  constexpr bool is_listed<C> = true;
QM_GAMEOBJ_CLASSES(QM_LISTED_FLAG)
#undef QM_LISTED_FLAG

// A listed class under its own tag; its script base is its C++ base when that is listed too,
// otherwise GameObj.
template <class C, class B>
void bind_class(HSQUIRRELVM v, const char *name, const char *base)
{
  if constexpr (is_listed<C> && !std::is_same_v<C, GameObj>)
    sqbind::create_class(v, name, is_listed<B> ? base : "GameObj", sqbind::tag_of<C>());
}
}  // namespace

void bind_gameobj(HSQUIRRELVM v)
{
  sqbind::StackGuard guard{v};
  SqObject game_obj = sqbind::create_class(v, "GameObj", nullptr, sqbind::tag_of<GameObj>());
  sqbind::bind_method(game_obj, "getPos", &ScriptObjRef::getPos);
  sqbind::bind_method(game_obj, "setPos", &ScriptObjRef::setPos);
  sqbind::bind_method(game_obj, "destroy", &ScriptObjRef::destroy);
  sqbind::bind_method(game_obj, "isAlive", &ScriptObjRef::isAlive);
  sqbind::bind_method(game_obj, "getClassName", &ScriptObjRef::getClassName);
  sqbind::bind_method(game_obj, "hurt", &ScriptObjRef::hurt);
  sqbind::bind_method(game_obj, "getHealth", &ScriptObjRef::getHealth);
#define QM_BIND_CLASS(C, B) bind_class<C, B>(v, #C, #B);
  QM_MODULE_CLASSES(QM_BIND_CLASS)
#undef QM_BIND_CLASS
  sq_pushroottable(v);
  sq_pushstring(v, "get_local_player", -1);
  sq_newclosure(v, &script_get_local_player, 0);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, "find_objects", -1);
  sq_newclosure(v, &script_find_objects, 0);
  sq_newslot(v, -3, SQFalse);
  sq_pushstring(v, "find_objects_near", -1);
  sq_newclosure(v, &script_find_objects_near, 0);
  sq_newslot(v, -3, SQFalse);
  sq_pop(v, 1);
  SqObject root = sqbind::root_table(v);
  sqbind::bind_function(v, root, "cast_spell", &script_cast_spell);
  sqbind::bind_function(v, root, "get_mana", &script_get_mana);
  bind_monsters(v);
  bind_triggers(v);
}
