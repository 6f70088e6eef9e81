#pragma once
// Loading the game object module ("gameobj.so" beside the executable), binding its names and
// class vtables, and unbinding it.
//
// A module exports two entry points: "get_gameobj_func_by_name" (name -> function or null) and
// "get_gameobj_vtables" (stores its entry count through the argument and returns its table of
// NUM_GAMEOBJ_VTABLES class vtables; entry 0 is never matched). Every generation is loaded with
// RTLD_NOW | RTLD_LOCAL from its own in-memory copy of the file, so dlopen never hands back an
// older image; bound images stay mapped until exit (live objects may still point into them until
// they are re-pointed, and script machines may hold their closures); a refused candidate goes.
#include <cstdint>

constexpr const char *GAMEOBJ_MODULE_FILE = "gameobj.so";
// A rebuild's result, swapped in while running or at the next start-up, and where a build that
// was refused goes (so it is not tried again).
constexpr const char *GAMEOBJ_NEW_FILE = "gameobj_new.so";
constexpr const char *GAMEOBJ_REJECTED_FILE = "gameobj_rejected.so";

// Start-up: loads "gameobj.so" from the application directory (or the file `path`) and binds it.
// Without `path`, a valid "gameobj_new.so" left by a rebuild first replaces "gameobj.so" (an
// invalid one is renamed "gameobj_rejected.so"); when the application directory's file is
// missing, the module's build script (GAMEOBJ_BUILD_SCRIPT, relative to the application
// directory) runs once first. Every failure is fatal: "can't load gameobj.so: <reason>",
// "invalid gameobj.so" (an entry point missing), "no \"<name>\" function in gameobj.so",
// "gameobj classes changed, need restart" (vtable count).
constexpr const char *GAMEOBJ_BUILD_SCRIPT = "../gameobj/rebuild_module.sh";
void load_gameobj_module(const char *path = nullptr);

// Swaps the module in file `path` in for the bound one. The candidate is validated first (it
// loads, its names resolve, its vtable count and class layout match the bound module's); on any
// failure the bound module stays, the reason goes to the log and, for a layout change, "gameobj
// classes changed, need restart" to the screen, and false is returned. On success live objects
// are re-pointed to the new vtables and "link_gui" is called. With `install_as`, the validated
// file is renamed to that name (one atomic rename) before anything is replaced; a failed rename
// refuses the candidate too.
bool swap_gameobj_module(const char *path, const char *install_as = nullptr);

// Clears every resolved function (gameobj_module) and the hooks that lead into the module.
void unbind_gameobj_module();

bool gameobj_module_bound();
// Layout value of the bound module (0 when none).
uint64_t gameobj_module_layout();
