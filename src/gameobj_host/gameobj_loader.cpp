#include "gameobj_host/gameobj_loader.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cerrno>
#include <cstring>
#include <string>

#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_module.h"
#include "script/world_gen_hooks.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/file_read.h"
#include "support/visual_log.h"

extern char **environ;

namespace
{
using FuncByName = void *(*)(const char *name);
using GetVtables = void **(*)(int *count);

// A loaded image whose names and vtables resolved.
struct ModuleImage
{
  void *handle = nullptr;
  int fd = -1;  // the in-memory file the image was loaded from
  GameObjModule funcs = {};
  void *vtables[NUM_GAMEOBJ_VTABLES] = {};
  uint64_t layout = 0;
};

// The vtables of the module currently bound (all null before the first bind).
void *saved_vtables[NUM_GAMEOBJ_VTABLES] = {};
uint64_t bound_layout = 0;
bool bound = false;

constexpr int ERR_SIZE = 512;
constexpr int64_t MAX_MODULE_SIZE = int64_t(256) << 20;
constexpr const char *CLASSES_CHANGED = "gameobj classes changed, need restart";

// dlopen of an in-memory copy of `path`: a new image even when a library of that name is loaded.
// Bound images stay loaded until exit.
void *open_copy(const char *path, int &fd_out, char *err)
{
  std::string bytes;
  int read_err = 0;
  if (!read_file(path, MAX_MODULE_SIZE, bytes, read_err))
  {
    snprintf(err, ERR_SIZE, "can't load %s: %s", GAMEOBJ_MODULE_FILE, file_error_text(read_err));
    return nullptr;
  }
  int fd = memfd_create(GAMEOBJ_MODULE_FILE, MFD_CLOEXEC);
  if (fd < 0)
  {
    snprintf(err, ERR_SIZE, "can't load %s: memfd_create: %s", GAMEOBJ_MODULE_FILE, strerror(errno));
    return nullptr;
  }
  size_t done = 0;
  while (done < bytes.size())
  {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0)
    {
      snprintf(err, ERR_SIZE, "can't load %s: write: %s", GAMEOBJ_MODULE_FILE, strerror(errno));
      close(fd);
      return nullptr;
    }
    done += size_t(n);
  }
  char fd_path[64];
  snprintf(fd_path, sizeof(fd_path), "/proc/self/fd/%d", fd);
  void *h = dlopen(fd_path, RTLD_NOW | RTLD_LOCAL);
  if (!h)
  {
    snprintf(err, ERR_SIZE, "can't load %s: %s", GAMEOBJ_MODULE_FILE, dlerror());
    close(fd);
  }
  // A loaded image keeps its descriptor: the loader knows images by name, and a reused
  // descriptor number would hand back the old image.
  else
    fd_out = fd;
  return h;
}

// Resolves the entry points, every name and the vtable table. False with the reason in err.
bool resolve(ModuleImage &m, char *err)
{
  auto by_name = reinterpret_cast<FuncByName>(dlsym(m.handle, "get_gameobj_func_by_name"));
  auto get_vtables = reinterpret_cast<GetVtables>(dlsym(m.handle, "get_gameobj_vtables"));
  if (!by_name || !get_vtables)
  {
    snprintf(err, ERR_SIZE, "invalid %s", GAMEOBJ_MODULE_FILE);
    return false;
  }
#define QM_RESOLVE_GAMEOBJ_FUNC(name, ret, args)                                       \
  m.funcs.name = reinterpret_cast<ret(*) args>(by_name(#name));                       \
  if (!m.funcs.name)                                                                  \
  {                                                                                   \
    snprintf(err, ERR_SIZE, "no \"%s\" function in %s", #name, GAMEOBJ_MODULE_FILE);  \
    return false;                                                                     \
  }
  QM_GAMEOBJ_FUNCS(QM_RESOLVE_GAMEOBJ_FUNC)
#undef QM_RESOLVE_GAMEOBJ_FUNC
  int count = 0;
  void **table = get_vtables(&count);
  if (!table || count != NUM_GAMEOBJ_VTABLES)
  {
    snprintf(err, ERR_SIZE, "%s", CLASSES_CHANGED);
    return false;
  }
  memcpy(m.vtables, table, sizeof(m.vtables));
  m.layout = m.funcs.get_gameobj_layout();
  return true;
}

void *vtable_of(BaseObject *obj)
{
  void *vp;
  memcpy(&vp, static_cast<void *>(obj), sizeof(vp));
  return vp;
}

// Points every live object (each once: the mark bit) at the new table's vtable of its class.
void repoint_objects(void *const *new_vtables)
{
  for_each_listed_gameobj([&](BaseObject *obj) {
    if (obj->objFlags & OBJ_REPOINT_MARK)
      return;
    obj->objFlags |= OBJ_REPOINT_MARK;
    void *vp = vtable_of(obj);
    int i = 1;
    while (i < NUM_GAMEOBJ_VTABLES && saved_vtables[i] != vp)
      i++;
    if (i == NUM_GAMEOBJ_VTABLES)
      fatal("cannot find object vtable");
    memcpy(static_cast<void *>(obj), &new_vtables[i], sizeof(void *));
  });
  for_each_listed_gameobj([](BaseObject *obj) { obj->objFlags &= ~OBJ_REPOINT_MARK; });
}

// The hooks world generation calls; they go through gameobj_module, so they follow reloads.
void connect_world_gen_hooks()
{
  world_gen_hooks.remove_all_gameobj = [] { gameobj_call(gameobj_module.remove_all_gameobj); };
  world_gen_hooks.before_generate = [] { gameobj_call(gameobj_module.player_before_generate); };
  world_gen_hooks.after_generate = [] { gameobj_call(gameobj_module.player_after_generate); };
  world_gen_hooks.bind_gameobj = [](HSQUIRRELVM v) { gameobj_call(gameobj_module.bind_gameobj, v); };
  world_gen_hooks.get_land_height = [](float x, float z) { return gameobj_module.get_land_height(x, z); };
}

void bind(const ModuleImage &m)
{
  repoint_objects(m.vtables);
  memcpy(saved_vtables, m.vtables, sizeof(saved_vtables));
  bound_layout = m.layout;
  gameobj_module = m.funcs;
  bound = true;
  connect_world_gen_hooks();
  gameobj_module.link_gui();
}

bool open_and_resolve(const char *path, ModuleImage &m, char *err)
{
  m.handle = open_copy(path, m.fd, err);
  return m.handle && resolve(m, err);
}

// A candidate that was never bound: nothing points into it, so it goes at once.
void discard(ModuleImage &m)
{
  if (m.handle)
    dlclose(m.handle);
  if (m.fd >= 0)
    close(m.fd);
  m = ModuleImage();
}

// Runs the module's build script once, synchronously: script <app dir> gameobj.so.
void run_build_script(const char *script)
{
  TempString<260> path = make_full_path(script);
  debug("=== %s is missing: building it with '%s'", GAMEOBJ_MODULE_FILE, path.c_str());
  char *argv[] = {const_cast<char *>(path.c_str()), app_path, const_cast<char *>(GAMEOBJ_MODULE_FILE), nullptr};
  pid_t pid;
  if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0)
  {
    debug("!!! can't start '%s'", path.c_str());
    return;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
    ;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    debug("!!! the build of %s failed", GAMEOBJ_MODULE_FILE);
}

// Start-up: a rebuild finished after the last run ended. A valid build replaces gameobj.so and
// is the module loaded; an invalid one is moved aside.
bool take_new_module(ModuleImage &m)
{
  TempString<260> new_file = make_full_path(GAMEOBJ_NEW_FILE);
  if (access(new_file, F_OK) != 0)
    return false;
  char err[ERR_SIZE];
  if (open_and_resolve(new_file, m, err))
  {
    if (rename(new_file, make_full_path(GAMEOBJ_MODULE_FILE)) == 0)
    {
      debug("%s from the last rebuild is the module now", GAMEOBJ_NEW_FILE);
      return true;
    }
    snprintf(err, ERR_SIZE, "can't rename it: %s", strerror(errno));
  }
  debug("%s refused: %s", GAMEOBJ_NEW_FILE, err);
  discard(m);
  rename(new_file, make_full_path(GAMEOBJ_REJECTED_FILE));
  return false;
}
}  // namespace

void load_gameobj_module(const char *path)
{
  unbind_gameobj_module();
  ModuleImage m;
  if (path || !take_new_module(m))
  {
    TempString<260> app_file = make_full_path(GAMEOBJ_MODULE_FILE);
    struct stat st;
    if (!path && stat(app_file.c_str(), &st) != 0)
      run_build_script(GAMEOBJ_BUILD_SCRIPT);
    char err[ERR_SIZE];
    if (!open_and_resolve(path ? path : app_file.c_str(), m, err))
      fatal("%s", err);
  }
  bind(m);
  debug("game object module loaded");
}

bool swap_gameobj_module(const char *path, const char *install_as)
{
  ModuleImage m;
  char err[ERR_SIZE];
  if (!open_and_resolve(path, m, err))
  {
    debug("gameobj module '%s' refused: %s", path, err);
    if (!strcmp(err, CLASSES_CHANGED))
      set_error_message(CLASSES_CHANGED);
    discard(m);
    return false;
  }
  if (bound && m.layout != bound_layout)
  {
    debug("gameobj module '%s' refused: class layout changed", path);
    set_error_message(CLASSES_CHANGED);
    discard(m);
    return false;
  }
  if (install_as && rename(path, install_as) != 0)
  {
    debug("gameobj module '%s' refused: can't rename it to '%s': %s", path, install_as, strerror(errno));
    discard(m);
    return false;
  }
  unbind_gameobj_module();
  bind(m);
  return true;
}

void unbind_gameobj_module()
{
  release_module_gui();
  gameobj_module = {};
  bound = false;
  world_gen_hooks.remove_all_gameobj = nullptr;
  world_gen_hooks.before_generate = nullptr;
  world_gen_hooks.after_generate = nullptr;
  world_gen_hooks.bind_gameobj = nullptr;
  world_gen_hooks.get_land_height = nullptr;
}

bool gameobj_module_bound() { return bound; }

uint64_t gameobj_module_layout() { return bound ? bound_layout : 0; }
