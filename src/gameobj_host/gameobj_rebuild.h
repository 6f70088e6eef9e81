#pragma once
// Rebuilding the game object module while the game runs, and swapping the new build in.
//
// The module's sources are watched: the files reached from the root source by "import " lines
// (a dotted name a.b.c is the source directory's a/b/c.ls) and every C++ source and header of
// the source directory. When one of them changes, disappears or a new one appears, the build
// script runs in a child process (working directory the source directory, LC_ALL=C, standard
// output and error on one non-blocking pipe, none of the build script's settings in its
// environment, so it compiles as the build that made the module) and writes "gameobj_new.so"
// into the application directory. Its output is echoed to the log as it comes; its error lines go to the on-screen
// error message. A successful build is then validated and swapped in (swap_gameobj_module).
// Everything here is polled from the main loop and never blocks on the child.
#include <cstdint>

#include "support/dyn_array.h"
#include "support/temp_string.h"

// The module's sources, relative to the application directory, and the file the scan starts at.
constexpr const char *GAMEOBJ_SOURCE_DIR = "../gameobj/";
constexpr const char *GAMEOBJ_ROOT_SOURCE = "module_api.cpp";
// The build script in the source directory; it is run as: script <app dir> gameobj_new.so.
constexpr const char *GAMEOBJ_REBUILD_SCRIPT = "rebuild_module.sh";
// The file an "import " line names: source directory + dotted name with '.' as '/' + this.
constexpr const char *GAMEOBJ_IMPORT_EXT = ".ls";

struct ModuleDep
{
  TempString<260> path;  // full path
  int64_t mtime;         // get_file_time when scanned
};
// The watched sources, in scan order: the root's import tree, then the directory's other files.
extern DynArray<ModuleDep> module_deps;

// Forgets any running rebuild (its pipe is closed, the child is left to finish), stores the
// source directory (full path, "/" at the end) and the root source, and scans the sources. A
// directory or root name of 260 characters or more is fatal (the string-length assertion).
void init_gameobj_rebuild(const char *source_dir, const char *root_source);
// Adds `path` and, recursively, what its "import " lines name to module_deps; each file once, a
// file that cannot be opened silently not at all. Only the first 255 characters of a line count.
void scan_module_deps(const char *path);
// Whether a line of build output is an error line: it holds "error" or "errors", in any letter
// case, as a whole word (no letter, digit or underscore on either side).
bool is_rebuild_error_line(const char *line);
// Starts a rebuild when a watched source changed, and follows a running one (reads what output
// is there, ends it when the child has exited). True while a rebuild is running.
bool poll_module_rebuild();
// The rebuild poll, then the swap of a successfully built "gameobj_new.so": true when a new
// module was bound. A refused build is renamed "gameobj_rejected.so"; a failed rebuild keeps the
// bound module and its messages on screen until a source changes again.
bool check_gameobj_reload();
// Shutdown: drops the pipe of a running rebuild (the child finishes on its own; the next start-up
// takes its module) and the watched sources.
void close_gameobj_rebuild();
