#pragma once
// The world generation script machine: it runs "gen/main.nut", whose generate_world(name)
// composes each world, and it also holds the world script's event functions (world_script.h).
#include <squirrel.h>

#include "script/sq_func.h"
#include "script/sq_vm_reload.h"

// The default world script, relative to the executable's directory.
constexpr const char *WORLD_GEN_SCRIPT = "gen/main.nut";
// The script's entry points, bound to the WorldGenScript fields of the same names.
constexpr const char *GENERATE_WORLD_FUNC = "generate_world";
constexpr const char *PROCESS_EVENT_FUNC = "process_event";
constexpr const char *UPDATE_SCRIPT_FUNC = "update_script";
// The first line of every error the world generation script shows.
constexpr const char *WORLD_GEN_ERROR = "Error in world gen script:";

struct WorldGenScript
{
  SqReloadableVM vm;
  // Bound after every load and reload, in this order; null when the script lacks them.
  SqFunc<void> generate_world;
  SqFunc<void> process_event;
  SqFunc<void> update_script;
};
extern WorldGenScript world_gen;

// Creates the machine (fatal "error creating world gen script VM" when it cannot), registers the
// interface and runs the script (`script`: null for gen/main.nut). A script that fails to load
// shows "Error in world gen script:\n<error>" and start-up goes on.
void init_world_gen_vm(const char *script = nullptr);
// Closes the machine; safe when it was never created.
void close_world_gen_vm();

// Builds the world `name` ("main_menu", "game") with the script's generate_world. A world left
// with non-finite heights or water is an error; those samples are set to 0.
void generate_world(const char *name);

// Throws "'<name>' is a <type>, not a function" when the script defines the entry point as
// anything but a function (a generator function shows itself only when called: SqFunc refuses
// its result).
void check_entry_point(const SqFunc<void> &f, const char *name);
// As check_entry_point, and throws "No '<name>' function in script" when the script lacks it.
void require_entry_point(const SqFunc<void> &f, const char *name);
// How many samples hold a non-finite height or water value; `first` gets the first one's index.
int find_non_finite_world(int *first);

// Binds the game object module's classes into the machine again (after the module was rebuilt
// and reloaded); an error shows "Error in world gen script:\n<error>".
void rebind_world_gen_gameobj();

// The once-per-second check: when any of the script's files changed, clears the error message,
// runs every file again (main file first), binds the handles again and, when the reload worked,
// generates the world "game". Returns whether a reload was attempted.
bool check_world_gen_reload();
