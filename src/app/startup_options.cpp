#include "app/startup_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/app_globals.h"
#include "render/device.h"

// Five finite numbers separated by commas, nothing else.
static bool parse_camera(const char *v, float out[5])
{
  if (!v)
    return false;
  for (int k = 0; k < 5; k++)
  {
    char *end = nullptr;
    errno = 0;
    float f = strtof(v, &end);
    if (end == v || errno || !std::isfinite(f) || *end != (k < 4 ? ',' : 0))
      return false;
    out[k] = f;
    v = end + 1;
  }
  return true;
}

void apply_switches(int argc, const char *const *argv, StartupOptions &opt)
{
  for (int i = 1; i < argc; i++)
  {
    const char *a = argv[i];
    if (!strcmp(a, "-720"))
      opt.width = 1280, opt.height = 720;
    else if (!strcmp(a, "-360"))
      opt.width = 640, opt.height = 360;
    else if (!strcmp(a, "-1024"))
      opt.width = 1280, opt.height = 1024;
    else if (!strcmp(a, "-aa"))
      use_ppaa = true;
    else if (!strcmp(a, "-noaa"))
      use_ppaa = false;
    else if (!strcmp(a, "-vs"))
      app_use_vsync = true;
    else if (!strcmp(a, "-novs"))
      app_use_vsync = false;
    else if (!strcmp(a, "-fullscr"))
      opt.fullscreen = true;
    else if (!strcmp(a, "-win"))
      opt.fullscreen = false;
    else if (!strcmp(a, "-gfx-high"))
      gfx_quality = 1;
    else if (!strcmp(a, "-gfx-low"))
      gfx_quality = 0;
    else if (!strcmp(a, "--help") || !strcmp(a, "-h"))
      opt.help = true;
    else if (!strcmp(a, "--headless"))
      opt.headless = true;
    else if (!strcmp(a, "--fast"))
      opt.fast = true;
    else if (!strcmp(a, "--no-shader-compiler"))
      opt.no_shader_compiler = true;
    else if (!strcmp(a, "--steps"))
    {
      const char *v = i + 1 < argc ? argv[++i] : nullptr;
      char *end = nullptr;
      errno = 0;
      long n = v ? strtol(v, &end, 10) : 0;
      if (!v || !*v || *end || errno || n < 0 || n > 1000000000)
        opt.error = "--steps needs a whole number of steps from 0 to 1000000000";
      else
        opt.steps = int(n);
    }
    else if (!strcmp(a, "--screenshot"))
    {
      const char *v = i + 1 < argc ? argv[++i] : nullptr;
      if (!v || !*v)
        opt.error = "--screenshot needs a file name";
      else
        opt.screenshot = v;
    }
    else if (!strcmp(a, "--camera"))
    {
      const char *v = i + 1 < argc ? argv[++i] : nullptr;
      if (!parse_camera(v, opt.camera))
        opt.error = "--camera needs X,Y,Z,YAW,PITCH: five numbers separated by commas (angles in degrees)";
      else
        opt.camera_given = true;
    }
    else if (!strcmp(a, "--gen-world") || !strcmp(a, "--script") || !strcmp(a, "--out"))
    {
      const char *v = i + 1 < argc ? argv[++i] : nullptr;
      if (!v || !*v)
        opt.error = !strcmp(a, "--gen-world") ? "--gen-world needs a world name"
                    : !strcmp(a, "--script")  ? "--script needs a file name"
                                              : "--out needs a directory";
      else
        (!strcmp(a, "--gen-world") ? opt.gen_world : !strcmp(a, "--script") ? opt.gen_script : opt.gen_out) = v;
    }
    else if (!strcmp(a, "--seed"))
    {
      const char *v = i + 1 < argc ? argv[++i] : nullptr;
      char *end = nullptr;
      errno = 0;
      unsigned long long n = v && *v != '-' ? strtoull(v, &end, 10) : 0;
      if (!v || *v == '-' || !*v || *end || errno)
        opt.error = "--seed needs a whole number from 0 to 18446744073709551615";
      else
      {
        opt.seed = n;
        opt.seed_given = true;
      }
    }
    else if (!strncmp(a, "--", 2))
    {
      if (opt.unknown_count < StartupOptions::MAX_UNKNOWN_SWITCHES)
        opt.unknown[opt.unknown_count] = a;
      opt.unknown_count++;
    }
  }
  if (!opt.error && opt.gen_world && !opt.gen_out)
    opt.error = "--gen-world needs --out DIR";
}

const char *startup_help_text()
{
  return "usage: quenmoor [switches]\n"
         "\n"
         "Display:\n"
         "  -720        window of 1280x720\n"
         "  -360        window of 640x360\n"
         "  -1024       window of 1280x1024\n"
         "  -fullscr    full screen (Alt-Enter switches while playing)\n"
         "  -win        windowed (default; opens maximised without a size switch)\n"
         "  -vs, -novs  synchronise presenting with the display (default), or not (frames are\n"
         "              then capped at 250 a second)\n"
         "  -aa, -noaa  post-process anti-aliasing on or off (default off)\n"
         "  -gfx-high   high graphics quality: deferred lighting, shadows, post-effects (default)\n"
         "  -gfx-low    low graphics quality: forward drawing, no post-effects\n"
         "\n"
         "Switches are case-sensitive; a later one overrides an earlier one and all of them\n"
         "override the stored settings. Unknown arguments are ignored; unknown ones starting\n"
         "with \"--\" are named in a warning.\n"
         "\n"
         "Linux additions:\n"
         "  --headless  run without a display or window (one frame per simulation step)\n"
         "  --steps N   run N simulation steps (20 per second), then quit with exit code 0\n"
         "              (0: no limit, as without the switch)\n"
         "  --fast      run the simulation steps back to back, one frame after each, without\n"
         "              waiting for real time (for tests and soak runs)\n"
         "  --no-shader-compiler  run from the shader cache only (also QM_NO_SHADER_COMPILER=1)\n"
         "  --screenshot FILE  when the game quits, save its last frame as a PNG to FILE (with\n"
         "              --headless --steps N: a picture without a display); exit code 1 when\n"
         "              it cannot be written\n"
         "  --camera X,Y,Z,YAW,PITCH  start in the development mode (free fly) at X,Y,Z looking\n"
         "              YAW degrees left of +z and PITCH degrees up (negative: down)\n"
         "  --seed N    start the game's random generator at N (default: the clock), so the\n"
         "              worlds and the attract flight repeat\n"
         "  --help, -h  show this text\n"
         "\n"
         "World tool (no window, no GPU):\n"
         "  --gen-world NAME --out DIR [--seed N] [--script FILE] [--steps N]\n"
         "              generate the world NAME with the world script (default gen/main.nut\n"
         "              beside the executable, whose worlds are \"main_menu\" and \"game\"; a\n"
         "              script lists its worlds in the global array world_names) from seed N\n"
         "              (default: the start-up counter), run N water steps (default 0), and\n"
         "              write color.png, relief.png, height.png, height.json, water.png,\n"
         "              hmap.f32 and water.f32 into DIR, creating it and its parents.\n"
         "              Exit code 0 when every file was written; 1 when DIR cannot be\n"
         "              written, the script failed or a file could not be written; 2 for\n"
         "              bad switches or a world the script does not list\n";
}

void warn_unknown_switches(const StartupOptions &opt, FILE *out)
{
  for (int i = 0; i < opt.unknown_count && i < StartupOptions::MAX_UNKNOWN_SWITCHES; i++)
    fprintf(out, "quenmoor: unknown switch '%s' ignored (see --help)\n", opt.unknown[i]);
  if (opt.unknown_count > StartupOptions::MAX_UNKNOWN_SWITCHES)
    fprintf(out, "quenmoor: %d more unknown switches ignored (see --help)\n",
            opt.unknown_count - StartupOptions::MAX_UNKNOWN_SWITCHES);
}
