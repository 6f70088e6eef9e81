#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/mode_keys.h"
#include "mode_test_util.h"
#include "platform/sdl_platform.h"

namespace
{
// Records enter and leave calls.
class RecordingMode final : public GameMode
{
public:
  void enter(GameMode *previous) override { log.push_back("enter"), from = previous; }
  void leave(GameMode *next) override { log.push_back("leave"), to = next; }
  void update(float) override {}
  void render(float) override {}
  void renderGui(float) override {}
  std::vector<std::string> log;
  GameMode *from = nullptr, *to = nullptr;
};

std::vector<std::string> module_calls;
std::vector<std::string> world_calls;

void install_recording_module()
{
  module_calls.clear();
  gameobj_module.open_main_menu = [] { module_calls.push_back("open_main_menu"); };
  gameobj_module.open_game_menu = [] { module_calls.push_back("open_game_menu"); };
  gameobj_module.close_game_menu = [] { module_calls.push_back("close_game_menu"); };
  gameobj_module.update_game_menu = [](float) { module_calls.push_back("update_game_menu"); };
  gameobj_module.update_gameobj = [](float) { module_calls.push_back("update_gameobj"); };
  gameobj_module.toggle_monster_spawn = [] { module_calls.push_back("toggle_monster_spawn"); };
  gameobj_module.toggle_mana_cheat = [] { module_calls.push_back("toggle_mana_cheat"); };
}

using Modes = ModeTest;
}  // namespace

TEST_F(Modes, SettingTheCurrentModeCallsNeitherLeaveNorEnter)
{
  RecordingMode a, b;
  set_game_mode(&a);
  EXPECT_EQ(a.log, (std::vector<std::string>{"enter"}));
  EXPECT_EQ(a.from, nullptr);
  set_game_mode(&a);
  EXPECT_EQ(a.log.size(), 1u);
  set_game_mode(&b);
  EXPECT_EQ(a.log, (std::vector<std::string>{"enter", "leave"}));
  EXPECT_EQ(a.to, &b);
  EXPECT_EQ(b.from, &a);
  EXPECT_EQ(cur_game_mode, &b);
  set_game_mode(nullptr);
  EXPECT_EQ(cur_game_mode, nullptr);
  EXPECT_EQ(b.log.back(), "leave");
}

TEST_F(Modes, DoubleTapForwardStartsADashAndALaterSinglePressEndsIt)
{
  set_game_mode(play_mode);
  step({'W'});
  EXPECT_EQ(dashDir, 0);
  step();
  step({'W'});  // 0.1 s after the first press
  EXPECT_EQ(dashDir, 1);
  for (int i = 0; i < 5; i++)  // let the tap window run out
    step();
  step({'W'});
  EXPECT_EQ(dashDir, 0);

  // Backwards likewise.
  step({'S'});
  step({KEY_DOWN});
  EXPECT_EQ(dashDir, -1);
}

TEST_F(Modes, PlayMotionGoesThroughThePlayerAndDashDoublesTheStep)
{
  static float last_step;
  static vec4f last_motion;
  static vec4f player_pos;
  static int player;
  gameobj_module.get_local_player = [] { return (Player *)&player; };
  gameobj_module.place_local_player = [](Player *, vec4f p) { player_pos = p; };
  gameobj_module.move_local_player = [](Player *, float, float step_len, vec4f motion, const Matrix44 &, int) {
    last_step = step_len;
    last_motion = motion;
    player_pos = player_pos + motion;
  };
  gameobj_module.get_local_player_eye = [](Player *) { return player_pos + v_make(0, 1.5f, 0, 0); };

  set_camera_pos(v_make(10, 3, 10, 0));
  set_game_mode(play_mode);
  EXPECT_FLOAT_EQ(v_extract_x(player_pos), 10.f);  // placed at the camera on entering

  hold('D', true);
  step();
  EXPECT_NEAR(last_step, 0.4f, 1e-6f);
  EXPECT_NEAR(v_extract_x(last_motion), 0.4f, 1e-6f);  // yaw 0: right is +x
  EXPECT_NEAR(moveSpeedH, 0.4f, 1e-6f);
  EXPECT_NEAR(v_extract_y(camPos), 4.5f, 1e-5f);  // the player's eye
  hold('D', false);

  // Strafe plus forward is normalised, not sqrt(2) faster.
  hold('D', true);
  hold('W', true);
  step();
  EXPECT_NEAR(v_extract_x(v_length3(last_motion)), 0.4f, 1e-5f);
  hold('W', false);
  hold('D', false);
  step({'W'});
  EXPECT_EQ(dashDir, 1);
  EXPECT_NEAR(last_step, 0.8f, 1e-6f);
}

TEST_F(Modes, ZoomRisesToTheMaximumAndReturnsToExactlyOne)
{
  set_game_mode(dev_mode);
  hold(MOUSE_BUTTON_MIDDLE, true);
  step();
  EXPECT_FLOAT_EQ(camZoom, 2.f);
  for (int i = 0; i < 20; i++)
    step();
  EXPECT_EQ(camZoom, 8.f);
  hold(MOUSE_BUTTON_MIDDLE, false);
  step();
  EXPECT_FLOAT_EQ(camZoom, 7.f);
  for (int i = 0; i < 20; i++)
    step();
  EXPECT_EQ(camZoom, 1.f);

  // Losing the focus with the button held lets the zoom fall back to 1 as well.
  hold(MOUSE_BUTTON_MIDDLE, true);
  for (int i = 0; i < 10; i++)
    step();
  EXPECT_EQ(camZoom, 8.f);
  isAppActive = false;
  step();
  EXPECT_FLOAT_EQ(camZoom, 7.f);
  for (int i = 0; i < 20; i++)
    step();
  EXPECT_EQ(camZoom, 1.f);
}

TEST_F(Modes, DevFlyMovesAlongTheCameraAxesAndWrapsTheWorld)
{
  set_camera_pos(v_make(255.9f, 10, 5, 0));
  set_game_mode(dev_mode);
  hold('D', true);
  step();
  // 5.55 * 0.05 to the right, across the seam and wrapped.
  EXPECT_NEAR(v_extract_x(camPos), 255.9f + 0.2775f - 256.f, 1e-4f);
  // The rendered position half-way interpolates the short way.
  set_camera_matrices(camYaw, camPitch, 0.5f);
  EXPECT_NEAR(cur_view_itm.m[3][0], 255.9f + 0.5f * 0.2775f, 1e-3f);
  hold(VK_SHIFT_KEY, true);
  step();
  EXPECT_NEAR(v_extract_x(camPos), 255.9f + 7 * 0.2775f - 256.f, 1e-4f);
  hold(VK_SHIFT_KEY, false);
  hold('D', false);
  // Lift is along world up whatever the pitch.
  camPitch = 1.f;
  hold('Q', true);
  step();
  EXPECT_NEAR(v_extract_y(camPos), 10.f + 0.2775f, 1e-5f);
  hold('Q', false);
}

TEST_F(Modes, StartingTheDevModeAtAPlace)
{
  const float cam[5] = {12.f, 40.f, 200.f, 90.f, -120.f};
  start_dev_mode_at(cam);
  EXPECT_EQ(cur_game_mode, dev_mode);
  EXPECT_EQ(v_extract_z(camPos), 200.f);
  EXPECT_EQ(v_extract_z(prevCamPos), 200.f);
  EXPECT_NEAR(camYaw, 1.5707963f, 1e-6f);
  EXPECT_EQ(camPitch, -CAMERA_PITCH_LIMIT);
  // Yaw 90, level, looks along -x (left of +z).
  const float level[5] = {0.f, 0.f, 0.f, 90.f, 0.f};
  start_dev_mode_at(level);
  EXPECT_NEAR(v_extract_x(current_camera_basis().forward), -1.f, 1e-6f);
}

TEST_F(Modes, CommonKeysToggleFlagsAndSwitchModes)
{
  install_recording_module();
  set_game_mode(play_mode);
  step({KEY_F1, KEY_F6});
  EXPECT_TRUE(show_fps);
  EXPECT_TRUE(use_ppaa);
  step({KEY_F5});
  EXPECT_FALSE(use_postfx);
  hold(VK_SHIFT_KEY, true);
  step({KEY_F5});
  EXPECT_EQ(land_shadow_quality, 0);
  EXPECT_FALSE(use_postfx);
  hold(VK_SHIFT_KEY, false);

  step({KEY_F9});
  EXPECT_EQ(cur_game_mode, dev_mode);
  step({KEY_F9});
  EXPECT_EQ(cur_game_mode, play_mode);

  // Esc opens the in-game menu; the world is paused behind it; the module's request resumes the
  // mode it came from and is cleared.
  step({KEY_ESCAPE});
  EXPECT_EQ(cur_game_mode, game_menu_mode);
  module_calls.clear();
  step();
  EXPECT_EQ(module_calls, (std::vector<std::string>{"update_game_menu"}));
  should_close_game_menu = true;
  step();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_FALSE(should_close_game_menu);
  EXPECT_EQ(module_calls.back(), "close_game_menu");

  // Nothing reacts while the application is inactive.
  isAppActive = false;
  step({KEY_F1});
  EXPECT_TRUE(show_fps);
}

TEST_F(Modes, DevelopmentKeysNeedTheDevModeOrCtrl)
{
  install_recording_module();
  world_calls.clear();
  world_links.generate_world = [](const char *name) { world_calls.push_back(std::string("gen ") + name); };
  set_game_mode(play_mode);
  step({'G', 'H', 'R', 'M', 'N'});
  EXPECT_TRUE(world_calls.empty());
  EXPECT_EQ(HeightmapData::water[77].depth, 0.f);
  EXPECT_TRUE(module_calls.empty() || module_calls.back() == "update_gameobj");

  hold(VK_CONTROL_KEY, true);
  step({'G', 'M', 'N'});
  EXPECT_EQ(world_calls, (std::vector<std::string>{"gen game"}));
  EXPECT_NE(std::find(module_calls.begin(), module_calls.end(), "toggle_monster_spawn"), module_calls.end());
  EXPECT_NE(std::find(module_calls.begin(), module_calls.end(), "toggle_mana_cheat"), module_calls.end());
  hold(VK_CONTROL_KEY, false);

  // In the development mode: water everywhere, and erosion whose result becomes the target
  // while the land starts from the heights it had.
  set_game_mode(dev_mode);
  module_calls.clear();
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    HeightmapData::hmap[i] = 1.f;
    HeightmapData::target_hmap[i] = 2.f;
  }
  step({'H'});
  float total = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
    total += HeightmapData::water[i].depth;
  EXPECT_NEAR(total / HMAP_CELLS, 1.f, 1e-3f);
  float before = HeightmapData::hmap[1234];  // on its way from 1 to 2
  ASSERT_GT(before, 1.f);
  ASSERT_LT(before, 2.f);
  step({'R', 'M'});
  // Erosion of a flat world leaves it flat: the target is the eroded level, the land starts
  // again from the old target 2 and morphs down towards it.
  EXPECT_FLOAT_EQ(HeightmapData::target_hmap[1234], before);
  EXPECT_GT(HeightmapData::hmap[1234], before);
  EXPECT_LE(HeightmapData::hmap[1234], 2.f);
  // M without Ctrl does nothing even in the development mode.
  EXPECT_EQ(std::find(module_calls.begin(), module_calls.end(), "toggle_monster_spawn"), module_calls.end());
}

TEST_F(Modes, MainMenuStartsTheGameWhenTheModuleAsks)
{
  install_recording_module();
  world_calls.clear();
  world_links.generate_world = [](const char *name) { world_calls.push_back(name); };
  go_to_main_menu();
  EXPECT_EQ(cur_game_mode, main_menu_mode);
  EXPECT_EQ(module_calls.front(), "open_main_menu");
  step({KEY_ESCAPE});  // Esc does nothing in the main menu
  EXPECT_EQ(cur_game_mode, main_menu_mode);
  should_close_game_menu = true;
  step();
  EXPECT_EQ(world_calls, (std::vector<std::string>{"main_menu", "game"}));
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_FALSE(should_close_game_menu);
  // The portal's request: the next world, once, still in play.
  request_new_world = true;
  step();
  step();
  EXPECT_EQ(world_calls, (std::vector<std::string>{"main_menu", "game", "game"}));
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_FALSE(request_new_world);
}

// The in-game menu's other ways out: back to the main menu (its world, once), or quitting.
TEST_F(Modes, MenusLeaveForTheMainMenuOrQuitWhenTheModuleAsks)
{
  install_recording_module();
  world_calls.clear();
  world_links.generate_world = [](const char *name) { world_calls.push_back(name); };
  set_game_mode(play_mode);
  step({KEY_ESCAPE});
  ASSERT_EQ(cur_game_mode, game_menu_mode);
  menu_request = MENU_REQUEST_MAIN_MENU;
  step();
  EXPECT_EQ(cur_game_mode, main_menu_mode);
  EXPECT_EQ(world_calls, (std::vector<std::string>{"main_menu"}));
  EXPECT_EQ(menu_request, MENU_REQUEST_NONE);
  menu_request = MENU_REQUEST_MAIN_MENU;  // already there: nothing happens
  step();
  EXPECT_EQ(world_calls.size(), 1u);
  menu_request = MENU_REQUEST_QUIT;
  step();
  EXPECT_TRUE(quit_requested);
  EXPECT_EQ(menu_request, MENU_REQUEST_NONE);
  quit_requested = false;
}

TEST_F(Modes, WorldStepRunsInOrder)
{
  static std::vector<std::string> order;
  order.clear();
  scene_links.land_step_update = [] { order.push_back("land"); };
  scene_links.update_common_fx = [](float) { order.push_back("fx"); };
  gameobj_module.update_gameobj = [](float) { order.push_back("objects"); };
  HeightmapData::target_hmap[0] = 10.f;
  world_step(0.05f);
  EXPECT_EQ(order, (std::vector<std::string>{"land", "fx", "objects"}));
  EXPECT_GT(HeightmapData::hmap[0], 0.f);  // the morph ran too
}

TEST_F(Modes, HelpTextFollowsTheMode)
{
  set_game_mode(dev_mode);
  EXPECT_NE(std::string(game_mode_help_text()).find("R: erode land\n"), std::string::npos);
  set_game_mode(play_mode);
  EXPECT_NE(std::string(game_mode_help_text()).find("Ctrl-N: mana cheat\n"), std::string::npos);
}
