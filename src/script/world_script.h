#pragma once
// The world script's entry points for the game object module: stepping the script, sending it
// events, reading its global flags and calling its boolean functions. Every script error is
// caught here and shown as "Error in world script:\n<error>"; the game goes on.
#include <squirrel.h>

#include "script/sq_func.h"
#include "support/export.h"

QM_EXPORT HSQUIRRELVM get_world_script_vm();
// Calls update_script(dt) when the script defines it.
QM_EXPORT void update_world_script(float dt);
// Calls process_event(event); the caller keeps its handle.
QM_EXPORT void world_script_event(const SqObject &event);
QM_EXPORT void world_script_str_event(const char *name);
// The root-table global `name` by the script's truth rules (1 or 0); `def` on any failure.
QM_EXPORT int get_world_script_bool(const char *name, int def);
// func() when the handle is set; `def` when it is null or the call fails.
QM_EXPORT bool call_bool_func(SqFunc<bool> &func, bool def);

// "<prefix>\n<text>" and the call stack of a failed script call (when known) as the on-screen
// error message (shared with world generation).
void show_script_error(const char *prefix, const sqbind::SquirrelError &e);
