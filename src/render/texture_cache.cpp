// The reference-counted cache of textures loaded from files, in load order.
#include <strings.h>

#include <cerrno>
#include <cstring>

#include "render/texture.h"
#include "render/texture_cache.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/file_read.h"

namespace
{
struct TextureCacheRec
{
  Texture *texture;
  int refs;
  char path[260];
};
DynArray<TextureCacheRec> cache;

int find_texture(const Texture *tex)
{
  for (int i = 0; i < cache.num; i++)
    if (cache[i].texture == tex)
      return i;
  return -1;
}
}  // namespace

Texture *get_texture(const char *name, bool required)
{
  TempString<260> path = make_full_path(name);
  if (!path.str[0])
  {
    debug("Error loading file '%s': %s", name, file_error_text(ENAMETOOLONG));
    if (required)
      fatal("Can't load texture from '%s'", name);
    return nullptr;
  }
  for (TextureCacheRec &r : cache)
    if (strcasecmp(r.path, path.str) == 0)
    {
      r.refs++;
      return r.texture;
    }
  char err[600];
  Texture *tex = try_load_dds_texture(path.str, err, sizeof(err));
  if (!tex)
  {
    if (required)
      fatal("Can't load texture from '%s'", path.str);
    return nullptr;
  }
  TextureCacheRec rec;
  rec.texture = tex;
  rec.refs = 1;
  strcpy(rec.path, path.str);
  cache.push_back(rec);
  return tex;
}

void free_texture(Texture *tex)
{
  int i = tex ? find_texture(tex) : -1;
  if (i < 0)
    return;
  if (--cache[i].refs > 0)
    return;
  release_texture(tex);
  cache.fastErase(i, 1);
}

void free_all_textures()
{
  for (TextureCacheRec &r : cache)
    release_texture(r.texture);
  cache.clear();
}

int texture_cache_refs(const Texture *tex)
{
  int i = find_texture(tex);
  return i < 0 ? 0 : cache[i].refs;
}

int texture_cache_size() { return cache.num; }
