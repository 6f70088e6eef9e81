#pragma once
// A fake input platform and a fixture that puts the camera, the modes, the module interface and
// the world links back to their start state around each test.
#include <gtest/gtest.h>

#include <vector>

#include "app/app_globals.h"
#include "app/camera.h"
#include "app/game_modes.h"
#include "app/input.h"
#include "app/scene_links.h"
#include "app/world_links.h"
#include "gameobj_host/gameobj_module.h"
#include "render/device.h"
#include "terrain/hmap_data.h"

struct FakeInput
{
  bool held[256] = {};
  bool over = false;
  float cx = 0, cy = 0;
  std::vector<std::pair<int, int>> warps;
};
extern FakeInput fake_input;
extern const InputPlatform fake_input_hooks;

class ModeTest : public ::testing::Test
{
protected:
  void SetUp() override;
  void TearDown() override;

  // One fixed step of the current mode with keys pressed in this step (held keys stay in
  // fake_input.held); the per-step input is cleared afterwards as the main loop does.
  static void step(std::initializer_list<int> pressed = {});
  // Holds or releases a key (posting the transition).
  static void hold(int vk, bool on);
  // Moves the mouse to (x, y) inside the window.
  static void moveMouse(float x, float y);
};
