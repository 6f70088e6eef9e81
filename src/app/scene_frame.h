#pragma once
// The scene frame: what every game mode's render draws after the camera set-up. It writes the
// registers shared by all renderers, draws the world by the forward path (gfx_quality 0) or the
// deferred path (1), then hands the scene image to the post-effects. docs/scene_frame.md gives
// the order, the stencil values and the layout of the deferred targets.
#include "support/vec4f.h"

// The deferred path's two shaders, "dr_calc_light.sh" and "dr_final.sh" (high quality only;
// fatal when they cannot be built). close_scene_frame is safe when init never ran.
void init_scene_frame(int quality);
void close_scene_frame();

// One frame: dt the time since the last step, f the clamped fraction, the blended frame colour.
void render_scene(float dt, float f, vec4f frame_color);
