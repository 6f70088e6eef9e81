// The player's health: hurt by monsters, slowly back after a while unhurt; at 0 the player falls,
// and after a few seconds starts again at the world's start place with full health while the
// wyverns lose its track. Also the play screen's own part until the interface screens show it:
// the health bar, the line of news in the middle ("Wyverns are coming!"), and G to make a mana
// gatherer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/input.h"
#include "gui/debug_text.h"
#include "module.h"
#include "platform/input_sink.h"
#include "render/device.h"
#include "support/debug.h"

namespace
{
char message[128];
float message_time = 0.f;
}  // namespace

bool player_alive(const Player *p) { return p && p->deadTime < 0.f; }

bool take_health(float &health, float full, float amount)
{
  if (amount < 0.f)
    health = std::min(full, health - amount);
  if (!(amount > 0.f))
    return false;
  health = std::max(0.f, health - amount);
  return true;
}

void Player::hurt(float amount, GameObj *)
{
  if (!player_alive(this) || !take_health(health, PLAYER_MAX_HEALTH, amount))
    return;
  sinceHurt = 0.f;
  if (health <= 0.f)
  {
    deadTime = 0.f;
    show_game_message("You have fallen", PLAYER_RESPAWN_TIME);
    debug("the player has fallen");
  }
}

void update_player_health(Player *p, float dt)
{
  p->sinceHurt += dt;
  if (player_alive(p))
  {
    if (p->sinceHurt >= PLAYER_REGEN_DELAY)
      p->health = std::min(PLAYER_MAX_HEALTH, p->health + PLAYER_HEALTH_REGEN * dt);
    return;
  }
  p->deadTime += dt;
  if (p->deadTime < PLAYER_RESPAWN_TIME)
    return;
  // Up again where the world began, whole; the wyverns hunting it fly off and must find it again.
  p->deadTime = -1.f;
  p->health = PLAYER_MAX_HEALTH;
  place_local_player(p, p->startPos + v_make(0.f, PLAYER_EYE_HEIGHT, 0.f, 0.f));
  for (int i = 0; i < WyvernMonster_list.size(); i++)
  {
    WyvernMonster *w = WyvernMonster_list[i];
    w->prey.set(nullptr);
    w->climbTime = 3.f;
    w->retarget = 3.f;
  }
  show_game_message("You stand again", 2.f);
}

void show_game_message(const char *text, float seconds)
{
  snprintf(message, sizeof(message), "%s", text ? text : "");
  message_time = seconds;
}

void update_play_ui(float dt)
{
  update_spells_ui(dt);
  message_time = std::max(0.f, message_time - dt);
  // G alone (Ctrl-G makes a new world).
  if (keyDown('G') && !getKeyState(VK_CONTROL_KEY) && !make_gatherer() && local_player && player_alive(local_player))
    show_game_message(ManaGatherer_list.size() >= MAX_GATHERERS ? "You have all the gatherers you can keep"
                                                                : "A gatherer costs 100 mana",
                      2.f);
}

void draw_play_ui(float dt)
{
  draw_spells_ui(dt);
  Player *p = local_player;
  if (!p)
    return;
  start_draw_text();
  // The bar at the top left: red over dark, white while just hurt.
  const int x0 = 16, y1 = d3d_ht - 16, y0 = y1 - 14, w = 200;
  const int filled = int(float(w) * std::clamp(p->health / PLAYER_MAX_HEALTH, 0.f, 1.f));
  draw_rect(x0 - 2, y0 - 2, x0 + w + 2, y1 + 2, 0xA0000000u);
  if (filled > 0)
    draw_rect(x0, y0, x0 + filled, y1, p->sinceHurt < 0.3f ? 0xFFFFFFFFu : 0xFFD02828u);
  char line[64];
  snprintf(line, sizeof(line), "Health %d    Wyverns left %d", int(std::ceil(p->health)), wyverns_left());
  draw_text(line, -1, x0 + w + 10, (y0 + y1) / 2, -1, 0, 0xFFFFFFFFu);
  if (!player_alive(p))
  {
    snprintf(line, sizeof(line), "Starting again in %d", int(std::ceil(PLAYER_RESPAWN_TIME - p->deadTime)));
    draw_text(line, -1, d3d_wd / 2, d3d_ht / 2 - 40, 0, 0, 0xFFFFFFFFu);
  }
  if (message_time > 0.f && message[0])
    draw_text(message, -1, d3d_wd / 2, d3d_ht * 2 / 3, 0, 0, 0xFFFFE080u);
  end_draw_text();
}
