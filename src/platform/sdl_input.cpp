#include "platform/sdl_input.h"

#include <SDL2/SDL.h>

#include "platform/input_sink.h"
#include "platform/sdl_keymap.h"
#include "platform/sdl_platform.h"

InputSink input_sink;

namespace
{
// Held keys as of the event being handled (SDL's own keyboard state already reflects every
// event that was pumped, including later ones). Per scan code the virtual key its press was
// posted with, so a release matches its press even if Num Lock changed in between.
int scan_vk[SDL_NUM_SCANCODES];
int vk_held_count[256];
unsigned buttons_held;  // bits of the button codes 1, 2, 4
int key_char[SDL_NUM_SCANCODES];  // character of the key's last press, repeated on its release

void post_event(int kind, int code, int ch, int flags, float x, float y)
{
  if (input_sink.post_event)
    input_sink.post_event(kind, code, ch, flags, x, y);
}

bool key_held(int vk)
{
  if (vk == MOUSE_BUTTON_LEFT || vk == MOUSE_BUTTON_RIGHT || vk == MOUSE_BUTTON_MIDDLE)
    return (buttons_held & unsigned(vk)) != 0;
  return vk >= 0 && vk < 256 && vk_held_count[vk] > 0;
}

int lock_flags()
{
  SDL_Keymod m = SDL_GetModState();
  int f = 0;
  if (m & KMOD_CAPS)
    f |= INPUT_FLAG_CAPS_LOCK;
  if (m & KMOD_SCROLL)
    f |= INPUT_FLAG_SCROLL_LOCK;
  if (m & KMOD_NUM)
    f |= INPUT_FLAG_NUM_LOCK;
  return f;
}

void capture_mouse(bool on) { SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE); }

void warp_mouse(int x, int y)
{
  if (SDL_Window *w = platform_window())
    SDL_WarpMouseInWindow(w, x, y);
}

bool cursor_pos(float &x, float &y)
{
  SDL_Window *w = platform_window();
  if (!w)
    return false;
  int gx, gy, wx, wy;
  SDL_GetGlobalMouseState(&gx, &gy);
  SDL_GetWindowPosition(w, &wx, &wy);
  x = float(gx - wx);
  y = float(gy - wy);
  return true;
}

bool cursor_over_window()
{
  SDL_Window *w = platform_window();
  if (!w || SDL_GetMouseFocus() != w)
    return false;
  int x, y, cw, ch;
  SDL_GetMouseState(&x, &y);
  SDL_GetWindowSize(w, &cw, &ch);
  return x >= 0 && y >= 0 && x < cw && y < ch;
}

const InputPlatform sdl_platform_hooks = {key_held, lock_flags, capture_mouse, warp_mouse, cursor_pos,
                                          cursor_over_window};

// First code point of a UTF-8 text; 0 for an empty or malformed one.
int first_code_point(const char *s)
{
  const unsigned char *p = reinterpret_cast<const unsigned char *>(s);
  if (p[0] < 0x80)
    return p[0];
  int extra = p[0] >= 0xF0 ? 3 : p[0] >= 0xE0 ? 2 : p[0] >= 0xC0 ? 1 : -1;
  if (extra < 0 || p[0] >= 0xF8)
    return 0;
  int cp = p[0] & (0x3F >> extra);
  for (int i = 1; i <= extra; i++)
  {
    if ((p[i] & 0xC0) != 0x80)
      return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  return cp;
}

// The character of a key press: the text SDL produced for it (queued right behind the key
// event), else the control characters a keyboard produces without text: Backspace, Tab, Enter,
// Escape and Ctrl with a letter.
int press_char(int vk, SDL_Keymod mod)
{
  SDL_Event next;
  if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 && next.type == SDL_TEXTINPUT)
  {
    SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
    return first_code_point(next.text.text);
  }
  if (vk == 8 || vk == 9 || vk == VK_RETURN || vk == 27)
    return vk;
  if ((mod & KMOD_CTRL) && !(mod & KMOD_ALT) && vk >= 'A' && vk <= 'Z')
    return vk - 'A' + 1;
  return 0;
}

SdlInputResult key_event(const SDL_KeyboardEvent &k)
{
  SDL_Scancode sc = k.keysym.scancode;
  if (sc < 0 || sc >= SDL_NUM_SCANCODES)
    return SdlInputResult::Taken;
  SDL_Keymod mod = SDL_Keymod(k.keysym.mod);
  bool down = k.type == SDL_KEYDOWN;

  if (!down)
  {
    int vk = scan_vk[sc];
    if (!vk)
      vk = sdl_key_to_vk(k.keysym.sym, sc, (mod & KMOD_NUM) != 0);
    else
      vk_held_count[vk]--;
    scan_vk[sc] = 0;
    if (vk)
      post_event(INPUT_KEY_UP, vk, key_char[sc], 0, 0, 0);
    return SdlInputResult::Taken;
  }

  int vk = scan_vk[sc];
  if (!vk)
  {
    vk = sdl_key_to_vk(k.keysym.sym, sc, (mod & KMOD_NUM) != 0);
    if (!vk)
      return SdlInputResult::Taken;
    scan_vk[sc] = vk;
    vk_held_count[vk]++;
  }
  bool repeat = k.repeat != 0;
  if (mod & KMOD_ALT)
  {
    if (vk == VK_F4)
      return SdlInputResult::CloseRequest;
    if (vk == VK_RETURN)
      return repeat ? SdlInputResult::Taken : SdlInputResult::ToggleFullscreen;
  }
  int ch = press_char(vk, mod);
  key_char[sc] = ch;
  post_event(INPUT_KEY_DOWN, vk, ch, repeat ? INPUT_FLAG_REPEAT : 0, 0, 0);
  return SdlInputResult::Taken;
}

int button_code(Uint8 b)
{
  switch (b)
  {
    case SDL_BUTTON_LEFT: return MOUSE_BUTTON_LEFT;
    case SDL_BUTTON_RIGHT: return MOUSE_BUTTON_RIGHT;
    case SDL_BUTTON_MIDDLE: return MOUSE_BUTTON_MIDDLE;
    default: return 0;
  }
}
}  // namespace

SdlInputResult sdl_input_handle_event(const SDL_Event &ev)
{
  switch (ev.type)
  {
    case SDL_KEYDOWN:
    case SDL_KEYUP: return key_event(ev.key);
    case SDL_TEXTINPUT:
    case SDL_TEXTEDITING:
      // Text that follows a key press is read with the press; text from an input method
      // without a key press has no key to carry it.
      return SdlInputResult::Taken;
    case SDL_MOUSEMOTION:
      post_event(INPUT_MOUSE_MOVE, 0, 0, 0, float(ev.motion.x), float(ev.motion.y));
      return SdlInputResult::Taken;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    {
      int code = button_code(ev.button.button);
      if (!code)
        return SdlInputResult::Taken;
      bool down = ev.type == SDL_MOUSEBUTTONDOWN;
      if (down)
        buttons_held |= unsigned(code);
      else
        buttons_held &= ~unsigned(code);
      int flags = down && ev.button.clicks >= 2 ? INPUT_FLAG_REPEAT : 0;
      post_event(down ? INPUT_BUTTON_DOWN : INPUT_BUTTON_UP, code, 0, flags, float(ev.button.x),
                 float(ev.button.y));
      return SdlInputResult::Taken;
    }
    case SDL_MOUSEWHEEL:
    {
      int notches = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.wheel.y : ev.wheel.y;
      if (notches == 0)  // horizontal scrolling
        return SdlInputResult::Taken;
      int x, y;
      SDL_GetMouseState(&x, &y);
      post_event(INPUT_WHEEL, notches, 0, 0, float(x), float(y));
      return SdlInputResult::Taken;
    }
    default: return SdlInputResult::NotInput;
  }
}

const InputPlatform *sdl_input_platform() { return &sdl_platform_hooks; }
