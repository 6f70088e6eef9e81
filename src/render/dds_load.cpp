// Loading DDS files into managed textures, level after level.
#include <unistd.h>

#include <cstdio>

#include "render/dds.h"
#include "render/device.h"
#include "render/texture.h"
#include "render/texture_cache.h"
#include "support/debug.h"
#include "support/file_read.h"

bool load_file(const char *path, DynArray<uint8_t> &buffer, int *why)
{
  buffer.clear();
  int64_t size = 0;
  int err = 0;
  int fd = open_regular_file(path, 0x7FFFFFFF, size, err);
  bool ok = fd >= 0;
  if (ok)
  {
    buffer.resize(int(size));
    ok = read_exact(fd, buffer.data, size_t(size), err);
    close(fd);
  }
  if (!ok)
    buffer.clear();
  if (why)
    *why = ok ? 0 : err;
  return ok;
}

Texture *try_load_dds_texture(const char *path, char *err, int err_size)
{
  DynArray<uint8_t> file;
  int why = 0;
  if (!load_file(path, file, &why))
  {
    snprintf(err, size_t(err_size), "Error loading file '%s': %s", path, file_error_text(why));
    debug("%s", err);
    return nullptr;
  }
  DdsInfo info;
  if (!parse_dds(file.data, size_t(file.num), info))
  {
    snprintf(err, size_t(err_size), "Texture '%s' is not a DDS", path);
    debug("%s", err);
    return nullptr;
  }
  Texture *tex = create_texture(info.width, info.height, info.levels, 0, info.format,
                                D3DPOOL_MANAGED);
  if (!tex)
  {
    snprintf(err, size_t(err_size), "Error creating texture from '%s'", path);
    debug("%s", err);
    return nullptr;
  }
  RenderBackend &be = *get_render_backend();
  const uint8_t *src = file.data + DDS_HEADER_BYTES;
  for (uint32_t l = 0; l < info.levels; l++)
  {
    void *dst = nullptr;
    uint32_t pitch = 0;
    // The texture is new and every byte of the level is written: nothing to read back first.
    HRESULT32 hr = be.lockTexture(tex->tex, int(l), true, dst, pitch);
    if (hr != D3D_OK)
    {
      snprintf(err, size_t(err_size), "error loading texture '%s' (code 0x%08X)", path, hr);
      debug("%s", err);
      release_texture(tex);
      return nullptr;
    }
    dds_copy_level(info, l, src, static_cast<uint8_t *>(dst), pitch);
    be.unlockTexture(tex->tex, int(l));
    src += dds_level_bytes(info, l);
  }
  debug("loaded DDS texture '%s'", path);
  return tex;
}

Texture *load_dds_texture(const char *path)
{
  char err[600];
  Texture *tex = try_load_dds_texture(path, err, sizeof(err));
  if (!tex)
    fatal("%s", err);
  return tex;
}
