#pragma once
// The four game modes and the steps they share. Declared here for the modes' sources and tests.
#include "app/game_mode.h"
#include "support/vec4f.h"
#include "terrain/hmap_data.h"

class MainMenuMode final : public GameMode
{
public:
  void enter(GameMode *previous) override;
  void leave(GameMode *next) override;
  void update(float dt) override;
  void render(float dt) override;
  void renderGui(float dt) override;
};

class PlayGameMode final : public GameMode
{
public:
  void enter(GameMode *previous) override;
  void leave(GameMode *next) override {}
  void update(float dt) override;
  void render(float dt) override;
  void renderGui(float dt) override;
};

class DevGameMode final : public GameMode
{
public:
  void enter(GameMode *previous) override;
  void leave(GameMode *next) override {}
  void update(float dt) override;
  void render(float dt) override;
  void renderGui(float dt) override {}
};

class GameMenuMode final : public GameMode
{
public:
  void enter(GameMode *previous) override;
  void leave(GameMode *next) override;
  void update(float dt) override;
  void render(float dt) override;
  void renderGui(float dt) override;

  GameMode *returnMode = nullptr;  // the mode to resume
};

extern MainMenuMode main_menu_mode_inst;
extern PlayGameMode play_mode_inst;
extern DevGameMode dev_mode_inst;
extern GameMenuMode game_menu_mode_inst;

// Attract flight of the main menu: flight clock, target and previous yaw and pitch, turn rates.
struct AttractFlight
{
  float time = 0;
  float yaw = 0, pitch = 0;
  float prevYaw = 0, prevPitch = 0;
  float yawRate = 0, pitchRate = 0;
};
extern AttractFlight attract_flight;

// Droplet count and parameters of the development erosion key.
constexpr unsigned DEV_EROSION_DROPS = 92160;
// Fills the fields of the development erosion run (the reactions are left alone).
void set_dev_erosion_params(HeightmapData::ErosionParams &p);

// Steps shared by the modes.
// Keys of every mode, then the development keys (in the development mode or with Ctrl held).
void handle_common_keys();
// Land renderer step, morph, water, effects, module objects.
void world_step(float dt);
// Sky step of the modes that step the world.
void sky_step();
// Marks the land renderer for a full refresh.
void land_mark_refresh();
// Camera set-up for orientation (yaw, pitch) at the render's dt, then the scene's drawing paths.
void scene_render(float yaw, float pitch, float dt);
// The camera basis of the current step (orientation and roll without interpolation).
struct CameraBasis
{
  vec4f right, up, forward;
};
CameraBasis current_camera_basis();
// Acts on the module's request to close a menu: clears it and reports whether it was set.
bool take_close_game_menu();
// Acts on the module's menu_request (quitting ends the main loop, the main menu is entered with
// its world) and clears it; true when the mode changed.
bool act_on_menu_request();
