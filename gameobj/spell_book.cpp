// The spell book: every spell the player can cast, what casting one costs, and the mana cheat.
#include <cmath>
#include <cstring>

#include "module.h"

namespace
{
bool mana_cheat = false;
}  // namespace

const SpellInfo &get_spell(int spell)
{
  return spell < NUM_SHAPING_SPELLS ? shaping_spells[spell] : combat_spells[spell - NUM_SHAPING_SPELLS];
}

int find_spell(const char *name)
{
  for (int i = 0; name && i < NUM_SPELLS; i++)
    if (strcmp(get_spell(i).name, name) == 0)
      return i;
  return -1;
}

bool cast_spell(int spell, const SpellAim &aim)
{
  Player *p = local_player;
  if (!player_alive(p) || spell < 0 || spell >= NUM_SPELLS)
    return false;
  const SpellInfo &s = get_spell(spell);
  if (!mana_cheat && p->mana < float(s.manaCost))
    return false;
  if (!s.cast(s, aim))
    return false;
  if (!mana_cheat)
    p->mana -= float(s.manaCost);
  return true;
}

bool cast_spell_at(int spell, vec4f land)
{
  Player *p = local_player;
  if (!p || !std::isfinite(v_extract_x(land)) || !std::isfinite(v_extract_y(land)) ||
      !std::isfinite(v_extract_z(land)))
    return false;
  SpellAim aim;
  aim.eye = get_local_player_eye(p);
  aim.land = land;
  aim.hasLand = true;
  vec4f d = land - aim.eye;
  float len = std::sqrt(v_extract_x(d) * v_extract_x(d) + v_extract_y(d) * v_extract_y(d) +
                        v_extract_z(d) * v_extract_z(d));
  if (len > 1e-4f)
    aim.dir = d * (1.f / len);
  return cast_spell(spell, aim);
}

void toggle_mana_cheat() { mana_cheat = !mana_cheat; }
bool mana_cheat_on() { return mana_cheat; }
