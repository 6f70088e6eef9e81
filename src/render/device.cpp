// Device life: creation, close, reset (resize and full-screen switch), loss, frames and render
// targets. The logic lives here; the backend only performs single operations.
#include "render/device.h"

#include "render/texture.h"
#include "support/debug.h"

int d3d_wd = 0, d3d_ht = 0;
bool isFullscreen = false;
bool app_use_vsync = true;
bool d3d_limit_buffered_frames = true;
D3dDeviceState d3d_state;
D3dResourceHooks d3d_resource_hooks;

static RenderBackend *backend = nullptr;
static D3dFrameRenderFn frame_renderer = nullptr;
static D3dCallbackFn after_reset = nullptr;
static D3dCallbackFn splash_drawer = nullptr;

static constexpr int MAX_SAMPLERS = 16;
static constexpr int MAX_STREAMS = 16;
static constexpr uint32_t MULTISAMPLE_NONMASKABLE = 1;

void set_render_backend(RenderBackend *b) { backend = b; }
RenderBackend *get_render_backend() { return backend; }
void set_d3d_frame_renderer(D3dFrameRenderFn fn) { frame_renderer = fn; }
void set_d3d_after_reset(D3dCallbackFn fn) { after_reset = fn; }
void set_d3d_splash_drawer(D3dCallbackFn fn) { splash_drawer = fn; }

uint32_t get_render_target_format(int kind)
{
  switch (kind)
  {
    case 1: return D3DFMT_A8R8G8B8;
    case 2: return D3DFMT_G16R16;
    case 3: return D3DFMT_R16F;
    case 4: return D3DFMT_G16R16F;
    case 5: return D3DFMT_A16B16G16R16F;
    case 6: return D3DFMT_R32F;
    case 7: return D3DFMT_G32R32F;
    case 8: return D3DFMT_A32B32G32R32F;
    default: return D3DFMT_UNKNOWN;
  }
}

uint32_t prim_vertex_count(uint32_t type, uint32_t n)
{
  switch (type)
  {
    case D3DPT_POINTLIST: return n;
    case D3DPT_LINELIST: return n * 2;
    case D3DPT_LINESTRIP: return n ? n + 1 : 0;
    case D3DPT_TRIANGLELIST: return n * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return n ? n + 2 : 0;
    default: return 0;
  }
}

static void call_hook(void (*fn)())
{
  if (fn)
    fn();
}

// Presentation parameters for creation and every reset. Full-screen takes the display mode's size.
static void build_present_params(PresentParams &pp, int width, int height, bool fullscreen)
{
  pp = PresentParams();
  pp.swapEffect = D3DSWAPEFFECT_DISCARD;
  pp.windowed = !fullscreen;
  pp.presentationInterval = app_use_vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
  pp.enableAutoDepthStencil = false;

  DisplayMode mode;
  if (!backend->getDisplayMode(mode))
    mode = DisplayMode();
  pp.backBufferFormat = mode.format;
  pp.backBufferWidth = fullscreen ? mode.width : width;
  pp.backBufferHeight = fullscreen ? mode.height : height;

  uint32_t levels = 0;
  if (d3d_state.multisample_requested && backend->checkMultisample(mode.format, !fullscreen, levels) &&
      levels > 0)
  {
    d3d_state.multisample_quality = levels - 1;
    d3d_state.multisample = true;
    debug("AA quality %d", int(levels));
  }
  else
  {
    d3d_state.multisample = false;
    d3d_state.multisample_quality = 0;
  }
  pp.multiSampleType = d3d_state.multisample ? MULTISAMPLE_NONMASKABLE : 0;
  pp.multiSampleQuality = d3d_state.multisample_quality;
}

static bool create_scene_surfaces()
{
  uint32_t ms = d3d_state.multisample ? MULTISAMPLE_NONMASKABLE : 0;
  if (d3d_state.use_scene_color)
  {
    HRESULT32 hr = backend->createRenderTargetSurface(d3d_wd, d3d_ht, D3DFMT_A8R8G8B8, ms,
                                                      d3d_state.multisample_quality, false,
                                                      d3d_state.scene_color);
    if (hr != D3D_OK)
    {
      debug("FAILED to create scene render target surface (code 0x%08X)", hr);
      return false;
    }
  }
  HRESULT32 hr = backend->createDepthStencilSurface(d3d_wd, d3d_ht, D3DFMT_D24S8, ms,
                                                    d3d_state.multisample_quality, false,
                                                    d3d_state.scene_depth);
  if (hr != D3D_OK)
  {
    debug("FAILED to create scene z-buffer surface (code 0x%08X)", hr);
    return false;
  }
  return true;
}

static void release_scene_surfaces()
{
  if (d3d_state.scene_depth)
    backend->releaseSurface(d3d_state.scene_depth);
  if (d3d_state.scene_color)
    backend->releaseSurface(d3d_state.scene_color);
  d3d_state.scene_depth = d3d_state.scene_color = {};
}

// The frame queries are issued once at creation so that the first wait on each passes.
static void create_queries()
{
  for (QueryHandle &q : d3d_state.frame_query)
  {
    if (backend->createEventQuery(q) != D3D_OK)
      q = {};
    else
      backend->issueQuery(q);
  }
  if (backend->createEventQuery(d3d_state.flush_query) != D3D_OK)
    d3d_state.flush_query = {};
}

static void release_queries()
{
  for (QueryHandle &q : d3d_state.frame_query)
  {
    if (q)
      backend->releaseQuery(q);
    q = {};
  }
  if (d3d_state.flush_query)
    backend->releaseQuery(d3d_state.flush_query);
  d3d_state.flush_query = {};
}

void set_default_sampler_states()
{
  for (int s = 0; s < MAX_SAMPLERS; s++)
  {
    backend->setSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    backend->setSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    backend->setSamplerState(s, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    backend->setSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    backend->setSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    backend->setSamplerState(s, D3DSAMP_ADDRESSW, D3DTADDRESS_CLAMP);
  }
}

bool init_d3d(void *window, int width, int height)
{
  close_d3d();
  if (!backend || !backend->createObject())
    return false;
  d3d_state.object = true;

  PresentParams pp;
  build_present_params(pp, width, height, isFullscreen);

  if (backend->createDevice(window, true, pp) != D3D_OK)
  {
    debug("failed HARDWARE_VERTEXPROCESSING, trying software one");
    if (backend->createDevice(window, false, pp) != D3D_OK)
    {
      close_d3d();
      return false;
    }
  }
  d3d_state.device = true;
  d3d_state.reset_pending = false;
  d3d_wd = pp.backBufferWidth;
  d3d_ht = pp.backBufferHeight;
  d3d_state.back_buffer_format = pp.backBufferFormat;

  if (!create_scene_surfaces())
  {
    close_d3d();
    return false;
  }
  create_queries();
  d3d_state.frame_counter = 0;
  set_default_sampler_states();
  call_hook(d3d_resource_hooks.load_shader_compiler);
  debug("init d3d ok (%dx%d)", d3d_wd, d3d_ht);
  return true;
}

void close_d3d()
{
  debug("close d3d");
  if (backend)
    release_queries();
  call_hook(d3d_resource_hooks.release_all_textures);
  call_hook(d3d_resource_hooks.release_all_buffers);
  call_hook(d3d_resource_hooks.release_all_vdecls);
  call_hook(d3d_resource_hooks.release_all_shaders);
  if (backend)
    release_scene_surfaces();
  if (d3d_state.device)
    backend->releaseDevice();
  if (d3d_state.object)
    backend->releaseObject();
  d3d_state.device = d3d_state.object = false;
  d3d_state.reset_pending = false;
  d3d_state.frame_counter = 0;
}

static const char *mode_name(bool fullscreen) { return fullscreen ? "fullscreen" : "windowed"; }

// No frame is drawn until check_d3d_device retries the reset to this size and mode successfully.
static void set_reset_pending(int width, int height, bool fullscreen)
{
  d3d_state.reset_pending = true;
  d3d_state.pending_wd = width;
  d3d_state.pending_ht = height;
  d3d_state.pending_fullscreen = fullscreen;
}

bool resize_d3d(int width, int height, bool fullscreen, bool force)
{
  if (!d3d_state.device)
    return false;
  if (width == 0)
    width = d3d_wd;
  if (height == 0)
    height = d3d_ht;
  // A pending reset must still happen even when nothing else changes.
  if (!force && !d3d_state.reset_pending && width == d3d_wd && height == d3d_ht &&
      fullscreen == isFullscreen)
    return true;

  debug("=== resizing d3d to %dx%d %s", width, height, mode_name(fullscreen));

  // Everything in the default pool goes before the reset.
  backend->setIndices({});
  for (int i = 0; i < MAX_STREAMS; i++)
    backend->setStreamSource(i, {}, 0, 0);
  call_hook(d3d_resource_hooks.release_dynamic_buffers);
  call_hook(d3d_resource_hooks.release_default_pool_textures);
  release_queries();
  release_scene_surfaces();

  isFullscreen = fullscreen;
  PresentParams pp;
  build_present_params(pp, width, height, fullscreen);
  HRESULT32 hr = backend->reset(pp);
  if (hr != D3D_OK)
  {
    debug("Reset failed (code 0x%08X)", hr);
    set_reset_pending(width, height, fullscreen);
    return false;
  }

  d3d_wd = pp.backBufferWidth;
  d3d_ht = pp.backBufferHeight;
  d3d_state.back_buffer_format = pp.backBufferFormat;
  call_hook(d3d_resource_hooks.recreate_default_pool_textures);
  call_hook(d3d_resource_hooks.recreate_dynamic_buffers);
  if (!create_scene_surfaces())
  {
    debug("failed to recreate scene RT");
    // The device cannot draw a scene without its depth surface: retry like a failed reset.
    set_reset_pending(width, height, fullscreen);
    return false;
  }
  d3d_state.reset_pending = false;
  create_queries();
  d3d_state.frame_counter = 0;
  set_default_sampler_states();

  debug("resized d3d to %dx%d %s", d3d_wd, d3d_ht, mode_name(isFullscreen));
  call_hook(after_reset);
  return true;
}

bool check_d3d_device()
{
  if (!d3d_state.device)
    return false;
  if (d3d_state.reset_pending)
    return resize_d3d(d3d_state.pending_wd, d3d_state.pending_ht, d3d_state.pending_fullscreen,
                      true);
  HRESULT32 hr = backend->testCooperativeLevel();
  if (hr == D3D_OK)
    return true;
  if (hr == D3DERR_DEVICENOTRESET)
    return resize_d3d(d3d_wd, d3d_ht, isFullscreen, true);
  return false;
}

bool render_d3d_frame(float dt)
{
  if (!d3d_state.device || d3d_state.reset_pending)
    return false;
  QueryHandle q = d3d_state.frame_query[d3d_state.frame_counter];
  if (d3d_limit_buffered_frames && q && backend->getQueryData(q, true) != D3D_OK)
    return false;  // the GPU still works on the frame issued two frames ago (or is lost)
  if (backend->beginScene() != D3D_OK)
    return false;

  backend->setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  backend->setRenderState(D3DRS_LIGHTING, 0);
  backend->setTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  backend->setTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  backend->setTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  backend->setTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  backend->setTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  backend->setTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);

  if (frame_renderer)
    frame_renderer(dt);

  backend->endScene();
  if (q)
    backend->issueQuery(q);
  d3d_state.frame_counter ^= 1;
  return true;
}

void present_d3d()
{
  if (d3d_state.device)
    backend->present();
}

void draw_splash_frame()
{
  if (!d3d_state.device || d3d_state.reset_pending)
    return;
  if (backend->beginScene() != D3D_OK)
    return;
  backend->setRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  if (splash_drawer)
    splash_drawer();
  backend->endScene();
  backend->present();
}

void set_render_target(Texture *tex, int index, bool useSceneDepth)
{
  if (!tex)
  {
    backend->setRenderTarget(index, {});
    return;
  }
  backend->setRenderTarget(index, tex->tex);
  if (index == 0)
    backend->setDepthStencilSurface(useSceneDepth ? d3d_state.scene_depth : SurfaceHandle{});
}

void restore_back_buffer()
{
  backend->setRenderTarget(0, GPU_BACK_BUFFER);
  backend->setDepthStencilSurface({});
}

void copy_texture(Texture *from, Texture *to)
{
  TextureHandle fromTex = from ? from->tex : TextureHandle{};
  TextureHandle toTex = to ? to->tex : TextureHandle{};
  G_ASSERT(fromTex);
  G_ASSERT(toTex);
  backend->stretchRect(fromTex, toTex, D3DTEXF_POINT);
}

void draw_postfx()
{
  static const float quad[4][3] = {{-1, -1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
  backend->setFvf(D3DFVF_XYZ);
  backend->drawPrimitiveUp(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(quad[0]));
}

void draw_indexed(uint32_t type, int baseVertex, uint32_t minIndex, uint32_t numVertices,
                  uint32_t startIndex, uint32_t primCount)
{
  if (primCount == 0)
    return;
  HRESULT32 hr = backend->drawIndexedPrimitive(type, baseVertex, minIndex, numVertices, startIndex,
                                               primCount);
  if (hr != D3D_OK)
    fatal("draw_indexed failed (code 0x%08X)", hr);
}

void draw_prim(uint32_t type, uint32_t startVertex, uint32_t primCount)
{
  if (primCount == 0)
    return;
  HRESULT32 hr = backend->drawPrimitive(type, startVertex, primCount);
  if (hr != D3D_OK)
    fatal("draw_prim failed (code 0x%08X)", hr);
}
