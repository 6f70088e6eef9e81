#pragma once
// The one rendering device of the program: creation for the main window (or the headless
// offscreen back buffer), the per-frame scene, device loss and reset (also used for window
// resizes and the full-screen switch), the scene depth surface, render-target switching and the
// exported render-state functions. Every call goes to the active RenderBackend.
#include <cstdint>

#include "render/backend.h"
#include "render/d3d_types.h"
#include "support/export.h"

struct Texture;

// Back buffer size in pixels.
QM_EXPORT extern int d3d_wd, d3d_ht;
// Full screen: set before init_d3d for a full-screen start, then switched by resize_d3d.
QM_EXPORT extern bool isFullscreen;
// Presents wait for the vertical retrace.
QM_EXPORT extern bool app_use_vsync;
// When set, a frame is skipped while the GPU has not finished the frame issued two frames earlier.
QM_EXPORT extern bool d3d_limit_buffered_frames;

// Device-wide state of the device layer (read by the tests and the texture and buffer services).
struct D3dDeviceState
{
  bool object = false;  // the API object exists
  bool device = false;  // the device exists
  uint32_t back_buffer_format = D3DFMT_UNKNOWN;
  SurfaceHandle scene_depth;
  SurfaceHandle scene_color;
  bool use_scene_color = false;  // separate scene colour surface (disabled in this program)
  bool multisample_requested = false;  // never requested here: anti-aliasing is post-processing
  bool multisample = false;
  uint32_t multisample_quality = 0;
  QueryHandle frame_query[2] = {};
  QueryHandle flush_query;
  int frame_counter = 0;  // 0 or 1: selects the frame query
  // A reset failed: no frame is drawn until check_d3d_device retries it successfully.
  bool reset_pending = false;
  int pending_wd = 0, pending_ht = 0;
  bool pending_fullscreen = false;
};
extern D3dDeviceState d3d_state;

// The backend every device call goes to. Must be set before init_d3d.
void set_render_backend(RenderBackend *backend);
RenderBackend *get_render_backend();

// Services of the texture, buffer, declaration and shader tables that the device life calls at
// close and around a reset. Unset entries are skipped.
struct D3dResourceHooks
{
  void (*release_all_textures)() = nullptr;
  void (*release_all_buffers)() = nullptr;
  void (*release_all_vdecls)() = nullptr;
  void (*release_all_shaders)() = nullptr;
  void (*release_dynamic_buffers)() = nullptr;
  void (*release_default_pool_textures)() = nullptr;
  void (*recreate_default_pool_textures)() = nullptr;
  void (*recreate_dynamic_buffers)() = nullptr;
  void (*load_shader_compiler)() = nullptr;
};
extern D3dResourceHooks d3d_resource_hooks;

// Application seams: the frame renderer called inside the scene, the reaction to a successful
// reset, and the splash screen drawer.
using D3dFrameRenderFn = void (*)(float dt);
using D3dCallbackFn = void (*)();
void set_d3d_frame_renderer(D3dFrameRenderFn fn);
void set_d3d_after_reset(D3dCallbackFn fn);
void set_d3d_splash_drawer(D3dCallbackFn fn);

// Format of a render-target kind (1..8); D3DFMT_UNKNOWN for any other kind.
uint32_t get_render_target_format(int kind);

// Device life.
bool init_d3d(void *window, int width, int height);
void close_d3d();
bool resize_d3d(int width, int height, bool fullscreen, bool force);
bool check_d3d_device();
bool render_d3d_frame(float dt);
void present_d3d();
void draw_splash_frame();

// Render targets.
void set_render_target(Texture *tex, int index, bool useSceneDepth);
void restore_back_buffer();
void copy_texture(Texture *from, Texture *to);
QM_EXPORT void draw_postfx();

// Drawing (buffers and declarations are bound by the texture and buffer services).
void draw_indexed(uint32_t type, int baseVertex, uint32_t minIndex, uint32_t numVertices,
                  uint32_t startIndex, uint32_t primCount);
void draw_prim(uint32_t type, uint32_t startVertex, uint32_t primCount);

// Render state; each call goes straight to the device.
QM_EXPORT void clear_view(uint32_t color);
QM_EXPORT void clear_view_color(uint32_t color);
QM_EXPORT void clear_view_z();
QM_EXPORT void set_viewport(int x, int y, int w, int h);
QM_EXPORT void set_view_tm(const D3dMatrix &m);
QM_EXPORT void set_proj_tm(const D3dMatrix &m);
QM_EXPORT void set_proj_tm(float fov, float aspect, float znear, float zfar);
QM_EXPORT void get_glob_tm(D3dMatrix &m);
QM_EXPORT void set_blend_none();
QM_EXPORT void set_blend_additive();
QM_EXPORT void set_blend_smooth_add();
QM_EXPORT void set_blend_alpha();
QM_EXPORT void set_blend_prealpha();
QM_EXPORT void set_blend_multiply();
QM_EXPORT void set_atest(int ref);
QM_EXPORT void set_cull_mode(int mode);
QM_EXPORT void set_zenable(bool on);
QM_EXPORT void set_zwrite(bool on);
QM_EXPORT void set_color_write_mask(uint32_t mask);
QM_EXPORT void set_wireframe(bool on);
QM_EXPORT void set_stencil_test(uint32_t mask, uint32_t ref, uint32_t func);
QM_EXPORT void set_stencil_replace_bits(uint32_t bits);
QM_EXPORT void flush_gpu();
QM_EXPORT uint32_t get_free_texmem();
QM_EXPORT void set_instancing(int n);

// Default sampler state on all 16 samplers: linear filtering, clamp addressing.
void set_default_sampler_states();
