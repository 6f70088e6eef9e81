#pragma once
#include <cstdint>
#include <cstdio>
// Command-line switches and the start-up options they set.

struct StartupOptions
{
  bool fullscreen = false;
  int width = 0;  // 0: not requested
  int height = 0;
  // Linux additions, spelled with two dashes so they never meet the game's own switches.
  bool headless = false;
  bool no_shader_compiler = false;  // run from the shader cache only
  bool help = false;
  bool fast = false;  // simulation steps back to back, without waiting for real time
  int steps = 0;  // > 0: quit after this many simulation steps (world tool: water steps); 0: no limit
  const char *screenshot = nullptr;  // the last frame is saved here as a PNG when the game quits
  // --camera X,Y,Z,YAW,PITCH: start in the development mode at this place and orientation
  // (degrees: yaw 0 looks along +z, positive yaw turns left; pitch 0 is level, positive up).
  bool camera_given = false;
  float camera[5] = {};
  // The headless world tool: --gen-world NAME [--seed N] [--script FILE] [--steps N] --out DIR.
  const char *gen_world = nullptr;
  const char *gen_script = nullptr;
  const char *gen_out = nullptr;
  bool seed_given = false;
  uint64_t seed = 0;
  const char *error = nullptr;  // a malformed switch, reported before start-up
  // Unknown switches starting with "--", reported as warnings (the first MAX_UNKNOWN_SWITCHES of
  // unknown_count are kept); other unknown arguments are ignored silently.
  static constexpr int MAX_UNKNOWN_SWITCHES = 8;
  const char *unknown[MAX_UNKNOWN_SWITCHES] = {};
  int unknown_count = 0;
};

// Applies the switches after the program name in order: exact, case-sensitive matches, a later
// switch overriding an earlier one; unknown arguments are ignored (those starting with "--" are
// recorded in `unknown`).
void apply_switches(int argc, const char *const *argv, StartupOptions &opt);

// The text printed by --help.
const char *startup_help_text();

// Prints one warning line per recorded unknown switch to `out`.
void warn_unknown_switches(const StartupOptions &opt, FILE *out);
