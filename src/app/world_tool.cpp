#include "app/world_tool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/app_globals.h"
#include "app/startup_options.h"
#include "app/timer.h"
#include "app/world_pictures.h"
#include "gui/splash.h"
#include "gui/visual_log.h"
#include "script/world_gen.h"
#include "script/world_script.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "terrain/hmap_data.h"

namespace
{
char bar_message[256];
bool bar_open = false;  // a bar line is on the terminal without its line break

void end_bar_line()
{
  if (bar_open)
    fputc('\n', stderr);
  bar_open = false;
}

// Prints why the tool stops: the error message (the script's own error and where it happened).
int fail_with_script_error(const char *what)
{
  end_bar_line();
  fprintf(stderr, "quenmoor: %s:\n%s\n", what, get_error_message());
  return 1;
}

// The water steps may turn a world of huge finite heights into one of infinities: such a world is
// never written (height.json could not even say its range).
int fail_if_not_finite()
{
  int first = 0;
  const int count = find_non_finite_world(&first);
  if (!count)
    return 0;
  end_bar_line();
  fprintf(stderr,
          "quenmoor: the world holds %d samples with non-finite heights or water (the first at x %d, z %d); "
          "nothing written\n",
          count, first & (HMAP_SIZE - 1), first >> HMAP_SIZE_SHIFT);
  return 1;
}
}  // namespace

void terminal_splash(const char *msg, float progress)
{
  const bool tty = isatty(fileno(stderr));
  const bool same = bar_open && strcmp(msg, bar_message) == 0;
  if (!same)
    end_bar_line();
  snprintf(bar_message, sizeof(bar_message), "%s", msg);
  if (!(progress >= 0))
  {
    fprintf(stderr, "%s\n", msg);
    return;
  }
  const int width = 40;
  const float p = progress > 1 ? 1.f : progress;
  const int filled = int(p * width + 0.5f);
  char bar[width + 1];
  for (int i = 0; i < width; i++)
    bar[i] = i < filled ? '#' : '.';
  bar[width] = 0;
  if (tty)
  {
    fprintf(stderr, "\r%-28s [%s] %3d%%", msg, bar, int(p * 100 + 0.5f));
    bar_open = true;
  }
  else
    fprintf(stderr, "%-28s [%s] %3d%%\n", msg, bar, int(p * 100 + 0.5f));
  fflush(stderr);
}

int run_world_tool(const StartupOptions &opt)
{
  init_app_path();
  debug("app path: '%s'", app_path);
  init_timer();
  game_rnd_seed = opt.seed_given ? opt.seed : uint64_t(get_ref_time());
  set_splash_listener(terminal_splash);
  log_error_messages(false);

  if (mkdir(opt.gen_out, 0755) != 0 && errno != EEXIST)
  {
    fprintf(stderr, "quenmoor: can't create the output directory '%s': %s\n", opt.gen_out, strerror(errno));
    return 1;
  }

  // A script named on the command line is taken relative to the current directory.
  char script[1024] = {};
  if (opt.gen_script)
  {
    char cwd[768];
    if (opt.gen_script[0] != '/' && getcwd(cwd, sizeof(cwd)))
      snprintf(script, sizeof(script), "%s/%s", cwd, opt.gen_script);
    else
      snprintf(script, sizeof(script), "%s", opt.gen_script);
  }

  int rc = 0;
  init_world_gen_vm(opt.gen_script ? script : nullptr);
  if (has_error_message())
    rc = fail_with_script_error("the world script did not load");
  if (!rc)
  {
    generate_world(opt.gen_world);
    if (has_error_message())
      rc = fail_with_script_error("world generation failed");
  }
  if (!rc && opt.steps > 0)
  {
    const float dt = 0.05f;
    for (int s = 0; s < opt.steps && !rc; s++)
    {
      HeightmapData::updateHmap(dt);
      HeightmapData::simWater(dt);
      update_world_script(dt);
      if (has_error_message())
        rc = fail_with_script_error("the world script failed during the water steps");
      if ((s + 1) % 20 == 0 || s + 1 == opt.steps)
        terminal_splash("Simulating water", float(s + 1) / float(opt.steps));
    }
    debug("ran %d water steps", opt.steps);
  }
  end_bar_line();
  if (!rc)
    rc = fail_if_not_finite();
  if (!rc)
  {
    char failed[1024];
    if (write_world_files(opt.gen_out, failed, sizeof(failed)))
      debug("wrote world '%s' into '%s'", opt.gen_world, opt.gen_out);
    else
    {
      fprintf(stderr, "quenmoor: can't write '%s'\n", failed);
      rc = 1;
    }
  }
  set_splash_listener(nullptr);
  log_error_messages(true);
  close_world_gen_vm();
  return rc;
}
