#include "gameobj_host/gameobj_rebuild.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include "gameobj_host/gameobj_loader.h"
#include "platform/timer.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/visual_log.h"

extern char **environ;

DynArray<ModuleDep> module_deps;

namespace
{
constexpr int MAX_SCANNED_LINE = 255;
constexpr int MAX_OUTPUT_LINE = 1023;

struct RebuildState
{
  TempString<260> source_dir;   // full path ending in "/"
  TempString<260> root_source;  // source_dir + root file name
  int64_t source_dir_time = 0;  // the directory's time when scanned (a file added or removed)

  pid_t child = -1;  // the running rebuild, or -1
  int pipe_fd = -1;  // read end of its output
  int64_t start_time = 0;
  int error_lines = 0;  // error lines of this rebuild
  char line[MAX_OUTPUT_LINE + 1] = {};
  int line_len = 0;

  // Set by a rebuild that failed or could not start, or a refused module that could not be moved
  // aside: nothing is swapped in until the next rebuild starts.
  bool swap_blocked = false;
};
RebuildState rb;

bool is_word_char(char c)
{
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool is_cpp_file(const char *name)
{
  static const char *const exts[] = {".cpp", ".cc", ".cxx", ".h", ".hh", ".hpp", ".inl"};
  if (name[0] == '.')  // hidden files: editors' locks and temporary copies
    return false;
  const char *dot = strrchr(name, '.');
  for (const char *e : exts)
    if (dot && !strcmp(dot, e))
      return true;
  return false;
}

bool is_watched(const char *full)
{
  for (const ModuleDep &d : module_deps)
    if (!strcmp(d.path, full))
      return true;
  return false;
}

// Calls fn(full path) for each C++ source and header of the source directory.
template <class Fn>
void for_each_dir_source(Fn &&fn)
{
  DIR *dir = opendir(rb.source_dir);
  if (!dir)
    return;
  while (dirent *e = readdir(dir))
  {
    if (!is_cpp_file(e->d_name))
      continue;
    TempString<260> full(fmt_tag, "%s%s", rb.source_dir.c_str(), e->d_name);
    if (full.length() == int(strlen(rb.source_dir) + strlen(e->d_name)))
      fn(full.c_str());
  }
  closedir(dir);
}

void scan_all_sources()
{
  module_deps.clear();
  rb.source_dir_time = get_file_time(rb.source_dir);
  scan_module_deps(rb.root_source);
  for_each_dir_source([](const char *full) { scan_module_deps(full); });
}

bool sources_changed()
{
  for (const ModuleDep &d : module_deps)
    if (get_file_time(d.path) != d.mtime)
      return true;
  int64_t t = get_file_time(rb.source_dir);
  if (t == rb.source_dir_time)
    return false;
  // The directory changed: a removed source showed above; a new one is not watched yet.
  rb.source_dir_time = t;
  bool added = false;
  for_each_dir_source([&](const char *full) { added = added || !is_watched(full); });
  return added;
}

void emit_line()
{
  rb.line[rb.line_len] = 0;
  if (rb.line_len > 0 && rb.line[rb.line_len - 1] == '\r')
    rb.line[rb.line_len - 1] = 0;
  debug("%s", rb.line);
  if (is_rebuild_error_line(rb.line))
  {
    rb.error_lines++;
    append_error_message(rb.line, -1);
  }
  rb.line_len = 0;
}

// Reads what output is there without waiting: whole lines (long ones in pieces of 1023 bytes).
void read_output()
{
  char buf[4096];
  for (;;)
  {
    ssize_t n = read(rb.pipe_fd, buf, sizeof(buf));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    for (ssize_t i = 0; i < n; i++)
    {
      if (buf[i] == '\n')
        emit_line();
      else
      {
        rb.line[rb.line_len++] = buf[i];
        if (rb.line_len == MAX_OUTPUT_LINE)
          emit_line();
      }
    }
  }
}

void start_rebuild()
{
  scan_all_sources();
  set_error_message(nullptr);
  debug("=== rebuilding gameobj module");
  rb.error_lines = 0;
  rb.line_len = 0;
  rb.swap_blocked = false;
  rb.start_time = get_ref_time();

  TempString<260> script(fmt_tag, "%s%s", rb.source_dir.c_str(), GAMEOBJ_REBUILD_SCRIPT);
  char name[] = "gameobj_new.so";
  char *argv[] = {script.str, app_path, name, nullptr};
  // The build's own settings come from the build that made the module (the script keeps them),
  // not from whatever the game's environment happens to hold.
  static const char *const dropped[] = {"LC_ALL=", "CXX=", "QM_MODULE_SRC=", "QM_MODULE_FLAGS=",
                                        "QM_SQUIRREL_INC=", "QM_ENGINE_INC="};
  std::vector<char *> env;
  for (char **e = environ; *e; e++)
  {
    bool keep = true;
    for (const char *d : dropped)
      keep = keep && strncmp(*e, d, strlen(d)) != 0;
    if (keep)
      env.push_back(*e);
  }
  char lc_all[] = "LC_ALL=C";
  env.push_back(lc_all);
  env.push_back(nullptr);

  int fds[2];
  int err = pipe2(fds, O_CLOEXEC) == 0 ? 0 : errno;
  if (!err)
  {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addchdir_np(&actions, rb.source_dir);
    pid_t pid;
    err = posix_spawn(&pid, script, &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);  // the child holds the write end: the pipe ends with it
    if (!err)
    {
      fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
      rb.child = pid;
      rb.pipe_fd = fds[0];
    }
    else
      close(fds[0]);
  }
  if (err)
  {
    debug("!!! Error starting gameobj module rebuild ('%s': %s)", script.c_str(), strerror(err));
    rb.swap_blocked = true;
  }
}

void finish_rebuild(int status, bool waited)
{
  read_output();
  if (rb.line_len > 0)
    emit_line();
  close(rb.pipe_fd);
  rb.pipe_fd = -1;
  rb.child = -1;
  int code = !waited ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (code != 0 || rb.error_lines > 0)
  {
    append_error_message("gameobj rebuild failed!!!", -1);
    debug("!!! failed to rebuild gameobj module (code %d)", code);
    rb.swap_blocked = true;
  }
  else
    debug("=== gameobj module rebuild done in %d ms", get_time_msec(get_ref_time() - rb.start_time));
}

void drop_running_rebuild()
{
  if (rb.pipe_fd >= 0)
    close(rb.pipe_fd);
  rb.pipe_fd = -1;
  rb.child = -1;
}
}  // namespace

void init_gameobj_rebuild(const char *source_dir, const char *root_source)
{
  drop_running_rebuild();
  module_deps.clear();
  rb.swap_blocked = false;
  TempString<260> dir(source_dir);  // too long: fatal
  TempString<260> root(root_source);
  rb.source_dir = make_full_path(dir);
  G_ASSERT(rb.source_dir.length() > 0 && rb.source_dir.length() < 259);
  if (rb.source_dir.str[rb.source_dir.length() - 1] != '/')
    rb.source_dir = TempString<260>(fmt_tag, "%s/", rb.source_dir.c_str());
  G_ASSERT(rb.source_dir.length() + root.length() < 260);
  rb.root_source = TempString<260>(fmt_tag, "%s%s", rb.source_dir.c_str(), root.c_str());
  scan_all_sources();
}

void scan_module_deps(const char *path)
{
  TempString<260> full = make_full_path(path);
  if (!full.str[0] || is_watched(full))
    return;
  FILE *f = fopen(full, "r");
  if (!f)
    return;
  module_deps.push_back({full, get_file_time(full)});
  char *line = nullptr;
  size_t cap = 0;
  ssize_t n;
  while ((n = getline(&line, &cap, f)) >= 0)
  {
    if (n > MAX_SCANNED_LINE)
      line[MAX_SCANNED_LINE] = 0;
    if (strncmp(line, "import ", 7) != 0)
      continue;
    const char *p = line + 7;
    p += strspn(p, " \t");
    int len = int(strcspn(p, " \t\r\n"));
    if (len == 0)
      continue;
    TempString<260> dep(fmt_tag, "%s%.*s%s", rb.source_dir.c_str(), len, p, GAMEOBJ_IMPORT_EXT);
    if (dep.length() != int(strlen(rb.source_dir) + len + strlen(GAMEOBJ_IMPORT_EXT)))
      continue;  // too long to name a file
    for (char *c = dep.str + strlen(rb.source_dir); c < dep.str + strlen(rb.source_dir) + len; c++)
      if (*c == '.')
        *c = '/';
    scan_module_deps(dep);
  }
  free(line);
  fclose(f);
}

bool is_rebuild_error_line(const char *line)
{
  for (const char *p = line; *p; p++)
  {
    if (strncasecmp(p, "error", 5) != 0 || (p > line && is_word_char(p[-1])))
      continue;
    const char *end = p + 5;
    if (!is_word_char(*end) || ((*end == 's' || *end == 'S') && !is_word_char(end[1])))
      return true;
  }
  return false;
}

bool poll_module_rebuild()
{
  if (rb.child < 0)
  {
    if (!sources_changed())
      return false;
    start_rebuild();
    if (rb.child < 0)
      return true;
  }
  read_output();
  int status = 0;
  pid_t r = waitpid(rb.child, &status, WNOHANG);
  if (r == 0)
    return true;
  finish_rebuild(status, r == rb.child);
  return false;
}

bool check_gameobj_reload()
{
  if (poll_module_rebuild() || rb.swap_blocked)
    return false;
  TempString<260> new_file = make_full_path(GAMEOBJ_NEW_FILE);
  if (access(new_file, F_OK) != 0)
    return false;
  int64_t start = get_ref_time();
  bool ok = swap_gameobj_module(new_file, make_full_path(GAMEOBJ_MODULE_FILE));
  if (!ok && rename(new_file, make_full_path(GAMEOBJ_REJECTED_FILE)) != 0)
    rb.swap_blocked = true;
  debug("gameobj reload %s (%d ms)", ok ? "ok" : "failed", get_time_msec(get_ref_time() - start));
  return ok;
}

void close_gameobj_rebuild()
{
  drop_running_rebuild();
  module_deps.clear();
}
