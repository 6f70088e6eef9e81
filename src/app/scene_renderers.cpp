#include "app/scene_renderers.h"

#include "app/app_globals.h"
#include "app/scene_links.h"
#include "render/mesh.h"
#include "render/postfx.h"
#include "script/world_gen_hooks.h"
#include "world_render/inst_objects.h"
#include "world_render/shadows.h"
#include "world_render/sky.h"

void init_scene_renderers()
{
  create_scene_image();
  init_sky();
  init_postfx();
  if (gfx_quality == 1)
    init_obj_shadows();

  // The step commits the sky, frames blend it; the development mode's sun follows the view
  // (blended), world generation sets it at once.
  scene_links.sky_step = commit_sky;
  scene_links.sky_frame_update = morph_sky;
  scene_links.set_sun_dir = [](vec4f dir) { set_sky_sun_dir(true, dir); };
  scene_links.get_sun_dir = get_sky_sun_dir;
  world_gen_hooks.set_sun_dir = [](vec4f dir) { set_sky_sun_dir(false, dir); };
}

void close_scene_renderers()
{
  world_gen_hooks.set_sun_dir = nullptr;
  scene_links.sky_step = nullptr;
  scene_links.sky_frame_update = nullptr;
  scene_links.set_sun_dir = nullptr;
  scene_links.get_sun_dir = nullptr;
  // The instanced renderers were initialised by the module; their meshes and blocks go here.
  close_all_inst_renderers();
  free_inst_blocks();
  free_all_meshes();
  close_obj_shadows();
  close_postfx();
  close_sky();
  release_scene_image();
}
