#pragma once
// The effect script machine: "test/fx.nut" composes particles (and bolts) from table
// descriptions. The game object module runs its named effects through call_fx_script; the
// script's update_fx(dt), when it defines one, runs every update step. Script errors are shown
// on screen ("Error in fx script:") and never stop the game; a changed file is reloaded.
#include "support/export.h"
#include "support/vec4f.h"

constexpr const char *FX_SCRIPT = "test/fx.nut";

// Creates the machine (fatal "error creating fx script VM" when it cannot) and runs `script`
// (null: FX_SCRIPT); a script that fails to load shows its error and is retried when it changes.
void init_fx_script(const char *script = nullptr);
void update_fx_script(float dt);
// When a script file changed: the particles and bolts vanish (trails stay), the files run again
// and update_fx is looked up again. Returns whether a reload ran.
bool check_fx_script_reload();
void close_fx_script();
// Runs the script function `name`(a, b, c, d); a missing function or a script error is shown,
// a call without a machine only logged.
QM_EXPORT void call_fx_script(const char *name, vec4f a, vec4f b, vec4f c, float d);
// Script ramps the live particles use are held by the machine; this drops the ones no particle
// uses any more (the update does it once a second). Returns how many are held.
int prune_fx_script_ramps();
