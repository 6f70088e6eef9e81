#include "app/output_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

bool prepare_output_dir(const char *dir, char *why, size_t why_size)
{
  char path[4096];
  if (!*dir || snprintf(path, sizeof(path), "%s", dir) >= int(sizeof(path)))
  {
    snprintf(why, why_size, "can't use '%s' as the output directory: %s", dir, strerror(*dir ? ENAMETOOLONG : ENOENT));
    return false;
  }
  // Each parent in turn, then the folder itself; one that exists must be a directory.
  for (char *p = path + 1;; p++)
  {
    if (*p != '/' && *p)
      continue;
    const char end = *p;
    *p = 0;
    struct stat st;
    if (mkdir(path, 0755) != 0 && !(errno == EEXIST && stat(path, &st) == 0 && S_ISDIR(st.st_mode)))
    {
      snprintf(why, why_size, "can't create the directory '%s': %s", path, strerror(errno == EEXIST ? ENOTDIR : errno));
      return false;
    }
    *p = end;
    if (!end)
      break;
  }

  char probe[4200];
  snprintf(probe, sizeof(probe), "%s/.quenmoor-write-check-%d", dir, int(getpid()));
  int fd = open(probe, O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0)
  {
    snprintf(why, why_size, "can't write into the output directory '%s': %s", dir, strerror(errno));
    return false;
  }
  close(fd);
  unlink(probe);
  return true;
}
