#pragma once
// The world generation script machine: it runs "gen/main.nut", whose generate_world(name)
// composes each world, and it also holds the world script's event functions (world_script.h).
#include <squirrel.h>

#include "script/sq_func.h"
#include "script/sq_vm_reload.h"

// The default world script, relative to the executable's directory.
constexpr const char *WORLD_GEN_SCRIPT = "gen/main.nut";

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

// Builds the world `name` ("main_menu", "game") with the script's generate_world.
void generate_world(const char *name);

// Binds the game object module's classes into the machine again (after the module was rebuilt
// and reloaded); an error shows "Error in world gen script:\n<error>".
void rebind_world_gen_gameobj();

// The once-per-second check: when a script file changed, clears the error message, reloads, binds
// the handles again and, when the reload worked, generates the world "game". Returns whether a
// reload was attempted.
bool check_world_gen_reload();
