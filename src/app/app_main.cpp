#include "app/app_main.h"

#include <cstdio>

#include "app/app_frame.h"
#include "app/app_globals.h"
#include "app/camera.h"
#include "app/game_mode.h"
#include "app/gui_links.h"
#include "app/input.h"
#include "app/main_loop.h"
#include "app/scene_renderers.h"
#include "app/screenshot.h"
#include "app/shader_messages.h"
#include "app/startup_options.h"
#include "app/startup_settings.h"
#include "app/window_proc.h"
#include "app/world_links.h"
#include "app/world_tool.h"
#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
#include "gameobj_host/gameobj_rebuild.h"
#include "gui/debug_text.h"
#include "platform/gpu_load.h"
#include "platform/sdl_input.h"
#include "platform/sdl_platform.h"
#include "platform/sdl_window_events.h"
#include "platform/timer.h"
#include "platform/window_icon.h"
#include "render/debug_vis.h"
#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/gl_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "script/world_gen.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/splash.h"
#include "terrain/game_rnd.h"
#include "world_render/fx_script.h"
#include "world_render/sky.h"

namespace
{
// The real clock, window and device behind the main loop.
class AppLoopDriver final : public MainLoopDriver
{
public:
  explicit AppLoopDriver(int step_limit) : stepLimit(step_limit) {}

  int64_t counter() override { return get_ref_time(); }
  void processMessages() override { platform_process_events(); }
  bool quitRequested() override { return quit_requested; }
  void update(float dt) override
  {
    game_mode_update(dt);
    // The module's sources are watched every step (a few file times) so that a rebuild starts,
    // and its result is running, soon after a save; the rebuild itself runs beside the game.
    if (check_gameobj_reload())
      rebind_world_gen_gameobj();
    if (stepLimit > 0 && ++stepsDone >= stepLimit)
      quit_requested = true;
  }
  void clearStepInput() override { clear_input_step(); }
  bool checkDevice() override { return check_d3d_device(); }
  bool renderFrame(float dt) override { return render_d3d_frame(dt); }
  void present() override
  {
    take_requested_screenshot();
    present_d3d();
  }
  int sampleGpuActivity() override { return sample_gpu_load(); }
  void sleepMsec(int ms) override { platform_sleep_msec(ms); }
  void oncePerSecond() override
  {
    reload_shaders(false);
    update_sky_script();
    check_fx_script_reload();
    check_world_gen_reload();
  }

private:
  int stepLimit;
  int stepsDone = 0;
};
// The OpenGL device, on the window or headless.
GlBackend gl_backend;

// Size of the offscreen back buffer when no size was requested.
constexpr int HEADLESS_WIDTH = 1280, HEADLESS_HEIGHT = 720;
// Most frames a second in a window, also where a synchronised swap does not wait.
constexpr int MAX_WINDOW_FRAME_RATE = 250;
}  // namespace

// The module's objects go first (they may hold script handles of the closed machine, which
// release as no-ops), then the module is unbound and the lists give back their storage.
static void close_gameobj_module()
{
  gameobj_call(gameobj_module.remove_all_gameobj);
  gameobj_call(gameobj_module.close_spells_ui);
  gameobj_call(gameobj_module.close_gameobj);
  close_gameobj_rebuild();
  unbind_gameobj_module();
  release_gameobj_lists();
}

void close_all_systems()
{
  debug("closing...");
  close_world_gen_vm();
  close_gameobj_module();
  close_debug_vis();
  close_scene_renderers();
  close_debug_text();
  // A fatal error in mid-draw leaves the writer locked: drop that drawing, then release it.
  common_vb_writer.abandon();
  common_vb_writer.close();
  stop_gpu_load_sampling();
  close_d3d();
  set_render_backend(nullptr);
  sdl_window_detach();
  platform_shutdown_video();
  clear_input_step();
  debug("closed all systems");
}

// --screenshot: one more frame of the final state, saved before it is presented.
static bool save_last_frame(const char *path)
{
  if (d3d_state.device)
    flush_gpu();
  if (!render_d3d_frame(time_dt))
  {
    debug("failed to save screenshot to '%s': no frame could be drawn", path);
    return false;
  }
  bool ok = save_screenshot(path);
  present_d3d();
  return ok;
}

static bool create_window(const StartupOptions &opt)
{
  char err[256];
  if (!platform_init_video(err, sizeof(err)))
  {
    fprintf(stderr,
            "quenmoor: no display found (%s); run 'quenmoor --headless' to play without a window\n",
            err);
    return false;
  }
  WindowRequest req;
  req.fullscreen = opt.fullscreen;
  req.width = opt.width;
  req.height = opt.height;
  SDL_Window *window = platform_create_window(req, app_window_title);
  if (!window)
    return false;
  platform_set_window_icon(window, "icon.png");
  int w, h;
  platform_get_client_size(w, h);
  d3d_wd = opt.width > 0 ? opt.width : w;
  d3d_ht = opt.height > 0 ? opt.height : h;
  return true;
}

int app_main(int argc, char **argv)
{
  StartupOptions opt;
  read_startup_settings(opt);
  apply_switches(argc, argv, opt);
  warn_unknown_switches(opt, stderr);
  if (opt.help)
  {
    fputs(startup_help_text(), stdout);
    return 0;
  }
  if (opt.error)
  {
    fprintf(stderr, "quenmoor: %s (see --help)\n", opt.error);
    return 2;
  }
  if (opt.gen_world)
    return run_world_tool(opt);

  init_app_path();
  debug("app path: '%s'", app_path);

  init_timer();
  game_rnd_seed = opt.seed_given ? opt.seed : uint64_t(get_ref_time());
  int64_t startup_time = get_ref_time();

  set_message_box_handler(platform_message_box);
  set_shutdown_handler(close_all_systems);
  platform_install_signal_handlers();

  isFullscreen = opt.fullscreen && !opt.headless;
  if (!opt.headless && !create_window(opt))
  {
    platform_shutdown_video();
    return 1;
  }
  isAppActive = opt.headless;
  init_input(opt.headless ? nullptr : sdl_input_platform());
  if (opt.headless)
  {
    d3d_wd = opt.width > 0 ? opt.width : HEADLESS_WIDTH;
    d3d_ht = opt.height > 0 ? opt.height : HEADLESS_HEIGHT;
  }
  else
    sdl_window_attach(window_proc_events);

  set_render_backend(&gl_backend);
  shader_compiler_disabled = opt.no_shader_compiler;
  d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
  d3d_resource_hooks.release_all_shaders = close_shaders;
  install_resource_hooks();
  connect_shader_messages();
  set_d3d_frame_renderer(app_render_frame);
  set_d3d_after_reset(app_after_device_reset);
  if (!init_d3d(platform_window(), d3d_wd, d3d_ht))
    fatal("can't create the rendering device (OpenGL 3.3 core)");
  common_vb_writer.init(COMMON_VB_WRITER_SIZE);
  start_gpu_load_sampling();
  init_debug_text();
  show_splash("Loading...", -1);

  set_update_rate(20, 5);
  main_loop.one_frame_per_step = opt.headless;
  main_loop.fast = opt.fast;
  set_frame_cap(opt.headless ? 0 : MAX_WINDOW_FRAME_RATE);
  debug("Graphics quality: %s", gfx_quality_name[gfx_quality]);
  if (gfx_quality == 0)
    use_postfx = false;
  init_scene_renderers();
  init_debug_vis();
  debug("game_rnd_seed=%llu;", (unsigned long long)game_rnd_seed);
  setMousePos(float(d3d_wd / 2), float(d3d_ht / 2));

  connect_gui_links();
  load_gameobj_module();
  init_gameobj_rebuild(GAMEOBJ_SOURCE_DIR, GAMEOBJ_ROOT_SOURCE);
  gameobj_call(gameobj_module.init_inst_render);
  gameobj_call(gameobj_module.init_new_gui);
  gameobj_call(gameobj_module.init_spells_ui);
  gameobj_call(gameobj_module.init_gameobj);
  init_world_gen_vm();
  connect_world_links();
  go_to_main_menu();
  camera_to_local_player();
  if (opt.camera_given)
    start_dev_mode_at(opt.camera);

  debug("total start-up time: %d ms", get_time_msec(get_ref_time() - startup_time));
  debug("free video memory: %u MB", get_free_texmem() >> 20);
  log_what_is_not_drawn();

  AppLoopDriver driver(opt.steps);
  run_main_loop(driver);
  quit_game(opt.screenshot && !save_last_frame(opt.screenshot) ? 1 : 0);
}
