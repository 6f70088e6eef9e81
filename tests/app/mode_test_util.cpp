#include "mode_test_util.h"

FakeInput fake_input;

const InputPlatform fake_input_hooks = {
  [](int vk) { return vk >= 0 && vk < 256 && fake_input.held[vk]; },
  [] { return 0; },
  [](bool) {},
  [](int x, int y) { fake_input.warps.emplace_back(x, y); },
  [](float &x, float &y) {
    x = fake_input.cx;
    y = fake_input.cy;
    return true;
  },
  [] { return fake_input.over; },
};

void ModeTest::SetUp()
{
  fake_input = FakeInput{};
  d3d_wd = 800, d3d_ht = 600;
  isAppActive = true;
  shouldHideMouse = false;
  show_fps = false;
  use_postfx = true;
  use_ppaa = false;
  land_shadow_quality = 2;
  clear_input_step();
  init_input(&fake_input_hooks);
  update_mouse_over();
  gameobj_module = GameObjModule{};
  scene_links = SceneLinks{};
  world_links = WorldLinks{};
  should_close_game_menu = false;
  cur_game_mode = nullptr;
  game_menu_mode_inst.returnMode = nullptr;
  set_camera_pos(v_zero());
  camYaw = camPitch = camRoll = prevCamRoll = 0;
  camZoom = prevCamZoom = 1;
  mouseCaptured = false;
  fwdTapTimer = backTapTimer = 0;
  dashDir = 0;
  moveSpeedH = prevMoveSpeedH = 0;
  cur_frame_color = prev_frame_color = v_zero();
  HeightmapData::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
    HeightmapData::target_hmap[i] = HeightmapData::hmap[i];
}

void ModeTest::TearDown()
{
  cur_game_mode = nullptr;
  gameobj_module = GameObjModule{};
  scene_links = SceneLinks{};
  world_links = WorldLinks{};
  clear_input_step();
  init_input(nullptr);
  isAppActive = false;
  shouldHideMouse = false;
  d3d_wd = d3d_ht = 0;
}

void ModeTest::hold(int vk, bool on)
{
  fake_input.held[vk] = on;
  post_input_event(vk < 8 ? (on ? INPUT_BUTTON_DOWN : INPUT_BUTTON_UP) : (on ? INPUT_KEY_DOWN : INPUT_KEY_UP),
                   vk, 0, 0, 0, 0);
}

void ModeTest::step(std::initializer_list<int> pressed)
{
  for (int vk : pressed)
  {
    post_input_event(INPUT_KEY_DOWN, vk, 0, 0, 0, 0);
    post_input_event(INPUT_KEY_UP, vk, 0, 0, 0, 0);
  }
  cur_game_mode->update(0.05f);
  clear_input_step();
}

void ModeTest::moveMouse(float x, float y)
{
  fake_input.cx = x, fake_input.cy = y;
  fake_input.over = true;
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, x, y);
  update_mouse_over();
}
