#pragma once
// One slot of the device layer's texture table, and the services over that table: creation and
// release, locking, sampler binding and state, and the reset hooks. Renderers hold pointers to
// slots; the slot stays in place across device resets while its backend texture is released and
// recreated.
#include <cstdint>

#include "render/backend.h"

struct Texture
{
  TextureHandle tex;  // the backend texture, none when released
  uint32_t width = 0, height = 0;  // requested size; both 0: the back buffer's size
  uint32_t levels = 0;
  uint32_t usage = 0;
  uint32_t format = 0;
  uint32_t pool = 0;  // D3DPOOL_DEFAULT (lost on reset) or D3DPOOL_MANAGED
  uint8_t used = 0;
};

constexpr int MAX_TEXTURES = 1000;

// The table itself (slot i), for the owners of the cache and the tests.
Texture *texture_slot(int i);

// Takes the first free slot and creates the texture; width and height 0 mean the back buffer's
// size (kept as 0 so that the texture follows every resize). Null when no slot is free or the
// device refuses (both logged).
Texture *create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                        uint32_t format, uint32_t pool);
// One level of A8R8G8B8 in the managed pool.
Texture *create_managed_texture(uint32_t width, uint32_t height);
// One level of A8R8G8B8, dynamic, in the default pool (lock with discard).
Texture *create_dynamic_texture(uint32_t width, uint32_t height);
// A render target with the format of `kind` (1..8, see get_render_target_format).
Texture *create_render_target(uint32_t width, uint32_t height, int kind);
// An A8R8G8B8 render target of the back buffer's size at any time.
Texture *create_screen_render_target();
// Releases the texture and frees its slot; null is ignored.
void release_texture(Texture *tex);

// Level 0 of the texture, for writing; `pitch` gets the row pitch. Null on failure (logged).
void *lock_texture(Texture *tex, int &pitch, bool discard);
void unlock_texture(Texture *tex);

void set_texture(int stage, Texture *tex);
// Minification, magnification and mip filters all linear, or all point.
void set_tex_filter(int stage, bool linear);
// Addressing per axis: 0 wrap, 2 border, other clamp; v < 0 takes u's mode, w < 0 takes v's.
void set_tex_address(int stage, int u, int v = -1, int w = -1);

// Reset hooks and shutdown (installed by install_resource_hooks).
void release_default_pool_textures();
void recreate_default_pool_textures();
void release_all_textures();
