#pragma once
// The worlds a world script builds, as the script lists them in its root-table array
// `world_names` (for example `world_names <- ["main_menu", "game"]`).
#include <squirrel.h>

#include <cstddef>

enum class WorldNameCheck
{
  Any,        // the script lists no worlds (no world_names, or an empty array): any name goes
  Known,      // `name` is listed
  Unknown,    // `name` is not listed
  Malformed,  // world_names is not an array of strings
};

// Checks `name` against the list of the script loaded in `v`; `names` receives the listed names
// joined with ", " (cut to names_size).
WorldNameCheck check_world_name(HSQUIRRELVM v, const char *name, char *names, size_t names_size);
