// The world's events for the world script: time triggers and sensors, made by the script and
// answered by its process_event with their event names.
#include <cmath>
#include <cstring>

#include "combat.h"
#include "script/sqbind.h"
#include "script/world_script.h"

namespace
{
void set_event(char (&out)[TRIGGER_EVENT_LEN], const char *name)
{
  size_t len = name ? strlen(name) : 0;
  if (len == 0 || len >= size_t(TRIGGER_EVENT_LEN))
    sqbind::throw_error("the event name must have 1 to 63 characters");
  memcpy(out, name, len + 1);
}

// add_time_trigger(event, delay, period): `event` after `delay` seconds, then every `period`
// seconds (0: once).
bool script_add_time_trigger(const char *event, float delay, float period)
{
  if (!std::isfinite(delay) || delay < 0.f || !std::isfinite(period) || period < 0.f)
    sqbind::throw_error("add_time_trigger: the delay and the period must be finite and not negative");
  char name[TRIGGER_EVENT_LEN];
  set_event(name, event);
  auto *t = static_cast<TimeTrigger *>(new_gameobj_by_id(CLASS_ID_TimeTrigger));
  memcpy(t->event, name, sizeof(name));
  t->left = delay;
  t->period = period;
  return true;
}

// add_sensor(event, x, z, radius): `event` each time the player comes within `radius` of (x, z).
bool script_add_sensor(const char *event, float x, float z, float radius)
{
  if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(radius) || !(radius > 0.f))
    sqbind::throw_error("add_sensor: the place must be finite and the radius above 0");
  char name[TRIGGER_EVENT_LEN];
  set_event(name, event);
  auto *s = static_cast<Sensor *>(new_gameobj_by_id(CLASS_ID_Sensor));
  memcpy(s->event, name, sizeof(name));
  s->pos = v_make(x, get_floor_height(x, z), z, 0.f);
  s->radius = radius;
  return true;
}
}  // namespace

void TimeTrigger::update(float dt)
{
  left -= dt;
  if (left > 0.f)
    return;
  if (period > 0.f)
    left = left + period > 0.f ? left + period : period;  // at most once a step
  else
    destroy();
  world_script_str_event(event);
}

void Sensor::update(float)
{
  bool now = false;
  if (local_player)
  {
    vec4f d = ground_delta(pos, local_player->pos);
    now = v_extract_x(d) * v_extract_x(d) + v_extract_z(d) * v_extract_z(d) <= radius * radius;
  }
  bool entered = now && !inside;
  inside = now;
  if (entered)
    world_script_str_event(event);
}

void bind_triggers(HSQUIRRELVM v)
{
  SqObject root = sqbind::root_table(v);
  sqbind::bind_function(v, root, "add_time_trigger", &script_add_time_trigger);
  sqbind::bind_function(v, root, "add_sensor", &script_add_sensor);
}
