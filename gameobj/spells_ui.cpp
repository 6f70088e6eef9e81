// The spells as the player reaches them until the interface screens come: number keys choose a
// world-shaping spell, the left mouse button throws it at the land under the crosshair, and a
// line of text at the bottom shows the spell, its cost, what it does and the mana left.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/camera.h"
#include "app/input.h"
#include "gui/debug_text.h"
#include "module.h"
#include "render/device.h"

namespace
{
int chosen_spell = 0;
// The last cast refused for want of mana: the text says so for a while.
float no_mana_time = 0.f;
constexpr float PICK_RANGE = 100.f, PICK_STEP = 0.25f;
}  // namespace

bool pick_land_point(vec4f from, vec4f dir, vec4f &out)
{
  float len = std::sqrt(v_extract_x(dir) * v_extract_x(dir) + v_extract_y(dir) * v_extract_y(dir) +
                        v_extract_z(dir) * v_extract_z(dir));
  if (!(len > 0.f) || !std::isfinite(len))
    return false;
  dir = dir * (1.f / len);
  vec4f prev = from;
  for (float t = PICK_STEP; t <= PICK_RANGE; t += PICK_STEP)
  {
    vec4f p = from + dir * t;
    if (v_extract_y(p) <= get_floor_height(v_extract_x(p), v_extract_z(p)))
    {
      // Halve the last step a few times for the crossing.
      for (int k = 0; k < 6; k++)
      {
        vec4f mid = (prev + p) * 0.5f;
        if (v_extract_y(mid) <= get_floor_height(v_extract_x(mid), v_extract_z(mid)))
          p = mid;
        else
          prev = mid;
      }
      out = v_set(p, 1, get_floor_height(v_extract_x(p), v_extract_z(p)));
      return true;
    }
    prev = p;
  }
  return false;
}

void update_spells_ui(float dt)
{
  no_mana_time = std::max(0.f, no_mana_time - dt);
  for (int i = 0; i < NUM_SHAPING_SPELLS; i++)
    if (keyDown('1' + i))
      chosen_spell = i;
  if (!keyDown(MOUSE_BUTTON_LEFT))
    return;
  SpellAim aim;
  aim.eye = m44_row(cur_view_itm, 3);
  aim.dir = m44_row(cur_view_itm, 2);
  aim.hasLand = pick_land_point(aim.eye, aim.dir, aim.land);
  if (aim.hasLand && !cast_spell(chosen_spell, aim))
    no_mana_time = 1.5f;
}

bool update_spells_ui_mouse(float) { return false; }

void draw_spells_ui(float)
{
  if (!local_player)
    return;
  const SpellInfo &s = get_spell(chosen_spell);
  char line[256];
  if (mana_cheat_on())
    snprintf(line, sizeof(line), "%d %s (%d mana): %s\nMana: unlimited", chosen_spell + 1, s.title, s.manaCost,
             s.what);
  else
    snprintf(line, sizeof(line), "%d %s (%d mana): %s\nMana: %d of %d%s", chosen_spell + 1, s.title, s.manaCost,
             s.what, int(local_player->mana), int(PLAYER_MAX_MANA), no_mana_time > 0.f ? "  - not enough mana" : "");
  start_draw_text();
  draw_text("+", -1, d3d_wd / 2, d3d_ht / 2, 0, 0, 0xC0FFFFFFu);
  draw_text(line, -1, d3d_wd / 2, 16, 0, -1, 0xFFFFFFFFu);
  end_draw_text();
}
