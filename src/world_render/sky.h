#pragma once
// The sky. Its look lives in two data files beside the program: the script "sky.nut" maps the
// sun's angle from the zenith to ten colour and coefficient vectors, and the shader "sky.sh"
// draws one full-screen quad from them. The engine blends the vectors between simulation steps,
// derives two more, and offers all twelve with the sun direction as the sky registers that every
// renderer lighting the world reads (docs/sky.md lists what each one means).
#include "support/matrix44.h"
#include "support/vec4f.h"

// The sky script, relative to the executable's directory.
constexpr const char *SKY_SCRIPT = "sky.nut";
constexpr int SKY_SCRIPT_VECTORS = 10;  // what get_sky_colors returns
constexpr int SKY_VECTORS = 12;         // the script's ten, then the two derived ones
// The sky registers: (sun direction, cos 20 degrees), then the twelve vectors. The sky shader
// reads them as pixel registers 0..12; the land and water shaders as vertex registers 30..42.
constexpr int SKY_REGISTERS = 1 + SKY_VECTORS;
constexpr float SKY_COS_20 = 0.9396926f;

struct SkyState
{
  vec4f target_sun;                        // normalised, w 0
  vec4f target[SKY_SCRIPT_VECTORS];        // the script's answer for target_sun
  vec4f prev[SKY_SCRIPT_VECTORS];          // the sky of the previous step
  vec4f prev_sun;
  vec4f cur_sun;                           // this frame's blend
  vec4f cur[SKY_VECTORS];
};
extern SkyState sky;

// The sun at start: (0, 1, 3) normalised.
vec4f sky_default_sun();
// The vectors used when the script has no get_sky_colors, and at start when it fails.
extern const vec4f sky_default_vectors[SKY_SCRIPT_VECTORS];

// Device objects, the script machine and the first colours. Fatal when the machine cannot be
// created ("error creating sky script VM") or "sky.nut" does not load ("error in sky script",
// with the reason).
void init_sky();
// Releases everything init_sky made; safe when it never ran.
void close_sky();

// Sets the target sun (normalised; a direction shorter than 1e-6 or not finite keeps the previous
// one) and asks the script for its colours. Unless `deferred`, the sky jumps there at once
// (previous and current take the target); otherwise the frames blend towards it until the next
// commit_sky.
void set_sky_sun_dir(bool deferred, vec4f dir);
// This frame's sky: the previous step's blended towards the target by t (0..1); the sun
// direction is renormalised.
void morph_sky(float t);
// The step's sky becomes the start of the next blend: previous = target.
void commit_sky();
// The once-per-second check: when "sky.nut" or a file it included changed on disk, runs them
// again and recomputes the sky for the current sun. Errors show "Error in sky script:\n<error>"
// on screen and in the log and keep the previous sky. Returns whether a reload was attempted.
bool update_sky_script();

// The sun's angle from the zenith in degrees, acos(dir.y) (0 overhead, 90 on the horizon).
float sky_sun_angle(vec4f dir);
// The current sun direction (w 0).
vec4f get_sky_sun_dir();
// The thirteen sky registers of this frame (see SKY_REGISTERS).
void get_sky_registers(vec4f out[SKY_REGISTERS]);

// Draws the sky quad for the camera whose camera-to-world matrix is `view_itm`. The caller has
// set the view-projection (vertex registers 0..3) and the camera position (vertex register 4),
// and the depth, stencil and wireframe states of its pass.
void render_sky(const Matrix44 &view_itm);
