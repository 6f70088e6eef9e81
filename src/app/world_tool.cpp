#include "app/world_tool.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/output_dir.h"
#include "app/progress_bar.h"
#include "app/startup_options.h"
#include "app/world_names.h"
#include "app/world_pictures.h"
#include "platform/timer.h"
#include "script/world_gen.h"
#include "script/world_script.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/splash.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"

namespace
{
ProgressBar bar;

void end_bar_line() { progress_end_line(bar); }

void terminal_splash(const char *msg, float progress) { progress_show(bar, msg, progress); }

// A log line on the terminal that shows the bar ends the bar's line first.
void end_bar_line_before_log()
{
  if (bar.tty && isatty(fileno(stdout)))
    end_bar_line();
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

// An unknown name is an error when the script lists its worlds: 2, as for a bad switch.
int check_world(const char *name)
{
  char names[512];
  switch (check_world_name(get_world_script_vm(), name, names, sizeof(names)))
  {
  case WorldNameCheck::Any:
  case WorldNameCheck::Known:
    return 0;
  case WorldNameCheck::Unknown:
    fprintf(stderr, "quenmoor: the world script has no world '%s'; its worlds: %s\n", name, names);
    return 2;
  case WorldNameCheck::Malformed:
    break;
  }
  fprintf(stderr, "quenmoor: the world script's world_names must be an array of strings\n");
  return 1;
}
}  // namespace

int run_world_tool(const StartupOptions &opt)
{
  init_app_path();
  debug("app path: '%s'", app_path);
  init_timer();
  game_rnd_seed = opt.seed_given ? opt.seed : uint64_t(get_ref_time());
  // A script named on the command line is taken relative to the current directory. Nothing is
  // cut short here: a shortened path would name another file (the loader refuses a path too long).
  std::string script = opt.gen_script ? opt.gen_script : "";
  if (opt.gen_script && opt.gen_script[0] != '/')
  {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof(cwd)))
    {
      fprintf(stderr, "quenmoor: can't read the current directory: %s\n", strerror(errno));
      return 1;
    }
    script = std::string(cwd) + "/" + script;
  }

  char why[4400];
  if (!prepare_output_dir(opt.gen_out, why, sizeof(why)))
  {
    fprintf(stderr, "quenmoor: %s\n", why);
    return 1;
  }
  bar = ProgressBar{};
  bar.out = stderr;
  bar.tty = isatty(fileno(stderr));
  set_splash_listener(terminal_splash);
  set_log_line_hook(end_bar_line_before_log);
  log_error_messages(false);

  int rc = 0;
  init_world_gen_vm(opt.gen_script ? script.c_str() : nullptr);
  if (has_error_message())
    rc = fail_with_script_error("the world script did not load");
  if (!rc)
    rc = check_world(opt.gen_world);
  if (!rc)
  {
    progress_begin(bar);
    generate_world(opt.gen_world);
    if (has_error_message())
      rc = fail_with_script_error("world generation failed");
  }
  if (!rc && opt.steps > 0)
  {
    const float dt = 0.05f;
    progress_begin(bar);
    int done = 0;
    while (done < opt.steps && !rc)
    {
      HeightmapData::updateHmap(dt);
      HeightmapData::simWater(dt);
      update_world_script(dt);
      done++;
      if (has_error_message())
        rc = fail_with_script_error("the world script failed during the water steps");
      else if (done % 20 == 0 || done == opt.steps)
        terminal_splash("Simulating water", float(done) / float(opt.steps));
    }
    debug("ran %d water step%s", done, done == 1 ? "" : "s");
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
  set_log_line_hook(nullptr);
  log_error_messages(true);
  close_world_gen_vm();
  return rc;
}
