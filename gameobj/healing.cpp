// Healing: health flows back into the player over a few seconds, with sparkles around it.
#include <algorithm>

#include "combat.h"

void HealingAura::update(float dt)
{
  GameObj *t = target.get();
  if (!t || (t->objFlags & OBJ_DESTROYED) || life <= 0.f)
  {
    destroy();
    return;
  }
  float step = std::min(dt, life);
  life -= step;
  pos = t->pos;
  t->hurt(-rate * step, t);
  healing_fx(pos);
}
