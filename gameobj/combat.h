#pragma once
// What the combat spells share (combat_spells.cpp): the balls' straight flight and what stops
// them, and who counts as a creature.
#include "module.h"

// Fireballs and waterballs: speed, the drop of their path, and how far they fly before fizzling.
constexpr float BALL_SPEED = 40.f, BALL_DROP = 3.f, BALL_RANGE = 100.f;
// What a ball strikes: an object whose upright box the ball's path enters: HIT_REACH out from
// its position and below it, HIT_HEIGHT above.
constexpr float HIT_REACH = 1.2f, HIT_HEIGHT = 2.f;

constexpr float FIREBALL_DAMAGE = 40.f, FIREBALL_RADIUS = 4.f;
constexpr float FIRE_LIFE = 8.f, FIRE_DAMAGE_RATE = 10.f;  // health a second to what stands in it
constexpr float WATERBALL_WATER = 8.f, WATERBALL_RADIUS = 4.f;
constexpr float LIGHTNING_DAMAGE = 50.f, LIGHTNING_RANGE = 60.f;
constexpr float STORM_LIFE = 30.f, STORM_RADIUS = 14.f, STORM_CLOUD_HEIGHT = 16.f;
constexpr float STORM_RAIN_RATE = 6.f, STORM_STRIKE_DAMAGE = 30.f;  // water volume a second
constexpr float HEALING_AMOUNT = 60.f, HEALING_TIME = 3.f;

// The player and the monsters: what lightning picks and storms strike.
bool is_creature(const GameObj *o);
// Creatures, stones and buildings: what stops a flying ball.
bool stops_balls(const GameObj *o);
// Whether `p` is inside the object's upright hit box (the world wraps).
bool in_hit_box(const GameObj *o, vec4f p);
// The wrapped difference b - a on the ground plane, each axis the short way round.
vec4f ground_delta(vec4f a, vec4f b);

// A ball of class `id` thrown from the local player's hand along `dir`; null without a player.
Missile *throw_ball(int id, vec4f dir);
// One step of a ball's flight along its path: true when it struck something, with `pos` where and
// `hit` the object it struck (null for the land, the water or the end of its range).
bool fly_ball(Missile &m, float dt, GameObj *&hit);

// The burst of a fireball at `at`: `direct` (may be null) takes the full blow, everything else
// within FIREBALL_RADIUS less with the distance; `by` cast it. On dry land it leaves a fire
// burning. Returns how many objects it hurt.
int apply_fireball(vec4f at, GameObj *direct, GameObj *by);
// A fire burning at `at` for FIRE_LIFE seconds.
void start_fire(vec4f at);
// The creature the player aims at: the one nearest the line of sight within a narrow cone and
// LIGHTNING_RANGE, not hidden behind the land; null when none.
GameObj *pick_lightning_target(const SpellAim &aim);
// A bolt from `from` to the target, which takes LIGHTNING_DAMAGE.
void cast_lightning(vec4f from, GameObj *target, GameObj *by);

// Effects of the fights only (combat_fx.cpp; the shared named effects are in module.h).
void fire_fx(vec4f at);
void water_burst_fx(vec4f at);
void healing_fx(vec4f at);
