#pragma once
// Post-effects: the scene image every frame is drawn into, the screen-sized targets that the
// anti-aliasing uses and the effects borrow, the edge-detecting anti-aliasing (MLAA) in the scene
// image's place, and the final pass onto the back buffer with the frame colour's tint.
// docs/postfx.md describes the passes and the channel layout of the targets.
#include "support/vec4f.h"

struct Texture;

struct PostfxTargets
{
  Texture *scene = nullptr;  // the scene image
  // 8-bit RGBA: A the edge image (the effects' second target), B the anti-aliasing output (the
  // effects' first target), C and D the run lengths.
  Texture *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
  Texture *fp = nullptr;  // RGBA16F that can be blended into (the effects' single target), or null
};
// The current assignment. Each anti-aliased frame exchanges which texture plays B, C, D and the
// scene image, so users always go through this table, never through a kept pointer.
extern PostfxTargets postfx_rt;

// Whether the device can blend into RGBA16F targets. OpenGL 3.3 always can; switching it off
// before init_postfx leaves FP out, so the effects' two-target path stays tested.
extern bool postfx_allow_fp_blend;

// What the frame asks of the post-effects (the application's use_postfx, use_ppaa and
// use_wireframe).
struct PostfxFlags
{
  bool postfx = false;     // the post-effect shader, else a plain copy
  bool ppaa = false;       // anti-aliasing
  bool wireframe = false;  // forces the plain copy
};

// The scene image: an 8-bit RGBA render target of the back buffer's size that follows resets;
// fatal "can't create scene image texture" when the device refuses it.
void create_scene_image();
void release_scene_image();

// Creates A, B, C, D (fatal "can't create textures for post-effect" when any fails), FP when
// allowed and possible, and the nine shaders; shows its steps on the splash screen.
void init_postfx();
// Destroys the shaders and releases FP, A, C, D and B; safe when init_postfx never ran.
void close_postfx();
// The last step of every 3D frame: anti-aliasing when asked (the result becomes the scene
// image), then the final pass from the scene image onto the back buffer, tinted towards
// frame_color.rgb by frame_color.a. Leaves the back buffer bound, culling at its default and
// the samplers it used at linear filtering with clamp addressing.
void render_postfx(vec4f frame_color, PostfxFlags flags);
