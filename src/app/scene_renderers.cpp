#include "app/scene_renderers.h"

#include "app/app_globals.h"
#include "app/camera.h"
#include "app/scene_frame.h"
#include "app/scene_links.h"
#include "gameobj_host/gameobj_module.h"
#include "gui/dist_font.h"
#include "gui/dist_icons.h"
#include "render/mesh.h"
#include "render/postfx.h"
#include "render/ui_render.h"
#include "script/world_gen_hooks.h"
#include "world_render/common_fx.h"
#include "world_render/fx_script.h"
#include "world_render/inst_objects.h"
#include "world_render/land_render.h"
#include "world_render/shadows.h"
#include "world_render/sky.h"

void init_scene_renderers()
{
  create_scene_image();
  init_sky();
  init_land_render(gfx_quality);
  init_postfx();
  if (gfx_quality == 1)
    init_obj_shadows();
  init_common_fx();
  init_fx_script();
  init_scene_frame(gfx_quality);
  scene_links.render_scene = render_scene;

  // The effects step with the world (the script's update_fx after the pools moved), draw at the
  // end of both paths facing the frame's camera, and vanish with a new world.
  scene_links.update_common_fx = [](float dt) {
    update_common_fx(dt);
    update_fx_script(dt);
  };
  scene_links.render_common_fx = [](float dt, float f) {
    set_common_fx_camera(cur_view_itm);
    render_common_fx(dt, f);
  };
  world_gen_hooks.reset_common_fx = reset_common_fx;

  // The step commits the sky, frames blend it; the development mode's sun follows the view
  // (blended), world generation sets it at once.
  scene_links.sky_step = commit_sky;
  scene_links.sky_frame_update = morph_sky;
  scene_links.set_sun_dir = [](vec4f dir) { set_sky_sun_dir(true, dir); };
  scene_links.get_sun_dir = get_sky_sun_dir;
  world_gen_hooks.set_sun_dir = [](vec4f dir) { set_sky_sun_dir(false, dir); };

  // The land's step traces the flow around the camera; frames build the geometry around the
  // interpolated camera; world generation, resets and the development keys ask for a full upload.
  // House squares go to the module's building renderer when a module provides one.
  scene_links.land_step_update = [] { land_step_update(camPos); };
  scene_links.land_mark_refresh = land_request_full_update;
  scene_links.land_frame_update = [](float dt) {
    land_frame_update(dt, m44_row(cur_view_itm, 3), land_shadow_quality);
  };
  world_gen_hooks.full_land_update = land_request_full_update;
  land_hooks.render_building = [](const HeightmapData::Surface &s, int x, int z) {
    gameobj_call(gameobj_module.render_building, s, x, z);
  };
}

void close_scene_renderers()
{
  scene_links.render_scene = nullptr;
  scene_links.update_common_fx = nullptr;
  scene_links.render_common_fx = nullptr;
  world_gen_hooks.reset_common_fx = nullptr;
  world_gen_hooks.set_sun_dir = nullptr;
  world_gen_hooks.full_land_update = nullptr;
  land_hooks = LandHooks();
  scene_links.land_step_update = nullptr;
  scene_links.land_mark_refresh = nullptr;
  scene_links.land_frame_update = nullptr;
  scene_links.sky_step = nullptr;
  scene_links.sky_frame_update = nullptr;
  scene_links.set_sun_dir = nullptr;
  scene_links.get_sun_dir = nullptr;
  // The instanced renderers were initialised by the module; their meshes and blocks go here.
  close_all_inst_renderers();
  free_inst_blocks();
  free_all_meshes();
  // So were the interface's font, icons, images and boxes (the module's screens load them).
  close_rounded_box_render();
  close_ui_image_render();
  close_dist_icons();
  close_dist_fonts();
  close_scene_frame();
  close_fx_script();
  close_common_fx();
  close_obj_shadows();
  close_postfx();
  close_land_render();
  close_sky();
  release_scene_image();
}
