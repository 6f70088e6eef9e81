// Whatever a settings file holds, reading it never crashes, reads stay within their buffers, and
// a write keeps every other readable value as it was and stores its own.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/settings.h"
#include "platform/settings_file.h"

static char dir[] = "/tmp/qm_settings_fuzz_XXXXXX";

static void remove_dir()
{
  char path[256];
  snprintf(path, sizeof(path), "%s/settings.ini", dir);
  unlink(path);
  rmdir(dir);
}

static const char *config_dir()
{
  static bool made = false;
  if (!made)
  {
    if (!mkdtemp(dir))
      abort();
    setenv("QUENMOOR_CONFIG_DIR", dir, 1);
    atexit(remove_dir);
    made = true;
  }
  return dir;
}

struct Snapshot
{
  bool has_int[3], has_str[3];
  int ival[3];
  char sval[3][16];
};

static const char *const names[3] = {"flags", "gfx_quality", "a"};

static Snapshot snap()
{
  Snapshot s;
  for (int i = 0; i < 3; i++)
  {
    s.ival[i] = 0;
    s.has_int[i] = get_config_int(names[i], s.ival[i]);
    memset(s.sval[i], 0, sizeof(s.sval[i]));
    s.sval[i][15] = 'G';  // guard: a read of at most 15 bytes never touches it
    s.has_str[i] = get_config_str(names[i], s.sval[i], 15);
    if (s.sval[i][15] != 'G' || (s.has_int[i] && s.has_str[i]))
      abort();
  }
  return s;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  // The file and the stored copy of it (escaped: up to 4 bytes a byte) must stay under the size
  // limit, past which a write is refused on purpose.
  if (size > SETTINGS_FILE_MAX / 8)
    return 0;
  char path[256];
  snprintf(path, sizeof(path), "%s/settings.ini", config_dir());
  FILE *f = fopen(path, "wb");
  if (!f)
    abort();
  fwrite(data, 1, size, f);
  fclose(f);

  Snapshot before = snap();
  if (!set_config_str("fuzz_key", reinterpret_cast<const char *>(data), int(size)))
    abort();
  Snapshot after = snap();
  for (int i = 0; i < 3; i++)
    if (before.has_int[i] != after.has_int[i] || before.has_str[i] != after.has_str[i] ||
        before.ival[i] != after.ival[i] || memcmp(before.sval[i], after.sval[i], 16) != 0)
      abort();
  char back[4096] = {};
  size_t len = strnlen(reinterpret_cast<const char *>(data), size);
  if (len < sizeof(back) && (!get_config_str("FUZZ_KEY", back, sizeof(back)) || memcmp(back, data, len) != 0))
    abort();
  return 0;
}
