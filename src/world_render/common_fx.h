#pragma once
// The common effects: billboard particles in two pools (blend: soft sprites that cover what is
// behind them; glow: light added to it), trails (ribbons behind a moving object, addressed by a
// handle) and lightning bolts. They step at the fixed update rate and are drawn, interpolated,
// into the effect target(s) and composited over the scene image. docs/effects.md describes them.
#include <cstdint>

#include "support/color.h"
#include "support/dyn_array.h"
#include "support/color_ramp.h"
#include "support/export.h"
#include "support/matrix44.h"
#include "support/vec4f.h"

constexpr float FX_STEP = 0.05f;     // the update step the effects are built for
constexpr int MAX_TRAILS = 4000;     // trail slots; a handle is a slot's index
constexpr int TRAIL_POINTS = 16;     // points a trail keeps
constexpr int MAX_BOLT_POINTS = 4096;  // the most points a lightning bolt is built with

// One particle. pos.w is unused; vel.w is the drag coefficient, accel.w its change per second.
struct alignas(16) Particle
{
  vec4f pos, vel, accel, prevPos;
  float life;  // seconds; <= 0 marks a free record
  union
  {
    float age;         // seconds since the start, negative while delayed
    int32_t nextFree;  // in a free record: the next free record, -1 ends the list
  };
  float size;
  D3dColor color;
  float texU, texV, halfMap;  // sprite centre in the atlas (0..1) and half its edge in texels
  float startRoll, rollScale;
  const ColorRamp *colorAnim;
  const FloatRamp *sizeAnim, *rollAnim;
};

struct ParticlePool
{
  DynArray<Particle> parts;
  int freeHead = -1;
};

struct TrailPoint
{
  vec4f pos, prevPos, side, vel;
  D3dColor color;
};

struct TrailSlot
{
  TrailPoint pts[TRAIL_POINTS];
  int count = 0;  // live points; > 0 means the slot is in use
  int head = 0;   // the newest point
  int nextFree = -1;
  float headSize = 0;
  D3dColor color = 0;
  bool stopping = false;
};

struct BoltPoint
{
  vec4f pos;
  D3dColor color;
  float u;
};

struct LightningBolt
{
  DynArray<BoltPoint> points;
  float age = 0, life = 0, width = 0;
};

// All live effects (the simulation side; tests read it).
struct CommonFxState
{
  ParticlePool blend, glow;
  TrailSlot trails[MAX_TRAILS];
  int trailFreeHead = 0;
  DynArray<LightningBolt> bolts;
};
extern CommonFxState common_fx;

// --- the interface of the game object module ---------------------------------------------------
// Adds a particle that starts after `delay` seconds and lives `life` seconds (refused when life
// or delay is not a finite number or life <= 0). mapU, mapV, mapSize: the sprite's square in the
// 512 x 256 atlas in texels. The ramps are not copied: they must live as long as the particle.
QM_EXPORT void add_blend_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size,
                                  D3dColor color, float mapU, float mapV, float mapSize, float startRoll,
                                  float rollScale, const ColorRamp *colorAnim, const FloatRamp *sizeAnim,
                                  const FloatRamp *rollAnim);
QM_EXPORT void add_glow_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size,
                                 D3dColor color, float mapU, float mapV, float mapSize, float startRoll,
                                 float rollScale, const ColorRamp *colorAnim, const FloatRamp *sizeAnim,
                                 const FloatRamp *rollAnim);
// A new trail with its first point; -1 when every slot is in use. `side` is the half-width
// vector of the ribbon at a point, `headSize` the half-size of the sprite at the newest point.
QM_EXPORT int add_trail_fx(vec4f pos, vec4f vel, vec4f side, float headSize, D3dColor color);
// The trail calls ignore handles outside 0..3999 and slots not in use.
QM_EXPORT void add_trail_point(int handle, vec4f pos, vec4f vel, vec4f side);
QM_EXPORT void set_trail_color(int handle, D3dColor color);
// The trail loses one point per step; its slot is free again when the last one is gone.
QM_EXPORT void stop_trail_fx(int handle);
QM_EXPORT void kill_trail_fx(int handle);
// A bolt from `from` to `to` bent towards from + bend, `points` points (3..4096) with noise of
// `wavelength` and `amplitude`; refused when width, wavelength or life is not > 0.
QM_EXPORT void add_lightning_fx(vec4f from, vec4f to, vec4f bend, float width, float wavelength, float amplitude,
                                float life, D3dColor color, int points);

QM_EXPORT void init_common_fx();
QM_EXPORT void reset_common_fx();
QM_EXPORT void update_common_fx(float dt);
// t: seconds since the last update, f: t / 0.05 (clamped to 0..1). Uses the camera given by
// set_common_fx_camera; binds the effect target(s), draws, then composites onto the scene image.
QM_EXPORT void render_common_fx(float t, float f);
void close_common_fx();
// The camera (camera-to-world rows: right, up, forward, position) the effects face and wrap to.
void set_common_fx_camera(const Matrix44 &view_itm);

// --- pieces the drawing and the tests share ---------------------------------------------------
// Moves p's x and z by whole world periods (256) to the copy nearest to `to` (y unchanged).
vec4f wrap_offset(vec4f p, vec4f to);
void particle_step(Particle &p, float s);
void update_particle_pool(ParticlePool &pool, float dt);
void update_trails(float dt);
void update_lightning(float dt);
// The 40-byte instance of a particle at time t after the last update (f = t / 0.05); false when it
// is not visible then.
bool make_particle_instance(const Particle &p, float t, float f, vec4f camera, uint8_t out[40]);
// Empties both pools and the bolts (trails stay: their owners keep their handles).
void clear_particles_and_bolts();
