#pragma once
// The module's classes. Every class derives, by single inheritance, from BaseObject through
// GameObj, so an object's vtable pointer is its first word and the executable can re-point it on
// a reload. A class's table index (its id) is its position in QM_MODULE_CLASSES, 1 based: entry 0
// of the vtable table is never matched.
#include "gameobj_host/game_obj.h"
#include "support/vec4f.h"

// (class, base). The 42 listed classes first, in their list order, then the module's bases and
// the classes of content to come. Changing this changes the module's class layout.
#define QM_MODULE_CLASSES(X)                                                                           \
  X(GameObj, BaseObject) X(Player, GameObj) X(WaterSource, GameObj) X(SpellObject, GameObj)            \
  X(ThunderstormObject, SpellObject) X(Fireball, Missile) X(Waterball, Missile)                        \
  X(FaultMissile, Missile) X(HouseMissile, Missile) X(MeteorMissile, Missile)                           \
  X(ThunderstormMissile, Missile) X(HillMissile, Missile) X(PitMissile, Missile)                        \
  X(WaterSourceMissile, Missile) X(WaterSinkMissile, Missile) X(Spell, GameObj)                         \
  X(FireballSpell, Spell) X(WaterballSpell, Spell) X(FaultSpell, Spell) X(HouseSpell, Spell)           \
  X(MeteorSpell, Spell) X(HillSpell, Spell) X(PitSpell, Spell) X(WaterSourceSpell, Spell)              \
  X(WaterSinkSpell, Spell) X(ThunderstormSpell, Spell) X(HealingSpell, Spell) X(LightningSpell, Spell) \
  X(WyvernMonster, Monster) X(Stone1StaticObject, StaticObject) X(Menhir1StaticObject, StaticObject)   \
  X(Menhir2StaticObject, StaticObject) X(ManaGatherer, Monster) X(CastleObject, GameObj)               \
  X(CastleMissile, Missile) X(CastleSpell, Spell) X(ManaBall, GameObj) X(WorldPortal, GameObj)          \
  X(UsePortalSpell, Spell) X(BirdMonster, Monster) X(TimeTrigger, Trigger) X(Sensor, Trigger)           \
  X(Missile, GameObj) X(Monster, GameObj) X(StaticObject, GameObj) X(Trigger, GameObj)                 \
  X(Effect, GameObj) X(MagicMissile, Missile) X(WaterGlobe, Missile) X(LightningBolt, Effect)          \
  X(Explosion, Effect) X(HealingAura, Effect) X(Stone2StaticObject, StaticObject)                      \
  X(Stone3StaticObject, StaticObject) X(Tree1StaticObject, StaticObject)                              \
  X(Tree2StaticObject, StaticObject) X(Bush1StaticObject, StaticObject) X(CastleGate, GameObj)          \
  X(CastleTower, GameObj) X(ManaSpring, GameObj) X(SpawnPoint, GameObj) X(PortalBeam, Effect)

// Forward declarations of the extra classes (the 42 listed ones come from game_obj.h).
class Missile;
class Monster;
class StaticObject;
class Trigger;

// Id of each class in the vtable table.
enum ModuleClassId
{
  CLASS_ID_NONE,
#define QM_CLASS_ID(C, B) CLASS_ID_##C,
  QM_MODULE_CLASSES(QM_CLASS_ID)
#undef QM_CLASS_ID
  NUM_CLASS_IDS
};
static_assert(NUM_CLASS_IDS == NUM_GAMEOBJ_VTABLES);

class GameObj : public BaseObject
{
public:
  int proximityBin = -1;  // the proximity grid's bin holding the object, -1 when not filed
  vec4f pos = v_zero();
  int classId = CLASS_ID_GameObj;

  void onDestroy() override;
  const char *getClassName() override;
  // Adds the object to (add) or removes it from GameObj_list and its class lists.
  virtual void link(bool add);
  virtual void update(float dt) {}
  virtual void render() {}
  // Takes `amount` of health from the object (fire, lightning, claws); `by` did it, may be null.
  // A negative amount heals (never past the object's full health). Objects without health
  // ignore it.
  virtual void hurt(float amount, GameObj *by) {}
  // How far the object reaches from `pos` on the ground: its square in the proximity grid.
  virtual float groundRadius() const { return 0.5f; }
  // Its blob shadow (render_gameobj_shadow, high quality).
  virtual void renderShadow() {}
  // Health left; 0 for objects without health.
  virtual float getHealth() const { return 0.f; }
};

// A list operation on the class's own list: every class that has one calls its base's link
// first.
template <class C>
void link_list(DynArray<C *, DefaultAllocator> &list, C *obj, bool add)
{
  if (add)
  {
    list.push_back(obj);
    return;
  }
  for (int i = 0; i < list.size(); i++)
    if (list[i] == obj)
    {
      list.erase(i, 1);
      return;
    }
}

#define QM_LISTED_CLASS_BODY(C, B)       \
public:                                  \
  C() { classId = CLASS_ID_##C; }         \
  const char *getClassName() override;   \
  void link(bool add) override           \
  {                                      \
    B::link(add);                        \
    link_list(C##_list, this, add);      \
  }

#define QM_PLAIN_CLASS_BODY(C, B)     \
public:                               \
  C() { classId = CLASS_ID_##C; }      \
  const char *getClassName() override;

// A thrown spell: flies in an arc from where it was cast and acts where it lands.
class Missile : public GameObj
{
  QM_PLAIN_CLASS_BODY(Missile, GameObj)
  void update(float dt) override;
  void render() override;
  virtual void impact() {}
  vec4f start = v_zero(), vel = v_zero(), target = v_zero();
  float flightTime = 0.f, age = 0.f;
};
// A creature (monsters.cpp): health, the velocity it steers, an animation phase, and the way it
// dies. Killed, it leaves every list and the proximity grid at the end of the step.
class Monster : public GameObj
{
  QM_PLAIN_CLASS_BODY(Monster, GameObj)
  void hurt(float amount, GameObj *by) override;
  void onDestroy() override;
  float getHealth() const override { return health; }
  // Its health ran out: the creature's own end (an effect, a fall) ending in destroy().
  virtual void die(GameObj *by) { destroy(); }
  vec4f vel = v_zero();
  vec4f prevPos = v_zero();  // at the step before, for drawing between steps
  float health = 1.f, maxHealth = 1.f;
  float phase = 0.f;           // wing beat or petal pulse
  float sinceHurt = 1e6f;      // seconds
  float age = 0.f;
  bool dying = false;
};
class Trigger : public GameObj { QM_PLAIN_CLASS_BODY(Trigger, GameObj) };
class Effect : public GameObj { QM_PLAIN_CLASS_BODY(Effect, GameObj) };

// Stones and menhirs: a standing mesh at a place on the land, turned about the vertical.
class StaticObject : public GameObj
{
  QM_PLAIN_CLASS_BODY(StaticObject, GameObj)
  void render() override;  // queues its mesh (stones and menhirs; the others have none yet)
  void renderShadow() override;
  float yaw = 0.f, scale = 1.f;
};

// The local player: feet position, vertical speed, and whether standing on the ground.
class Player : public GameObj
{
  QM_LISTED_CLASS_BODY(Player, GameObj)
  void onDestroy() override;
  void update(float dt) override;  // mana comes back over time
  float vy = 0.f;
  bool onGround = false;
  float mana = 0.f;
  float manaGathered = 0.f;  // from mana balls, towards the portal
  // Health (health.cpp): hurt by monsters, dead at 0, and after a while back at the start.
  void hurt(float amount, GameObj *by) override;
  float groundRadius() const override { return 0.4f; }
  float getHealth() const override { return health; }
  float health = 0.f;
  float sinceHurt = 1e6f;  // seconds
  float deadTime = -1.f;   // seconds since dying; < 0 while alive
  vec4f startPos = v_zero();
};

// A ball of mana hovering over the land: it flies to a player who comes near and gives its mana.
class ManaBall : public GameObj
{
  QM_LISTED_CLASS_BODY(ManaBall, GameObj)
  void update(float dt) override;
  void render() override;
  float age = 0.f;
  bool drawn = true;  // the step's sparkle has been drawn
  bool sent = false;  // sent by a gatherer: flies to the player from any distance
};

// The way out of a world, opened by gathered mana: walking into it asks for a new world.
class WorldPortal : public GameObj
{
  QM_LISTED_CLASS_BODY(WorldPortal, GameObj)
  void update(float dt) override;
  void render() override;
  float age = 0.f;
  bool drawn = true;
};

// A spring (rate > 0) or a drain (rate < 0) of water: depth units a second over its disc, until
// its time runs out.
class WaterSource : public GameObj
{
  QM_LISTED_CLASS_BODY(WaterSource, GameObj)
  void update(float dt) override;
  float rate = 0.f, radius = 2.f, life = 0.f;
};

class SpellObject : public GameObj { QM_LISTED_CLASS_BODY(SpellObject, GameObj) };
// A spell the player owns (in a cell of the spell grid) or has yet to find (lying in the world,
// taken by walking into it). spell_grid.cpp.
class Spell : public GameObj
{
  QM_LISTED_CLASS_BODY(Spell, GameObj)
  void update(float dt) override;  // in the world: hovers, and goes to a player who walks in
  void render() override;
  void onDestroy() override;       // leaves its cell
  int spell = -1;                  // the spell book's index
  bool inGrid = false;
  float age = 0.f;
  bool drawn = true;               // the step's glow has been drawn
};

// The combat spells' objects (fireball.cpp, waterball.cpp, thunderstorm.cpp, healing.cpp).
// Fireballs and waterballs fly straight from the caster and act on the first creature, object,
// land or water they meet.
class Fireball : public Missile
{
  QM_LISTED_CLASS_BODY(Fireball, Missile)
  void update(float dt) override;
  void render() override {}  // its flames are its look
};
class Waterball : public Missile
{
  QM_LISTED_CLASS_BODY(Waterball, Missile)
  void update(float dt) override;
  void render() override {}
  void impact() override;
};
// Thrown like the shaping missiles; where it lands a storm gathers.
class ThunderstormMissile : public Missile
{
  QM_LISTED_CLASS_BODY(ThunderstormMissile, Missile)
  void impact() override;
};
// A storm over a disc of the land: clouds, rain poured into the water, and lightning strikes
// until its time runs out.
class ThunderstormObject : public SpellObject
{
  QM_LISTED_CLASS_BODY(ThunderstormObject, SpellObject)
  void update(float dt) override;
  float radius = 14.f, life = 0.f, nextStrike = 0.f;
};
// A fire left burning by a fireball on dry land: it hurts what stands in it until it burns out or
// water puts it out.
class Explosion : public Effect
{
  QM_PLAIN_CLASS_BODY(Explosion, Effect)
  void update(float dt) override;
  float life = 0.f, radius = 1.5f;
};
// Health flowing back into the object it follows for a while.
class HealingAura : public Effect
{
  QM_PLAIN_CLASS_BODY(HealingAura, Effect)
  void update(float dt) override;
  WeakRef<GameObj> target;
  float life = 0.f, rate = 0.f;
};

// The world's events for the world script (triggers.cpp): each sends its event name to the
// script's process_event. A time trigger after its delay (and again every period when it
// repeats); a sensor each time the local player comes within its radius.
constexpr int TRIGGER_EVENT_LEN = 64;
class TimeTrigger : public Trigger
{
  QM_LISTED_CLASS_BODY(TimeTrigger, Trigger)
  void update(float dt) override;
  char event[TRIGGER_EVENT_LEN] = {};
  float left = 0.f, period = 0.f;  // period 0: once
};
class Sensor : public Trigger
{
  QM_LISTED_CLASS_BODY(Sensor, Trigger)
  void update(float dt) override;
  char event[TRIGGER_EVENT_LEN] = {};
  float radius = 0.f;
  bool inside = false;
};

// The remaining listed classes, whose content comes with the spells and monsters.
#define QM_SIMPLE_LISTED(C, B) class C : public B { QM_LISTED_CLASS_BODY(C, B) };
// Missiles of the world-shaping spells: each reshapes the world where it lands (shaping_spells.cpp).
#define QM_SHAPING_MISSILE(C) \
  class C : public Missile    \
  {                           \
    QM_LISTED_CLASS_BODY(C, Missile) \
    void impact() override;   \
  };
QM_SHAPING_MISSILE(FaultMissile)
QM_SHAPING_MISSILE(HouseMissile)
QM_SHAPING_MISSILE(MeteorMissile)
QM_SHAPING_MISSILE(HillMissile)
QM_SHAPING_MISSILE(PitMissile)
QM_SHAPING_MISSILE(WaterSourceMissile)
QM_SHAPING_MISSILE(WaterSinkMissile)
QM_SIMPLE_LISTED(FireballSpell, Spell)
QM_SIMPLE_LISTED(WaterballSpell, Spell)
QM_SIMPLE_LISTED(FaultSpell, Spell)
QM_SIMPLE_LISTED(HouseSpell, Spell)
QM_SIMPLE_LISTED(MeteorSpell, Spell)
QM_SIMPLE_LISTED(HillSpell, Spell)
QM_SIMPLE_LISTED(PitSpell, Spell)
QM_SIMPLE_LISTED(WaterSourceSpell, Spell)
QM_SIMPLE_LISTED(WaterSinkSpell, Spell)
QM_SIMPLE_LISTED(ThunderstormSpell, Spell)
QM_SIMPLE_LISTED(HealingSpell, Spell)
QM_SIMPLE_LISTED(LightningSpell, Spell)
QM_SIMPLE_LISTED(Stone1StaticObject, StaticObject)
QM_SIMPLE_LISTED(Menhir1StaticObject, StaticObject)
QM_SIMPLE_LISTED(Menhir2StaticObject, StaticObject)
QM_SIMPLE_LISTED(CastleObject, GameObj)
QM_SHAPING_MISSILE(CastleMissile)
QM_SIMPLE_LISTED(CastleSpell, Spell)
QM_SIMPLE_LISTED(UsePortalSpell, Spell)
#undef QM_SIMPLE_LISTED
#undef QM_SHAPING_MISSILE

// Birds (birds.cpp): flocks that wheel about a home in the sky and flee from the player and from
// spells.
class BirdMonster : public Monster
{
  QM_LISTED_CLASS_BODY(BirdMonster, Monster)
  void update(float dt) override;
  void render() override;
  void renderShadow() override;
  void die(GameObj *by) override;
  int flock = 0;
  vec4f home = v_zero();  // the flock's centre in the sky
  float fleeTime = 0.f;
};

// Wyverns (wyverns.cpp): hunt the player and the mana gatherers, bite and climb away.
class WyvernMonster : public Monster
{
  QM_LISTED_CLASS_BODY(WyvernMonster, Monster)
  void update(float dt) override;
  void hurt(float amount, GameObj *by) override;  // and turns on whoever did it
  void render() override;
  void renderShadow() override;
  void die(GameObj *by) override;
  float groundRadius() const override { return 2.f; }
  WeakRef<GameObj> prey;
  float retarget = 0.f;  // seconds until it looks for prey again
  float climbTime = 0.f; // after a bite: seconds of climbing away
  float bank = 0.f;      // roll into turns
  float deadFall = 0.f;  // seconds falling after death
};

// Mana gatherers (gatherers.cpp): wander about where they were made, draw mana from the land and
// send it to the player as mana balls.
class ManaGatherer : public Monster
{
  QM_LISTED_CLASS_BODY(ManaGatherer, Monster)
  void update(float dt) override;
  void render() override;
  void renderShadow() override;
  void die(GameObj *by) override;
  float groundRadius() const override { return 1.f; }
  vec4f home = v_zero();
  vec4f goal = v_zero();
  float stored = 0.f;  // mana gathered and not yet sent
  float look = 0.f;    // the eye's turn
  float rest = 0.f;    // seconds left gathering before it walks on
};

// The world's monster spawner (monsters.cpp): the world's clock, the difficulty that rises with
// it, the waves of wyverns (a world holds a fixed number: killing them all clears it) and the
// bird flocks.
class SpawnPoint : public GameObj
{
  QM_PLAIN_CLASS_BODY(SpawnPoint, GameObj)
  void update(float dt) override;
  float worldTime = 0.f;
  float nextWave = 0.f;    // world time of the next wave of wyverns
  float nextFlock = 0.f;   // world time of the next look at the bird flocks
  int wyvernsSent = 0;     // of the world's WORLD_WYVERNS
  bool cleared = false;
};

#define QM_SIMPLE_PLAIN(C, B) class C : public B { QM_PLAIN_CLASS_BODY(C, B) };
QM_SIMPLE_PLAIN(MagicMissile, Missile)
QM_SIMPLE_PLAIN(WaterGlobe, Missile)
QM_SIMPLE_PLAIN(LightningBolt, Effect)
QM_SIMPLE_PLAIN(Stone2StaticObject, StaticObject)
QM_SIMPLE_PLAIN(Stone3StaticObject, StaticObject)
QM_SIMPLE_PLAIN(Tree1StaticObject, StaticObject)
QM_SIMPLE_PLAIN(Tree2StaticObject, StaticObject)
QM_SIMPLE_PLAIN(Bush1StaticObject, StaticObject)
QM_SIMPLE_PLAIN(CastleGate, GameObj)
QM_SIMPLE_PLAIN(CastleTower, GameObj)
QM_SIMPLE_PLAIN(ManaSpring, GameObj)
QM_SIMPLE_PLAIN(PortalBeam, Effect)
#undef QM_SIMPLE_PLAIN
