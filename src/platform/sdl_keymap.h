#pragma once
// SDL key codes to Windows virtual-key numbers, the numbering InputEvent, keyDown, getKeyName,
// the game modes and the game object module use.
#include <SDL2/SDL_keycode.h>

struct SdlKeyRow
{
  SDL_Keycode key;      // the layout's key (letters, digits and punctuation follow the layout)
  SDL_Scancode scan;    // the key's position, used when the layout gives a key with no row
  int vk;               // virtual key
  int vk_without_numlock;  // keypad keys with Num Lock off act as the navigation keys; else vk
};

// The one table; rows are unique by key and by scan code.
extern const SdlKeyRow sdl_key_rows[];
extern const int sdl_key_row_count;

// The virtual key of an SDL key: by the layout's key code first, then by the key's position.
// 0 when the key has no virtual key.
int sdl_key_to_vk(SDL_Keycode key, SDL_Scancode scan, bool num_lock);
