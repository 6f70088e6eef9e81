// The texture table: 1000 fixed slots found by a linear scan, so that pointers to slots stay valid
// across device resets, when default-pool textures are released and recreated in place.
#include "render/device.h"
#include "render/texture.h"
#include "render/texture_cache.h"
#include "support/debug.h"

static Texture textures[MAX_TEXTURES];

static RenderBackend &be() { return *get_render_backend(); }

Texture *texture_slot(int i) { return i >= 0 && i < MAX_TEXTURES ? &textures[i] : nullptr; }

// Creates the backend texture of a slot from its recorded parameters.
static HRESULT32 create_device_texture(Texture &t)
{
  int w = t.width || t.height ? int(t.width) : d3d_wd;
  int h = t.width || t.height ? int(t.height) : d3d_ht;
  return be().createTexture(w, h, int(t.levels), t.usage, t.format, t.pool, t.tex);
}

Texture *create_texture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                        uint32_t format, uint32_t pool)
{
  Texture *t = nullptr;
  for (Texture &s : textures)
    if (!s.used)
    {
      t = &s;
      break;
    }
  if (!t)
  {
    debug("reached MAX_TEXTURES");
    return nullptr;
  }
  *t = Texture();
  t->width = width;
  t->height = height;
  t->levels = levels;
  t->usage = usage;
  t->format = format;
  t->pool = pool;
  HRESULT32 hr = get_render_backend() && d3d_state.device ? create_device_texture(*t) : D3DERR_INVALIDCALL;
  if (hr != D3D_OK)
  {
    debug("error creating texture (code 0x%08X)", hr);
    *t = Texture();
    return nullptr;
  }
  t->used = 1;
  return t;
}

Texture *create_managed_texture(uint32_t width, uint32_t height)
{
  return create_texture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
}

Texture *create_dynamic_texture(uint32_t width, uint32_t height)
{
  return create_texture(width, height, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT);
}

Texture *create_render_target(uint32_t width, uint32_t height, int kind)
{
  return create_texture(width, height, 1, D3DUSAGE_RENDERTARGET, get_render_target_format(kind),
                        D3DPOOL_DEFAULT);
}

Texture *create_screen_render_target() { return create_render_target(0, 0, 1); }

void release_texture(Texture *tex)
{
  if (!tex)
    return;
  if (tex->tex)
    be().releaseTexture(tex->tex);
  *tex = Texture();
}

void *lock_texture(Texture *tex, int &pitch, bool discard)
{
  pitch = 0;
  if (!tex || !tex->tex)
    return nullptr;
  void *data = nullptr;
  uint32_t p = 0;
  HRESULT32 hr = be().lockTexture(tex->tex, 0, discard, data, p);
  if (hr != D3D_OK)
  {
    debug("error locking texture (code 0x%08X)", hr);
    return nullptr;
  }
  pitch = int(p);
  return data;
}

void unlock_texture(Texture *tex)
{
  if (tex && tex->tex)
    be().unlockTexture(tex->tex, 0);
}

void set_texture(int stage, Texture *tex)
{
  be().setTexture(stage, tex ? tex->tex : TextureHandle{});
}

void set_tex_filter(int stage, bool linear)
{
  uint32_t f = linear ? D3DTEXF_LINEAR : D3DTEXF_POINT;
  be().setSamplerState(stage, D3DSAMP_MINFILTER, f);
  be().setSamplerState(stage, D3DSAMP_MAGFILTER, f);
  be().setSamplerState(stage, D3DSAMP_MIPFILTER, f);
}

static uint32_t address_mode(int m)
{
  return m == 0 ? D3DTADDRESS_WRAP : m == 2 ? D3DTADDRESS_BORDER : D3DTADDRESS_CLAMP;
}

void set_tex_address(int stage, int u, int v, int w)
{
  if (v < 0)
    v = u;
  if (w < 0)
    w = v;
  be().setSamplerState(stage, D3DSAMP_ADDRESSU, address_mode(u));
  be().setSamplerState(stage, D3DSAMP_ADDRESSV, address_mode(v));
  be().setSamplerState(stage, D3DSAMP_ADDRESSW, address_mode(w));
}

void release_default_pool_textures()
{
  for (Texture &t : textures)
    if (t.used && t.pool == D3DPOOL_DEFAULT && t.tex)
    {
      be().releaseTexture(t.tex);
      t.tex = {};
    }
}

void recreate_default_pool_textures()
{
  for (Texture &t : textures)
    if (t.used && t.pool == D3DPOOL_DEFAULT && !t.tex)
    {
      HRESULT32 hr = create_device_texture(t);
      if (hr != D3D_OK)
      {
        t.tex = {};
        debug("error recreating texture (code 0x%08X)", hr);
      }
    }
}

void release_all_textures()
{
  // The cache only points into the table: empty it with the slots.
  free_all_textures();
  for (Texture &t : textures)
    if (t.used)
      release_texture(&t);
}
