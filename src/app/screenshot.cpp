#include "app/screenshot.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/timer.h"
#include "render/device.h"
#include "support/debug.h"
#include "support/dyn_array.h"
#include "support/file_path.h"
#include "support/png_write.h"

static bool screenshot_requested = false;

void request_screenshot() { screenshot_requested = true; }

void screenshot_name(const struct tm *t, char *out, int size)
{
  if (!t)
  {
    snprintf(out, size_t(size), "shots/shot.png");
    return;
  }
  snprintf(out, size_t(size), "shots/shot%4u_%02u_%02u_%02u_%02u_%02u.png", unsigned(t->tm_year + 1900),
           unsigned(t->tm_mon + 1), unsigned(t->tm_mday), unsigned(t->tm_hour), unsigned(t->tm_min),
           unsigned(t->tm_sec));
}

void take_requested_screenshot()
{
  if (!screenshot_requested)
    return;
  screenshot_requested = false;
  time_t now = time(nullptr);
  struct tm local;
  char name[64];
  screenshot_name(localtime_r(&now, &local), name, sizeof(name));
  // A missing shots/ is made; anything else in its way makes the save fail and say why.
  mkdir(make_full_path("shots"), 0777);
  save_screenshot(make_full_path(name));
}

bool save_screenshot(const char *path)
{
  debug("screenshot...");
  const int64_t start = get_ref_time();
  RenderBackend *be = get_render_backend();
  const int w = d3d_wd, h = d3d_ht;
  DynArray<uint32_t> argb;
  if (!be || !d3d_state.device || w <= 0 || h <= 0)
  {
    debug("failed to save screenshot to '%s': no frame to capture", path);
    return false;
  }
  argb.resize(w * h);
  restore_back_buffer();
  if (!be->readPixels(0, 0, w, h, argb.data))
  {
    debug("failed to save screenshot to '%s': the frame could not be read", path);
    return false;
  }
  DynArray<uint8_t> rgba;
  rgba.resize(w * h * 4);
  for (int i = 0; i < w * h; i++)
  {
    const uint32_t p = argb[i];
    uint8_t *o = rgba.data + size_t(i) * 4;
    o[0] = uint8_t(p >> 16), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p), o[3] = 255;
  }
  if (!write_png_rgba8(path, w, h, rgba.data))
  {
    debug("failed to save screenshot to '%s': %s", path, strerror(errno));
    return false;
  }
  debug("screenshot captured to '%s' in %d ms", path, get_time_msec(get_ref_time() - start));
  return true;
}
