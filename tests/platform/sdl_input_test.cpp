#include "platform/sdl_input.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/input.h"
#include "render/device.h"

namespace
{
// The event subsystem alone: no display is needed.
class SdlInput : public ::testing::Test
{
protected:
  void SetUp() override
  {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    d3d_wd = 800, d3d_ht = 600;
    init_input(sdl_input_platform());
    clear_input_step();
  }
  void TearDown() override
  {
    clear_input_step();
    init_input(nullptr);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
  }

  static SdlInputResult key(bool down, SDL_Keycode sym, SDL_Scancode sc, Uint16 mod = 0, bool repeat = false,
                            const char *text = nullptr)
  {
    if (text)
    {
      SDL_Event t{};
      t.type = SDL_TEXTINPUT;
      strcpy(t.text.text, text);
      SDL_PushEvent(&t);
    }
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = sc;
    e.key.keysym.mod = mod;
    return sdl_input_handle_event(e);
  }

  static std::vector<InputEvent> drain()
  {
    std::vector<InputEvent> v;
    InputEvent e;
    while (getEvent(&e))
      v.push_back(e);
    return v;
  }
};
}  // namespace

TEST_F(SdlInput, KeysCarryTheirTextAndHeldModifiers)
{
  key(true, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT);
  key(true, SDLK_a, SDL_SCANCODE_A, KMOD_LSHIFT, false, "A");
  key(true, SDLK_a, SDL_SCANCODE_A, KMOD_LSHIFT, true, "A");
  key(false, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT);
  key(false, SDLK_a, SDL_SCANCODE_A);
  key(true, SDLK_e, SDL_SCANCODE_E, 0, false, "\xC3\xA9");  // é
  std::vector<InputEvent> ev = drain();
  ASSERT_EQ(ev.size(), 6u);
  EXPECT_EQ(ev[0].key, 16);
  EXPECT_EQ(ev[0].flags & INPUT_FLAG_SHIFT, INPUT_FLAG_SHIFT);  // the key's own state counts
  EXPECT_EQ(ev[1].key, 'A');
  EXPECT_EQ(ev[1].ch, 'A');
  EXPECT_EQ(ev[1].flags & (INPUT_FLAG_SHIFT | INPUT_FLAG_REPEAT), INPUT_FLAG_SHIFT);
  EXPECT_EQ(ev[2].flags & INPUT_FLAG_REPEAT, INPUT_FLAG_REPEAT);
  EXPECT_EQ(ev[3].kind, INPUT_KEY_UP);
  EXPECT_EQ(ev[3].flags & INPUT_FLAG_SHIFT, 0);
  EXPECT_EQ(ev[4].kind, INPUT_KEY_UP);
  EXPECT_EQ(ev[4].ch, 'A');  // a release repeats its press's character
  EXPECT_EQ(ev[5].ch, 0xE9);
  EXPECT_TRUE(keyDown('A'));
  EXPECT_TRUE(keyUp('A'));
  EXPECT_FALSE(getKeyState('A'));
  EXPECT_TRUE(getKeyState('E'));
  key(false, SDLK_e, SDL_SCANCODE_E);
}

TEST_F(SdlInput, ControlCharactersWithoutText)
{
  key(true, SDLK_RETURN, SDL_SCANCODE_RETURN);
  key(true, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
  key(true, SDLK_c, SDL_SCANCODE_C, KMOD_LCTRL);
  key(true, SDLK_F5, SDL_SCANCODE_F5);
  std::vector<InputEvent> ev = drain();
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_EQ(ev[0].ch, 13);
  EXPECT_EQ(ev[1].ch, 27);
  EXPECT_EQ(ev[2].ch, 3);
  EXPECT_EQ(ev[3].ch, 0);
  for (SDL_Scancode sc : {SDL_SCANCODE_RETURN, SDL_SCANCODE_ESCAPE, SDL_SCANCODE_C, SDL_SCANCODE_F5})
    key(false, SDL_GetKeyFromScancode(sc), sc);
}

TEST_F(SdlInput, AltEnterAndAltF4GoToTheWindow)
{
  EXPECT_EQ(key(true, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT), SdlInputResult::ToggleFullscreen);
  EXPECT_EQ(key(true, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT, true), SdlInputResult::Taken);
  EXPECT_EQ(key(false, SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT), SdlInputResult::Taken);
  EXPECT_EQ(key(true, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT), SdlInputResult::CloseRequest);
  key(false, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT);
  std::vector<InputEvent> ev = drain();
  ASSERT_EQ(ev.size(), 2u);  // only the releases are posted
  EXPECT_EQ(ev[0].kind, INPUT_KEY_UP);
  EXPECT_EQ(ev[0].key, 13);
  EXPECT_EQ(ev[1].key, 115);
  EXPECT_FALSE(getKeyState(13));
}

TEST_F(SdlInput, MouseButtonsDoubleClicksAndTheWheel)
{
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_RIGHT;
  e.button.clicks = 2;
  e.button.x = 30;
  e.button.y = 40;
  sdl_input_handle_event(e);
  e.type = SDL_MOUSEBUTTONUP;
  sdl_input_handle_event(e);
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_X1;  // no button code: dropped
  sdl_input_handle_event(e);
  e = {};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = 2;
  e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  sdl_input_handle_event(e);
  e.wheel.y = 0;
  e.wheel.x = 3;  // horizontal: not a wheel event here
  sdl_input_handle_event(e);
  std::vector<InputEvent> ev = drain();
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].kind, INPUT_BUTTON_DOWN);
  EXPECT_EQ(ev[0].key, MOUSE_BUTTON_RIGHT);
  EXPECT_EQ(ev[0].flags & (INPUT_FLAG_REPEAT | INPUT_FLAG_RBUTTON), INPUT_FLAG_REPEAT | INPUT_FLAG_RBUTTON);
  EXPECT_EQ(ev[1].kind, INPUT_BUTTON_UP);
  EXPECT_EQ(ev[1].flags & INPUT_FLAG_RBUTTON, 0);
  EXPECT_EQ(ev[2].wheel, -2);
  EXPECT_EQ(getMouseWheel(), -2);

  SDL_Event other{};
  other.type = SDL_WINDOWEVENT;
  EXPECT_EQ(sdl_input_handle_event(other), SdlInputResult::NotInput);
}
