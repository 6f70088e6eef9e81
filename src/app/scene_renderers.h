#pragma once
// The scene resources of start-up, in their order: the scene image, the sky, the land and water
// renderer, the post-effects and at high quality the object shadows, and the links through which
// the game modes and world generation reach the sky and the land. Shutdown releases them in
// reverse, with the instanced renderers the module initialised and their meshes.
//
// Drawing them is the scene frame's (scene_links.render_scene, not connected yet): inside the
// scene image it draws the land (draw_land, draw_water, and draw_horizon in the deferred path),
// the sky with render_sky(cur_view_itm) after them, stencil limited to open sky, and ends with
// render_postfx(frame_color, {use_postfx, use_ppaa, use_wireframe}).

void init_scene_renderers();
void close_scene_renderers();
