// Wyverns: hunters of the player and of the mana gatherers. A wyvern looks for the nearest prey
// through the proximity grid, flies to it at a height over the land, swoops, bites, climbs away
// and comes back. Killed, it falls trailing smoke and bursts where it hits the ground.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "module.h"
#include "world_render/fx_script.h"
#include "world_render/inst_objects.h"
#include "world_render/shadows.h"

namespace
{
constexpr float CRUISE = 12.f, SWOOP = 17.f, ACCEL = 20.f, CLEAR = 2.f, CEILING = 45.f, CRUISE_HEIGHT = 12.f;
constexpr float SIGHT = 90.f, SWOOP_DISTANCE = 25.f, BITE_RANGE = 3.f, CLIMB_TIME = 1.6f, RETARGET = 1.f;
constexpr float BODY_LEN = 3.2f, MAX_FALL = 3.f;
constexpr int MAX_SEEN = 512;

// Where a wyvern bites: the player's chest, a gatherer's bowl.
vec4f middle(const GameObj *o)
{
  float up = o->classId == CLASS_ID_Player ? 0.5f * PLAYER_EYE_HEIGHT : o->classId == CLASS_ID_ManaGatherer ? 1.2f : 0.f;
  return o->pos + v_make(0.f, up, 0.f, 0.f);
}

bool is_prey(const GameObj *o)
{
  if (o->objFlags & OBJ_DESTROYED)
    return false;
  if (o->classId == CLASS_ID_Player)
    return player_alive(static_cast<const Player *>(o));
  return o->classId == CLASS_ID_ManaGatherer && !static_cast<const Monster *>(o)->dying;
}

float len3(vec4f d) { return std::sqrt(v_extract_x(v_dot3(d, d))); }

// The nearest prey in sight; the player counts a little nearer than it is.
GameObj *find_prey(const WyvernMonster *w)
{
  static GameObj *seen[MAX_SEEN];
  int n = find_gameobjs_near(w->pos, SIGHT, seen, MAX_SEEN);
  GameObj *best = nullptr;
  float best_d = INFINITY;
  for (int i = 0; i < n; i++)
  {
    if (!is_prey(seen[i]))
      continue;
    float d = len3(wrap_delta(w->pos, middle(seen[i]))) * (seen[i]->classId == CLASS_ID_Player ? 0.8f : 1.f);
    if (d < best_d)
    {
      best_d = d;
      best = seen[i];
    }
  }
  return best;
}

// Keep `height` over the floor below: the vertical part of a wanted velocity.
float hold_height(vec4f at, float height)
{
  float floor = get_floor_height(v_extract_x(at), v_extract_z(at));
  return std::clamp((floor + height - v_extract_y(at)) * 0.8f, -6.f, 8.f);
}

vec4f flat_dir(vec4f v, vec4f fallback)
{
  v = v_set(v, 1, 0.f);
  float l = len3(v);
  return l > 1e-3f ? v * (1.f / l) : fallback;
}

struct Frame
{
  vec4f fwd, right, up;
};

// The body's frame from the flight: forward along the velocity, banked by `bank` radians.
Frame body_frame(const WyvernMonster *w)
{
  Frame f;
  float l = len3(w->vel);
  f.fwd = l > 1e-3f ? w->vel * (1.f / l) : v_make(0.f, 0.f, 1.f, 0.f);
  vec4f r = v_cross3(v_make(0.f, 1.f, 0.f, 0.f), f.fwd);
  float rl = len3(r);
  r = rl > 1e-3f ? r * (1.f / rl) : v_make(1.f, 0.f, 0.f, 0.f);
  vec4f u = v_cross3(f.fwd, r);
  float c = std::cos(w->bank), s = std::sin(w->bank);
  f.right = r * c - u * s;
  f.up = u * c + r * s;
  return f;
}

Matrix44 frame_tm(const Frame &f, vec4f at)
{
  Matrix44 tm = {};
  m44_set_row(tm, 0, f.right);
  m44_set_row(tm, 1, f.up);
  m44_set_row(tm, 2, f.fwd);
  m44_set_row(tm, 3, v_set(at, 3, 1.f));
  return tm;
}
}  // namespace

void WyvernMonster::update(float dt)
{
  age += dt;
  sinceHurt += dt;
  vec4f was_vel = vel;
  if (dying)
  {
    // Falling, turning over, trailing smoke; it bursts on the ground.
    deadFall += dt;
    bank += 3.f * dt;
    vec4f want = vel + v_make(0.f, -25.f, 0.f, 0.f);
    fly_step(this, want, 25.f, 0.f, CEILING, dt);
    call_fx_script("smoke", pos, v_zero(), v_zero(), 1.2f);
    if (v_extract_y(pos) <= get_floor_height(v_extract_x(pos), v_extract_z(pos)) + 0.05f || deadFall >= MAX_FALL)
    {
      wyvern_death_fx(pos);
      destroy();
    }
    return;
  }
  retarget -= dt;
  if (retarget <= 0.f)
  {
    prey.set(find_prey(this));
    retarget = RETARGET;
  }
  GameObj *p = prey.get();
  if (p && !is_prey(p))
  {
    prey.set(nullptr);
    p = nullptr;
  }
  const vec4f ahead = flat_dir(vel, v_make(std::cos(0.3f * age), 0.f, std::sin(0.3f * age), 0.f));
  vec4f want;
  if (climbTime > 0.f)
  {
    // After a bite: up and away, then round again.
    climbTime -= dt;
    want = ahead * CRUISE + v_make(0.f, 7.f, 0.f, 0.f);
  }
  else if (p)
  {
    vec4f to = wrap_delta(pos, middle(p));
    float flat = len3(v_set(to, 1, 0.f)), dist = len3(to);
    if (flat > SWOOP_DISTANCE)
      want = flat_dir(to, ahead) * CRUISE + v_make(0.f, hold_height(pos, CRUISE_HEIGHT), 0.f, 0.f);
    else
      want = to * (SWOOP / std::max(dist, 1e-3f));
    if (dist < BITE_RANGE)
    {
      p->hurt(WYVERN_BITE * (1.f + 0.2f * (current_difficulty() - 1.f)), this);
      call_fx_script("sparks", middle(p), vel * 0.3f, v_make(1.f, 0.3f, 0.2f, 1.f), 8.f);
      climbTime = CLIMB_TIME;
    }
  }
  else
  {
    // Nothing in sight: wide circles at a height.
    vec4f turn = v_make(-v_extract_z(ahead), 0.f, v_extract_x(ahead), 0.f);
    want = (ahead + turn * 0.15f) * CRUISE + v_make(0.f, hold_height(pos, CRUISE_HEIGHT + 6.f), 0.f, 0.f);
  }
  fly_step(this, want, ACCEL, CLEAR, CEILING, dt);
  // Bank into the turn; the wings beat harder climbing.
  float turn = v_extract_x(was_vel) * v_extract_z(vel) - v_extract_z(was_vel) * v_extract_x(vel);
  float target = std::clamp(-turn * 0.02f / std::max(dt, 1e-3f), -0.7f, 0.7f);
  bank += (target - bank) * std::min(1.f, 4.f * dt);
  phase += dt * (4.f + std::max(0.f, v_extract_y(vel)) * 0.5f);
}

void WyvernMonster::hurt(float amount, GameObj *by)
{
  Monster::hurt(amount, by);
  if (!dying && by && is_prey(by))
  {
    prey.set(by);
    retarget = 3.f * RETARGET;
    climbTime = 0.f;
  }
}

void WyvernMonster::die(GameObj *)
{
  // It falls from where it was hit and bursts on the ground (update).
  deadFall = 0.f;
  prey.set(nullptr);
  call_fx_script("sparks", pos, v_make(0.f, 2.f, 0.f, 0.f), v_make(1.f, 0.45f, 0.2f, 1.f), 16.f);
}

void wyvern_death_fx(vec4f at)
{
  call_fx_script("meteor_impact", at, v_zero(), v_zero(), 0.7f);
  call_fx_script("sparks", at + v_make(0.f, 0.5f, 0.f, 0.f), v_make(0.f, 4.f, 0.f, 0.f), v_make(1.f, 0.5f, 0.25f, 1.f),
                 24.f);
  for (int k = 0; k < 6; k++)
    call_fx_script("land_dust", at, v_zero(), v_zero(), 3.f);
}

namespace
{
// The body's four control points: tail root to neck along the flight, undulating.
void body_points(const WyvernMonster *w, const Frame &f, vec4f at, vec4f pts[4])
{
  float wave = 0.3f * std::sin(w->phase);
  pts[0] = at - f.fwd * (0.45f * BODY_LEN);
  pts[3] = at + f.fwd * (0.55f * BODY_LEN);
  pts[1] = pts[0] + f.fwd * (BODY_LEN / 3.f) + f.up * wave;
  pts[2] = pts[0] + f.fwd * (2.f * BODY_LEN / 3.f) - f.up * wave;
}

Frame tail_frame(const WyvernMonster *w, const Frame &f)
{
  // The tail sways from side to side.
  float a = 0.35f * std::sin(0.5f * w->phase), c = std::cos(a), s = std::sin(a);
  Frame t = f;
  t.fwd = f.fwd * c + f.right * s;
  t.right = f.right * c - f.fwd * s;
  return t;
}
}  // namespace

void WyvernMonster::render()
{
  if (!wyvern_body_inst.mesh)
    return;
  const vec4f at = drawn_pos(this);
  const Frame f = body_frame(this);
  vec4f pts[4];
  body_points(this, f, at, pts);
  const uint32_t color = sinceHurt < 0.25f ? 0xFFFF5040u : dying ? 0xFF604838u : 0xFF808080u;
  SplineInstData body;
  for (int i = 0; i < 4; i++)
  {
    body.points[i][0] = v_extract_x(pts[i]);
    body.points[i][1] = v_extract_y(pts[i]);
    body.points[i][2] = v_extract_z(pts[i]);
  }
  body.up[0] = body.up[1] = pack_signed_color(f.up);
  body.color[0] = body.color[1] = color;
  memcpy(wyvern_body_inst.addInstance(), &body, sizeof(body));
  SimpleInstData d;
  make_simple_inst(frame_tm(f, pts[3]), color, d);
  memcpy(wyvern_head_inst.addInstance(), &d, sizeof(d));
  make_simple_inst(frame_tm(tail_frame(this, f), pts[0]), color, d);
  memcpy(wyvern_tail_inst.addInstance(), &d, sizeof(d));
}

void WyvernMonster::renderShadow()
{
  const vec4f at = drawn_pos(this);
  const Frame f = body_frame(this);
  vec4f pts[4];
  body_points(this, f, at, pts);
  // The body, and each wing as two balls out to the side.
  render_shadow_ball((pts[1] + pts[2]) * 0.5f, 0.6f);
  for (float side : {-1.f, 1.f})
  {
    vec4f root = pts[0] + (pts[3] - pts[0]) * 0.6f;
    render_shadow_ball(root + f.right * (1.f * side), 0.6f);
    render_shadow_ball(root + f.right * (2.3f * side), 0.5f);
  }
  wyvern_head_inst.renderShadowBalls(frame_tm(f, pts[3]), 1.f);
  wyvern_tail_inst.renderShadowBalls(frame_tm(tail_frame(this, f), pts[0]), 1.f);
}
