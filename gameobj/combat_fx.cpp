// The module's named effects of the fights: each runs its function of the effect script.
#include "combat.h"
#include "world_render/fx_script.h"

namespace
{
void fx(const char *name, vec4f a, vec4f b = v_zero(), vec4f c = v_zero(), float d = 0.f)
{
  call_fx_script(name, a, b, c, d);
}
}  // namespace

void spawn_fireball_fx(vec4f pos, vec4f vel) { fx("fireball", pos, vel); }
void fireball_explode_fx(vec4f at) { fx("fireball_burst", at, v_zero(), v_zero(), FIREBALL_RADIUS); }
void spawn_waterball_missile_fx(vec4f pos, vec4f vel) { fx("waterball", pos, vel); }
void spawn_magic_missile_fx(vec4f from, vec4f to, vec4f color) { fx("magic_trail", from, to, color, 1.f); }
void spawn_water_source_fx(vec4f at) { fx("splash", at, v_zero(), v_zero(), 0.6f); }
void spawn_water_sink_fx(vec4f at) { fx("splash", at, v_zero(), v_zero(), 0.35f); }
void spawn_meteor_fx(vec4f pos, vec4f vel) { fx("meteor_trail", pos, vel, v_zero(), 1.f); }
void meteor_explode_fx(vec4f at) { fx("meteor_impact", at, v_zero(), v_zero(), 2.f); }
void spawn_spellobj_fx(vec4f ground, float radius)
{
  fx("storm", ground, v_make(0.f, STORM_CLOUD_HEIGHT, 0.f, 0.f), v_zero(), radius);
}
void lightning_hit_fx(vec4f from, vec4f to) { fx("lightning", from, to, v_make(0.75f, 0.8f, 1.f, 1.f), 0.3f); }
void fire_fx(vec4f at) { fx("fire", at, v_zero(), v_zero(), 2.f); }
void water_burst_fx(vec4f at) { fx("splash", at, v_zero(), v_zero(), 1.3f); }
void healing_fx(vec4f at) { fx("healing", at); }
