#include "platform/sdl_keymap.h"

#include <gtest/gtest.h>

#include <set>

#include "app/input.h"

TEST(SdlKeymap, EveryNamedKeyIsReachableAndRowsAreUnique)
{
  std::set<int> reachable;
  std::set<SDL_Keycode> keys;
  std::set<int> scans;
  for (int i = 0; i < sdl_key_row_count; i++)
  {
    const SdlKeyRow &r = sdl_key_rows[i];
    EXPECT_TRUE(keys.insert(r.key).second) << "duplicate key row " << i;
    EXPECT_TRUE(scans.insert(r.scan).second) << "duplicate scan row " << i;
    EXPECT_GT(r.vk, 0);
    EXPECT_LT(r.vk, 256);
    reachable.insert(r.vk);
    reachable.insert(r.vk_without_numlock);
  }
  // Every key with a display name, bar the mouse buttons, is produced by some key.
  for (int vk = 5; vk < 256; vk++)
  {
    if (getKeyName(vk)[0] != '?')
    {
      EXPECT_TRUE(reachable.count(vk)) << vk << " " << getKeyName(vk);
    }
  }
}

TEST(SdlKeymap, TranslatesByLayoutThenByPosition)
{
  EXPECT_EQ(sdl_key_to_vk(SDLK_w, SDL_SCANCODE_W, true), 87);
  EXPECT_EQ(sdl_key_to_vk(SDLK_F1, SDL_SCANCODE_F1, true), 112);
  EXPECT_EQ(sdl_key_to_vk(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, true), 16);
  EXPECT_EQ(sdl_key_to_vk(SDLK_RCTRL, SDL_SCANCODE_RCTRL, true), 17);
  EXPECT_EQ(sdl_key_to_vk(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, true), 13);
  EXPECT_EQ(sdl_key_to_vk(SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE, true), 192);
  // An AZERTY layout: the key in the Q position types 'a' and is the A key.
  EXPECT_EQ(sdl_key_to_vk(SDLK_a, SDL_SCANCODE_Q, true), 65);
  // A key whose character has no row falls back to its position ('2' under 'é').
  EXPECT_EQ(sdl_key_to_vk(0xE9, SDL_SCANCODE_2, true), 50);
  // The keypad follows Num Lock.
  EXPECT_EQ(sdl_key_to_vk(SDLK_KP_7, SDL_SCANCODE_KP_7, true), 103);
  EXPECT_EQ(sdl_key_to_vk(SDLK_KP_7, SDL_SCANCODE_KP_7, false), 36);
  EXPECT_EQ(sdl_key_to_vk(SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, false), 46);
  EXPECT_EQ(sdl_key_to_vk(SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, false), 107);
  EXPECT_EQ(sdl_key_to_vk(SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP, true), 0);
}
