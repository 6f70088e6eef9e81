#pragma once
// Game modes: the application is always in one of them. The main loop calls the current mode's
// update once per fixed step and its render and renderGui once per drawn frame. The operations
// keep this slot order (the game object module calls them through the vtable).
#include "support/export.h"

class QM_EXPORT GameMode
{
public:
  virtual void enter(GameMode *previous) = 0;
  virtual void leave(GameMode *next) = 0;
  virtual void update(float dt) = 0;     // one fixed step
  virtual void render(float dt) = 0;     // 3D scene; dt is the time since the last update
  virtual void renderGui(float dt) = 0;  // 2D pass after the scene
  virtual void reserved() {}             // empty in every mode, never called

protected:
  ~GameMode() = default;
};

// The four modes (global instances) and the current one (null before start-up ends).
QM_EXPORT extern GameMode *main_menu_mode;
QM_EXPORT extern GameMode *play_mode;
QM_EXPORT extern GameMode *dev_mode;
QM_EXPORT extern GameMode *game_menu_mode;
QM_EXPORT extern GameMode *cur_game_mode;

// Leaves the current mode and enters `mode`; nothing when `mode` is already current.
void set_game_mode(GameMode *mode);
// Generates the world "main_menu" and enters the main menu.
void go_to_main_menu();
// The camera to the local player's eye, when the module has a player: where the attract flight
// begins and where a new game starts (the player's place is the module's choice).
void camera_to_local_player();
// The development mode at (x, y, z) = cam[0..2], yaw cam[3] and pitch cam[4] in degrees (yaw 0
// looks along +z, positive turns left; pitch positive looks up, clamped short of vertical).
void start_dev_mode_at(const float cam[5]);
// Zoom 1, no dash, tap timers and speeds cleared, the local player placed at the camera, mouse
// capture dropped.
void reset_fly_control();

// The help text of the current mode (drawn with the statistics when show_fps is set).
const char *game_mode_help_text();

// The game frame's calls into the current mode (nothing while there is none).
void game_mode_update(float dt);
void game_mode_render(float dt);
void game_mode_render_gui(float dt);
