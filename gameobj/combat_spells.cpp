// The spells that fight: fireball, waterball, lightning, thunderstorm and healing.
#include "module.h"

namespace
{
// Until their missiles and effects exist the combat spells find no target and cost nothing.
bool cast_not_yet(const SpellInfo &, const SpellAim &) { return false; }
}  // namespace

const SpellInfo combat_spells[NUM_COMBAT_SPELLS] = {
  {"fireball", "Fireball", "fireball", 25, "Hurls a ball of fire that bursts where it hits.", cast_not_yet,
    CLASS_ID_Fireball, 0.f},
  {"waterball", "Waterball", "waterball", 20, "Throws a globe of water: puts out fire, adds water.", cast_not_yet,
    CLASS_ID_Waterball, 0.f},
  {"lightning", "Lightning", "lightning", 40, "Strikes the creature under the crosshair.", cast_not_yet,
    CLASS_ID_NONE, 0.f},
  {"thunderstorm", "Thunderstorm", "thunderstorm", 120, "Brings a storm: rain and lightning strikes.",
    cast_not_yet, CLASS_ID_ThunderstormMissile, 0.f},
  {"healing", "Healing", "healing", 50, "Restores your health.", cast_not_yet, CLASS_ID_NONE, 0.f},
};
