#include "platform/settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/file_read.h"

static const char settings_subdir[] = "Obrelwick Games/Quenmoor";
static const char settings_name[] = "settings.ini";

static bool settings_dir(char *buf, int size)
{
  int n;
  const char *over = getenv("QUENMOOR_CONFIG_DIR");
  const char *xdg = getenv("XDG_CONFIG_HOME");
  if (over && *over)
    n = snprintf(buf, size_t(size), "%s", over);
  else if (xdg && xdg[0] == '/')
    n = snprintf(buf, size_t(size), "%s/%s", xdg, settings_subdir);
  else
  {
    const char *home = getenv("HOME");
    if (!home || !*home)
    {
      const passwd *pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !*home)
      return false;
    n = snprintf(buf, size_t(size), "%s/.config/%s", home, settings_subdir);
  }
  return n > 0 && n < size;
}

bool settings_file_path(char *buf, int size)
{
  char dir[1024];
  if (!settings_dir(dir, sizeof(dir)))
    return false;
  int n = snprintf(buf, size_t(size), "%s/%s", dir, settings_name);
  return n > 0 && n < size;
}

SettingsRead read_settings_file(DynArray<char> &text)
{
  text.clear();
  char path[1100];
  if (!settings_file_path(path, sizeof(path)))
    return SettingsRead::Missing;
  std::string bytes;
  int err = 0;
  if (!read_file(path, SETTINGS_FILE_MAX, bytes, err))
    return err == ENOENT || err == ENOTDIR ? SettingsRead::Missing : SettingsRead::Unreadable;
  text.append(int(bytes.size()), bytes.data());
  return SettingsRead::Ok;
}

// mkdir -p
static bool make_dirs(const char *dir)
{
  char p[1024];
  int n = snprintf(p, sizeof(p), "%s", dir);
  if (n <= 0 || n >= int(sizeof(p)))
    return false;
  for (char *s = p + 1; *s; s++)
    if (*s == '/')
    {
      *s = 0;
      if (mkdir(p, 0777) != 0 && errno != EEXIST)
        return false;
      *s = '/';
    }
  return mkdir(p, 0777) == 0 || errno == EEXIST;
}

SettingsWriteLock::SettingsWriteLock()
{
  char dir[1024];
  if (!settings_dir(dir, sizeof(dir)) || !make_dirs(dir))
    return;
  dirFd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0)
    return;
  // A file system without locks still gets atomic replacement, only no serialisation.
  while (flock(dirFd, LOCK_EX) != 0 && errno == EINTR)
  {
  }
  ok = true;
}

SettingsWriteLock::~SettingsWriteLock()
{
  if (dirFd >= 0)
    close(dirFd);  // releases the lock
}

static bool write_all(int fd, const char *p, int len)
{
  while (len > 0)
  {
    ssize_t n = write(fd, p, size_t(len));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    p += n;
    len -= int(n);
  }
  return true;
}

bool write_settings_file(const char *text, int len)
{
  char dir[1024], path[1100], tmp[1200];
  // A file the next read would refuse would lose every setting.
  if (len < 0 || len > SETTINGS_FILE_MAX || !settings_dir(dir, sizeof(dir)))
    return false;
  snprintf(path, sizeof(path), "%s/%s", dir, settings_name);
  int n = snprintf(tmp, sizeof(tmp), "%s/%s.%d.tmp", dir, settings_name, int(getpid()));
  if (n <= 0 || n >= int(sizeof(tmp)))
    return false;

  // Non-blocking and regular files only: a FIFO left at the temporary name must not block.
  int fd = open(tmp, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0)
    return false;
  struct stat st, old;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
  {
    close(fd);
    return false;
  }
  if (stat(path, &old) == 0)
    fchmod(fd, old.st_mode & 07777);
  bool ok = write_all(fd, text, len) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok)
    ok = rename(tmp, path) == 0;
  if (!ok)
  {
    unlink(tmp);
    return false;
  }
  // Make the rename itself durable.
  int dfd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0)
  {
    fsync(dfd);
    close(dfd);
  }
  return true;
}
