#pragma once
// Textures loaded from DDS files, shared through a reference-counted cache keyed by the file's
// full path (compared case-insensitively).
#include <cstdint>

#include "support/dyn_array.h"
#include "support/export.h"

struct Texture;

// The texture of the file `name` (resolved by make_full_path), loaded on first use; one more
// reference each call. When it cannot be loaded: fatal "Can't load texture from '%s'" when
// `required`, otherwise null.
QM_EXPORT Texture *get_texture(const char *name, bool required = true);
// Drops one reference taken by get_texture; the last one releases the texture. Unknown textures
// (including null) are ignored.
QM_EXPORT void free_texture(Texture *tex);
// Releases every cached texture whatever its count and empties the cache.
QM_EXPORT void free_all_textures();
// Number of references the cache holds on `tex` (0 when it is not cached).
int texture_cache_refs(const Texture *tex);
int texture_cache_size();

// Loads a DDS file into a new managed texture, outside the cache. Any failure is fatal.
Texture *load_dds_texture(const char *path);
// The same without fatal: null, with the reason in `err` (logged too).
Texture *try_load_dds_texture(const char *path, char *err, int err_size);
// Reads a whole regular file (read_file rules); false when it cannot be opened or read
// completely, with the reason (a file_read.h code) in `why` when given.
bool load_file(const char *path, DynArray<uint8_t> &buffer, int *why = nullptr);
