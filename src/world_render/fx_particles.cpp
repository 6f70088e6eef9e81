// The two particle pools: records on a free list (never removed), the fixed-step motion and the
// instance record each visible particle is drawn from.
#include <cmath>
#include <cstring>

#include "world_render/common_fx.h"

vec4f wrap_offset(vec4f p, vec4f to)
{
  auto wrap = [](float d) {
    float q = d / 256.f;
    q = (q - std::trunc(q)) * 256.f;
    if (q > 128.f)
      q -= 256.f;
    else if (q <= -128.f)
      q += 256.f;
    return q - d;
  };
  const vec4f d = p - to;
  return p + v_make(wrap(v_extract_x(d)), 0.f, wrap(v_extract_z(d)), 0.f);
}

void particle_step(Particle &p, float s)
{
  p.prevPos = p.pos;
  const float drag = v_extract_w(p.vel);
  const vec4f dv = (p.accel - p.vel * drag) * s;
  p.vel = v_set(p.vel + dv, 3, drag + v_extract_w(p.accel) * s);
  p.pos = v_set(p.pos + p.vel * s, 3, v_extract_w(p.pos));
}

static void add_particle(ParticlePool &pool, vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size,
                         D3dColor color, float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                         const ColorRamp *colorAnim, const FloatRamp *sizeAnim, const FloatRamp *rollAnim)
{
  // A record that never ages out (NaN) or never lived would stay off the free list for good.
  if (!(life > 0.f) || !std::isfinite(life) || !std::isfinite(delay))
    return;
  if (pool.freeHead < 0)
  {
    pool.freeHead = pool.parts.append(1);
    pool.parts[pool.freeHead].nextFree = -1;
  }
  const int index = pool.freeHead;
  Particle &p = pool.parts[index];
  pool.freeHead = p.nextFree;
  p.pos = pos;
  p.vel = vel;
  p.accel = accel;
  p.prevPos = pos;
  p.life = life;
  p.age = -delay;
  p.size = size;
  p.color = color;
  p.texU = (mapU + mapSize * 0.5f) / 512.f;
  p.texV = (mapV + mapSize * 0.5f) / 256.f;
  p.halfMap = mapSize * 0.5f;
  p.startRoll = startRoll;
  p.rollScale = rollScale;
  p.colorAnim = colorAnim;
  p.sizeAnim = sizeAnim;
  p.rollAnim = rollAnim;
  // Starts already moved by one step (or by the part of it after the delay).
  if (delay > 0.f)
  {
    if (FX_STEP - delay > 0.f)
      particle_step(p, FX_STEP - delay);
  }
  else
    particle_step(p, FX_STEP);
}

void add_blend_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
                        float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                        const ColorRamp *colorAnim, const FloatRamp *sizeAnim, const FloatRamp *rollAnim)
{
  add_particle(common_fx.blend, pos, vel, accel, life, delay, size, color, mapU, mapV, mapSize, startRoll, rollScale,
               colorAnim, sizeAnim, rollAnim);
}

void add_glow_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
                       float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                       const ColorRamp *colorAnim, const FloatRamp *sizeAnim, const FloatRamp *rollAnim)
{
  add_particle(common_fx.glow, pos, vel, accel, life, delay, size, color, mapU, mapV, mapSize, startRoll, rollScale,
               colorAnim, sizeAnim, rollAnim);
}

void update_particle_pool(ParticlePool &pool, float dt)
{
  Particle *parts = pool.parts.data;
  for (int i = 0, n = pool.parts.size(); i < n; i++)
  {
    Particle &p = parts[i];
    if (!(p.life > 0.f))
      continue;
    p.age += dt;
    if (p.age >= p.life)
    {
      p.life = -1.f;
      p.nextFree = pool.freeHead;
      pool.freeHead = i;
    }
    else if (p.age < 0.f && p.age + dt > 0.f)
      particle_step(p, p.age + dt);
    else if (p.age >= 0.f)
      particle_step(p, dt);
  }
}

bool make_particle_instance(const Particle &p, float t, float f, vec4f camera, uint8_t out[40])
{
  if (!(p.life > 0.f))
    return false;
  const float n = (p.age + t) / p.life;
  if (!(n >= 0.f && n <= 1.f))
    return false;
  float w = f;
  if (p.age < 0.f)
  {
    const float span = FX_STEP + p.age;
    w = span > 0.f ? (p.age + t) / span : 0.f;
  }
  vec4f pos = p.prevPos + (p.pos - p.prevPos) * w;
  pos = wrap_offset(pos, camera);
  D3dColor color = p.color;
  if (p.colorAnim)
    color = vec4f_to_color(color_to_vec4f(p.color) * sample_ramp(*p.colorAnim, n));
  const float size = p.sizeAnim ? p.size * sample_ramp(*p.sizeAnim, n) : p.size;
  const float roll = p.rollAnim ? p.startRoll + p.rollScale * sample_ramp(*p.rollAnim, n) : p.startRoll;
  const float rec[5] = {v_extract_x(pos), v_extract_y(pos), v_extract_z(pos), size, roll};
  memcpy(out, rec, 20);
  memcpy(out + 20, &color, 4);
  const float tex[4] = {p.texU, p.texV, p.halfMap / 512.f, -p.halfMap / 256.f};
  memcpy(out + 24, tex, 16);
  return true;
}

void clear_particles_and_bolts()
{
  for (ParticlePool *pool : {&common_fx.blend, &common_fx.glow})
  {
    pool->parts.erase(0, pool->parts.size());
    pool->parts.reserve(10000);
    pool->freeHead = -1;
  }
  common_fx.bolts.erase(0, common_fx.bolts.size());
}
