#include "platform/gpu_load.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/debug.h"

static int busy_fd = -1;

// The percentage in the file (sysfs regenerates it at every read from offset 0), or -1.
static int read_percent(int fd)
{
  char buf[16];
  ssize_t n = pread(fd, buf, sizeof(buf) - 1, 0);
  if (n <= 0)
    return -1;
  buf[n] = 0;
  char *end = nullptr;
  long v = strtol(buf, &end, 10);
  if (end == buf || (*end && *end != '\n') || v < 0 || v > 100)
    return -1;
  return int(v);
}

bool start_gpu_load_sampling(const char *drm_dir)
{
  stop_gpu_load_sampling();
  for (int card = 0; card < 16; card++)
  {
    char path[512];
    snprintf(path, sizeof(path), "%s/card%d/device/gpu_busy_percent", drm_dir, card);
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
      continue;
    if (read_percent(fd) >= 0)
    {
      busy_fd = fd;
      debug("GPU load from %s", path);
      return true;
    }
    close(fd);
  }
  debug("no GPU load: no DRM device under %s offers gpu_busy_percent", drm_dir);
  return false;
}

int sample_gpu_load() { return busy_fd < 0 ? -1 : read_percent(busy_fd); }

void stop_gpu_load_sampling()
{
  if (busy_fd >= 0)
    close(busy_fd);
  busy_fd = -1;
}
