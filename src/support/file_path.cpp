#include "support/file_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

char app_path[260] = "";

bool get_exe_filename(char *buf, int size)
{
  if (size <= 0)
    return false;
  ssize_t n = readlink("/proc/self/exe", buf, size_t(size));
  if (n <= 0 || n >= size)
  {
    buf[0] = 0;
    return false;
  }
  buf[n] = 0;
  return true;
}

bool get_exe_path(char *buf, int size)
{
  if (!get_exe_filename(buf, size))
    return false;
  char *cut = strrchr(buf, '/');
  if (cut)
    cut[1] = 0;
  else
    buf[0] = 0;
  return true;
}

void init_app_path()
{
  if (!get_exe_path(app_path, sizeof(app_path)))
    app_path[0] = 0;
}

// Folds "." and ".." parts and repeated separators of an absolute path in place (".." at the
// root stays at the root). False when the result would not fit.
static bool normalize_path(char *p)
{
  char out[260];
  int len = 0;
  const char *s = p;
  while (*s)
  {
    while (*s == '/')
      s++;
    const char *e = s;
    while (*e && *e != '/')
      e++;
    int n = int(e - s);
    if (n == 0)
      break;
    if (n == 1 && s[0] == '.')
      ;
    else if (n == 2 && s[0] == '.' && s[1] == '.')
    {
      while (len > 0 && out[len - 1] != '/')
        len--;
      if (len > 0)
        len--;  // the separator before the dropped part
    }
    else
    {
      if (len + 1 + n >= int(sizeof(out)))
        return false;
      out[len++] = '/';
      memcpy(out + len, s, size_t(n));
      len += n;
    }
    s = e;
  }
  // Keep a trailing separator: directory names such as app_path end with one.
  size_t plen = strlen(p);
  bool trailing = plen > 0 && p[plen - 1] == '/';
  if (len == 0 || trailing)
  {
    if (len + 1 >= int(sizeof(out)))
      return false;
    out[len++] = '/';
  }
  out[len] = 0;
  memcpy(p, out, size_t(len) + 1);
  return true;
}

TempString<260> make_full_path(const char *name)
{
  if (!name)
    return TempString<260>(app_path);
  TempString<260> full;
  const char *base = name[0] == '/' || name[0] == '\\' ? "" : app_path;
  size_t bl = strlen(base), nl = strlen(name);
  if (bl + nl >= sizeof(full.str))
    return full;  // empty: a shortened path would name another file
  memcpy(full.str, base, bl);
  memcpy(full.str + bl, name, nl + 1);
  for (char *c = full.str; *c; c++)
    if (*c == '\\')
      *c = '/';
  if (full.str[0] == '/')
    normalize_path(full.str);  // only ever shortens; on failure the joined text stays
  return full;
}

int64_t get_file_time(const char *name)
{
  struct stat st;
  if (!name || stat(name, &st) != 0)
    return 0;
  return int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}
