#include "app/startup_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/app_globals.h"

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
    else if (!strcmp(a, "--no-shader-compiler"))
      opt.no_shader_compiler = true;
    else if (!strcmp(a, "--steps"))
    {
      const char *v = i + 1 < argc ? argv[++i] : nullptr;
      char *end = nullptr;
      errno = 0;
      long n = v ? strtol(v, &end, 10) : 0;
      if (!v || *end || errno || n <= 0 || n > 1000000000)
        opt.error = "--steps needs a whole number of steps greater than 0";
      else
        opt.steps = int(n);
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
         "  -fullscr    full screen\n"
         "  -win        windowed (default; opens maximised without a size switch)\n"
         "  -vs, -novs  synchronise presenting with the display, or not\n"
         "  -aa, -noaa  post-process anti-aliasing on or off\n"
         "  -gfx-high   high graphics quality (deferred lighting, shadows, post-effects)\n"
         "  -gfx-low    low graphics quality\n"
         "\n"
         "Switches are case-sensitive; a later one overrides an earlier one and all of them\n"
         "override the stored settings. Unknown arguments are ignored.\n"
         "\n"
         "Linux additions:\n"
         "  --headless  run without a display or window\n"
         "  --steps N   run N simulation steps (20 per second), then quit with exit code 0\n"
         "  --no-shader-compiler  run from the shader cache only (also QM_NO_SHADER_COMPILER=1)\n"
         "  --help      show this text\n"
         "\n"
         "World tool (no window, no GPU):\n"
         "  --gen-world NAME --out DIR [--seed N] [--script FILE] [--steps N]\n"
         "              generate the world NAME (\"game\", \"main_menu\") with the world script\n"
         "              (default gen/main.nut beside the executable) from seed N (default: the\n"
         "              start-up counter), run N water steps, and write color.png, relief.png,\n"
         "              height.png, height.json, water.png, hmap.f32 and water.f32 into DIR\n";
}
