#include "app/game_mode.h"

#include "app/camera.h"
#include "app/game_modes.h"
#include "app/world_links.h"
#include "gameobj_host/gameobj_module.h"

MainMenuMode main_menu_mode_inst;
PlayGameMode play_mode_inst;
DevGameMode dev_mode_inst;
GameMenuMode game_menu_mode_inst;

GameMode *main_menu_mode = &main_menu_mode_inst;
GameMode *play_mode = &play_mode_inst;
GameMode *dev_mode = &dev_mode_inst;
GameMode *game_menu_mode = &game_menu_mode_inst;
GameMode *cur_game_mode = nullptr;

void set_game_mode(GameMode *mode)
{
  if (mode == cur_game_mode)
    return;
  GameMode *prev = cur_game_mode;
  if (prev)
    prev->leave(mode);
  cur_game_mode = mode;
  if (mode)
    mode->enter(prev);
}

void go_to_main_menu()
{
  world_generate("main_menu");
  set_game_mode(main_menu_mode);
}

void camera_to_local_player()
{
  if (Player *player = gameobj_local_player())
    if (gameobj_module.get_local_player_eye)
      set_camera_pos(gameobj_module.get_local_player_eye(player));
}

void reset_fly_control()
{
  camZoom = 1.f;
  fwdTapTimer = backTapTimer = 0.f;
  dashDir = 0;
  moveSpeedH = prevMoveSpeedH = 0.f;
  if (Player *player = gameobj_local_player())
    gameobj_call(gameobj_module.place_local_player, player, camPos);
  mouseCaptured = false;
}

bool take_close_game_menu()
{
  if (!should_close_game_menu)
    return false;
  should_close_game_menu = false;
  return true;
}

static const char dev_help_text[] =
  "F1: show/hide this\nF9: game/dev mode\nWASD/arrows: move\nShift: move faster\nF5: toggle "
  "post-effect\nF6: toggle anti-aliasing\nRight mouse: set sun position\nG: generate new world\nH: "
  "add water everywhere\nR: erode land\nCtrl-M: toggle monsters\nPrintScreen: screenshot\nAlt-Enter: "
  "toggle fullscreen\nAlt-F4: quit\n";

static const char game_help_text[] =
  "F1: show/hide this\nF9: game/dev mode\nWASD/arrows: move\ndouble-tap forward or backward: "
  "dash\nSpace/PgUp: move up\nX/C/PgDn: move down\nhold Ctrl: select spells\nLMB/RMB: fire assigned "
  "spell\nCtrl-G: generate new world\nCtrl-M: toggle monsters\nCtrl-N: mana cheat\nCtrl-...: other "
  "dev-mode keys\nPrintScreen: screenshot\nAlt-Enter: toggle fullscreen\nAlt-F4: quit\n";

const char *game_mode_help_text() { return cur_game_mode == dev_mode ? dev_help_text : game_help_text; }

void game_mode_update(float dt)
{
  if (cur_game_mode)
    cur_game_mode->update(dt);
}

void game_mode_render(float dt)
{
  if (cur_game_mode)
    cur_game_mode->render(dt);
}

void game_mode_render_gui(float dt)
{
  if (cur_game_mode)
    cur_game_mode->renderGui(dt);
}
