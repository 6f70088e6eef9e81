#pragma once
// The renderers and overlays the game modes drive, one entry per call. Null entries are skipped,
// so the modes run before (and without) the renderers; each renderer fills its entries when it
// starts.
#include "support/vec4f.h"

struct SceneLinks
{
  // Land and water renderer: per-step update, refresh mark (redraw everything on the next frame),
  // per-frame update with the time since the last step.
  void (*land_step_update)();
  void (*land_mark_refresh)();
  void (*land_frame_update)(float dt);
  // Sky: per-step blend, sun direction, per-frame update with the interpolation fraction.
  void (*sky_step)();
  void (*set_sun_dir)(vec4f dir);
  vec4f (*get_sun_dir)();
  void (*sky_frame_update)(float f);
  // Common effects: the step, and the drawing at the end of both paths of the scene frame (after
  // the debug drawing, into the scene image, with the render's dt and the clamped fraction f).
  // Empty until the effects exist.
  void (*update_common_fx)(float dt);
  void (*render_common_fx)(float dt, float f);
  // The drawing paths of the scene frame after the camera set-up: forward or deferred world
  // drawing and the post-effects, with the render's dt, the clamped fraction f and the frame
  // colour for the post-effects.
  void (*render_scene)(float dt, float f, vec4f frame_color);
};

extern SceneLinks scene_links;
