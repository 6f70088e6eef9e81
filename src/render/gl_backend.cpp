#include "render/gl_backend.h"

#include <epoxy/gl.h>
#include <unistd.h>

#include <cstring>

#include "render/gl_context.h"
#include "render/gl_formats.h"
#include "support/debug.h"

static constexpr int MAX_TARGETS = 4;
static constexpr int MAX_UNITS = 16;

enum class ObjKind : uint8_t { None, Texture, Renderbuffer, Fence, VertexShader, PixelShader, Buffer, Decl };

struct GlBackend::Object
{
  ObjKind kind = ObjKind::None;
  GLuint name = 0;
  GLsync fence = nullptr;
  int w = 0, h = 0, levels = 0;
  uint32_t format = 0;
  // Buffers: size in bytes; textures: the level being written through a lock (-1: none).
  uint32_t size = 0;
  bool dynamic = false;
  int locked_level = -1;
  std::vector<uint8_t> staging;
  std::vector<D3dVertexElement> elems;  // declarations, end marker included
};

// A vertex and pixel shader pair linked into one program, with the constant versions it holds.
struct ShaderProgram
{
  GpuHandle vs = 0, ps = 0;
  GLuint program = 0;
  GLint vs_loc = -1, ps_loc = -1;  // the register arrays "vs_c" and "ps_c"
  int vs_size = 0, ps_size = 0;    // their declared lengths
  uint32_t vs_version = 0, ps_version = 0;
};

// Device state kept on the CPU side: what Direct3D would hold and OpenGL has no place for.
struct GlBackend::State
{
  bool device = false;
  int bb_w = 0, bb_h = 0;
  GLuint bb_fbo = 0, bb_color = 0;  // headless back buffer
  GLuint rt_fbo = 0, blit_fbo[2] = {};
  GLuint vao = 0, up_vbo = 0, ubo = 0;
  GLuint builtin_program = 0, program = 0;
  GLuint samplers[MAX_UNITS] = {};
  GpuHandle bound_tex[MAX_UNITS] = {};
  // Shaders and the constant register files: device state uploaded to the drawing program
  // whenever it holds older values, whichever program was bound when a constant was set.
  GpuHandle vs = 0, ps = 0;
  std::vector<ShaderProgram> programs;
  float vs_c[MAX_VS_CONSTS][4] = {};
  float ps_c[MAX_PS_CONSTS][4] = {};
  int vs_used = 0, ps_used = 0;  // registers below this were ever set
  uint32_t vs_version = 1, ps_version = 1;
  uint32_t sampler_state[MAX_UNITS][8] = {};

  GpuHandle targets[MAX_TARGETS] = {GPU_BACK_BUFFER};
  GpuHandle depth = 0;
  bool targets_dirty = true;
  D3dViewport viewport;

  uint32_t cull = D3DCULL_CCW;
  uint32_t src_blend = D3DBLEND_ONE, dst_blend = D3DBLEND_ZERO;
  uint32_t atest_enable = 0, atest_ref = 0, atest_func = D3DCMP_ALWAYS;
  uint32_t stencil_func = D3DCMP_ALWAYS, stencil_ref = 0, stencil_mask = 0xFFFFFFFFu;
  uint32_t stencil_fail = D3DSTENCILOP_KEEP, stencil_zfail = D3DSTENCILOP_KEEP,
           stencil_pass = D3DSTENCILOP_KEEP;
  uint32_t stencil_write = 0xFFFFFFFFu;
  uint32_t color_write = 0xF;
  bool zwrite = true;
  uint32_t fvf = 0;
  uint32_t stream_freq[2] = {1, 1};
  D3dMatrix transforms[2];
  uint32_t tss[8][8] = {};

  // Vertex input: the streams, the index buffer and the declaration (or the fixed format of
  // drawing from memory, whichever was set last).
  struct Stream
  {
    GpuHandle vb = 0;
    uint32_t offset = 0, stride = 0;
  } streams[16];
  GpuHandle ib = 0;
  GpuHandle decl = 0;
  bool decl_active = false;
};

const char *const gl_device_glsl = R"(
layout(std140) uniform QmDevice
{
  vec4 qm_vpos_fix;  // half-pixel offset x, y; y sign of the target; 1
  vec4 qm_atest;     // alpha test on, reference 0..255, comparison function
};
#ifdef VSH
vec4 qm_device_position(vec4 p)
{
  p.xy += qm_vpos_fix.xy * p.w;
  p.y *= qm_vpos_fix.z;
  p.z = 2.0 * p.z - p.w;
  return p;
}
#endif
#ifdef PSH
void qm_alpha_test(float alpha)
{
  if (qm_atest.x < 0.5)
    return;
  float a = floor(clamp(alpha, 0.0, 1.0) * 255.0 + 0.5);
  float r = qm_atest.y;
  int f = int(qm_atest.z);
  bool pass = f == 8 || (f == 2 && a < r) || (f == 3 && a == r) || (f == 4 && a <= r) ||
              (f == 5 && a > r) || (f == 6 && a != r) || (f == 7 && a >= r);
  if (!pass)
    discard;
}
#endif
)";

static const char *const builtin_vs = R"(
layout(location = 0) in vec3 in_pos;
layout(location = 2) in vec4 in_color;
out vec4 v_color;
void main()
{
  v_color = in_color;
  gl_Position = qm_device_position(vec4(in_pos, 1.0));
}
)";

static const char *const builtin_ps = R"(
in vec4 v_color;
out vec4 out_color;
void main()
{
  qm_alpha_test(v_color.a);
  out_color = v_color;
}
)";

static GLuint compile_stage(GLenum type, const char *define, const char *body)
{
  const char *src[] = {"#version 330 core\n", define, gl_device_glsl, body};
  GLuint sh = glCreateShader(type);
  glShaderSource(sh, 4, src, nullptr);
  glCompileShader(sh);
  GLint ok = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  if (!ok)
  {
    char log[1024];
    glGetShaderInfoLog(sh, sizeof(log), nullptr, log);
    debug("built-in shader: %s", log);
  }
  return sh;
}

static GLuint build_builtin_program()
{
  GLuint vs = compile_stage(GL_VERTEX_SHADER, "#define VSH 1\n", builtin_vs);
  GLuint ps = compile_stage(GL_FRAGMENT_SHADER, "#define PSH 1\n", builtin_ps);
  GLuint p = glCreateProgram();
  glAttachShader(p, vs);
  glAttachShader(p, ps);
  glLinkProgram(p);
  glDeleteShader(vs);
  glDeleteShader(ps);
  GlBackend::prepareProgram(p);
  return p;
}

static GLenum gl_blend(uint32_t b)
{
  switch (b)
  {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

static GLenum gl_cmp(uint32_t f)
{
  switch (f)
  {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

static GLenum gl_stencil_op(uint32_t op)
{
  switch (op)
  {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

static GLenum gl_prim(uint32_t type)
{
  switch (type)
  {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

GlBackend::GlBackend() : st(new State) {}

GlBackend::~GlBackend()
{
  releaseDevice();
  delete st;
}

GpuHandle GlBackend::add(const Object &o)
{
  if (!free_handles.empty())
  {
    GpuHandle h = free_handles.back();
    free_handles.pop_back();
    objects[h - 1] = o;
    return h;
  }
  objects.push_back(o);
  return GpuHandle(objects.size());
}

GlBackend::Object *GlBackend::get(GpuHandle h)
{
  if (h == 0 || h > objects.size() || objects[h - 1].kind == ObjKind::None)
    return nullptr;
  return &objects[h - 1];
}

const GlBackend::Object *GlBackend::get(GpuHandle h) const
{
  return const_cast<GlBackend *>(this)->get(h);
}

void GlBackend::remove(GpuHandle h)
{
  if (!get(h))
    return;
  objects[h - 1] = Object();
  free_handles.push_back(h);
}

void GlBackend::prepareProgram(uint32_t program)
{
  GLuint idx = glGetUniformBlockIndex(program, "QmDevice");
  if (idx != GL_INVALID_INDEX)
    glUniformBlockBinding(program, idx, GL_DEVICE_UBO_BINDING);
}

void GlBackend::useProgram(uint32_t program) { st->program = program; }

uint32_t GlBackend::glTextureName(GpuHandle tex) const
{
  const Object *o = get(tex);
  return o && o->kind == ObjKind::Texture ? o->name : 0;
}

bool GlBackend::headless() const { return gl_context_is_headless(); }

bool GlBackend::createObject() { return true; }
void GlBackend::releaseObject() {}

bool GlBackend::getDisplayMode(DisplayMode &mode) { return gl_context_display_mode(mode); }

bool GlBackend::checkMultisample(uint32_t, bool, uint32_t &qualityLevels)
{
  qualityLevels = 0;
  return false;  // anti-aliasing is done by post-processing
}

HRESULT32 GlBackend::createDevice(void *window, bool hw, const PresentParams &pp)
{
  // OpenGL has no separate software vertex processing: the second attempt cannot do better.
  if (!hw)
    return D3DERR_NOTAVAILABLE;
  if (!gl_context_create(window))
    return D3DERR_NOTAVAILABLE;
  createDeviceObjects(pp);
  return D3D_OK;
}

void GlBackend::createDeviceObjects(const PresentParams &pp)
{
  State &s = *st;
  s = State();
  s.device = true;
  glGenVertexArrays(1, &s.vao);
  glBindVertexArray(s.vao);
  glGenBuffers(1, &s.up_vbo);
  glGenBuffers(1, &s.ubo);
  glBindBuffer(GL_UNIFORM_BUFFER, s.ubo);
  glBufferData(GL_UNIFORM_BUFFER, 8 * sizeof(float), nullptr, GL_DYNAMIC_DRAW);
  glBindBufferBase(GL_UNIFORM_BUFFER, GL_DEVICE_UBO_BINDING, s.ubo);
  glGenFramebuffers(1, &s.rt_fbo);
  glGenFramebuffers(2, s.blit_fbo);
  glGenSamplers(MAX_UNITS, s.samplers);
  for (int i = 0; i < MAX_UNITS; i++)
  {
    glBindSampler(GLuint(i), s.samplers[i]);
    s.sampler_state[i][D3DSAMP_ADDRESSU] = s.sampler_state[i][D3DSAMP_ADDRESSV] =
        s.sampler_state[i][D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    s.sampler_state[i][D3DSAMP_MAGFILTER] = s.sampler_state[i][D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    s.sampler_state[i][D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    applySampler(i);
  }
  s.builtin_program = build_builtin_program();

  // Direct3D's initial render state.
  glDisable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  glDisable(GL_STENCIL_TEST);
  glStencilFunc(GL_ALWAYS, 0, 0xFFFFFFFFu);
  glStencilMask(0xFFFFFFFFu);
  glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glDisable(GL_FRAMEBUFFER_SRGB);
  glCullFace(GL_BACK);
  resizeBackBuffer(pp.backBufferWidth, pp.backBufferHeight);
  setRenderTarget(0, GPU_BACK_BUFFER);
  gl_context_set_vsync(pp.presentationInterval == D3DPRESENT_INTERVAL_ONE);
}

void GlBackend::resizeBackBuffer(int w, int h)
{
  State &s = *st;
  s.bb_w = w > 0 ? w : 1;
  s.bb_h = h > 0 ? h : 1;
  if (!gl_context_is_headless())
    return;
  // Offscreen back buffer: no depth, stencil or alpha of its own, like the window's.
  if (!s.bb_fbo)
  {
    glGenFramebuffers(1, &s.bb_fbo);
    glGenRenderbuffers(1, &s.bb_color);
  }
  glBindRenderbuffer(GL_RENDERBUFFER, s.bb_color);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, s.bb_w, s.bb_h);
  glBindFramebuffer(GL_FRAMEBUFFER, s.bb_fbo);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s.bb_color);
  s.targets_dirty = true;
}

void GlBackend::destroyDeviceObjects()
{
  State &s = *st;
  for (size_t i = 0; i < objects.size(); i++)
    if (objects[i].kind != ObjKind::None)
    {
      GpuHandle h = GpuHandle(i + 1);
      if (objects[i].kind == ObjKind::Texture)
        releaseTexture(h);
      else if (objects[i].kind == ObjKind::Renderbuffer)
        releaseSurface(h);
      else if (objects[i].kind == ObjKind::Buffer)
        releaseBuffer(h);
      else if (objects[i].kind == ObjKind::Decl)
        releaseVertexDeclaration(h);
      else if (objects[i].kind != ObjKind::Fence)
        releaseShader(h);
      else
        releaseQuery(h);
    }
  objects.clear();
  free_handles.clear();
  glDeleteProgram(s.builtin_program);
  glDeleteSamplers(MAX_UNITS, s.samplers);
  glDeleteFramebuffers(2, s.blit_fbo);
  glDeleteFramebuffers(1, &s.rt_fbo);
  if (s.bb_fbo)
  {
    glDeleteFramebuffers(1, &s.bb_fbo);
    glDeleteRenderbuffers(1, &s.bb_color);
  }
  glDeleteBuffers(1, &s.ubo);
  glDeleteBuffers(1, &s.up_vbo);
  glDeleteVertexArrays(1, &s.vao);
  s = State();
}

void GlBackend::releaseDevice()
{
  if (!st->device)
    return;
  destroyDeviceObjects();
  gl_context_destroy();
}

HRESULT32 GlBackend::testCooperativeLevel() { return st->device ? D3D_OK : D3DERR_DEVICELOST; }

HRESULT32 GlBackend::reset(const PresentParams &pp)
{
  // A GL context is never lost: a reset only resizes the back buffer and sets the swap interval.
  if (!st->device)
    return D3DERR_DEVICELOST;
  resizeBackBuffer(pp.backBufferWidth, pp.backBufferHeight);
  gl_context_set_vsync(pp.presentationInterval == D3DPRESENT_INTERVAL_ONE);
  setRenderTarget(0, GPU_BACK_BUFFER);
  for (int i = 1; i < MAX_TARGETS; i++)
    setRenderTarget(i, 0);
  setDepthStencilSurface(0);
  return D3D_OK;
}

HRESULT32 GlBackend::present()
{
  if (!st->device)
    return D3DERR_DEVICELOST;
  if (gl_context_is_headless())
  {
    // Offscreen nothing throttles the CPU: wait until the GPU has finished this frame.
    GLsync f = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glClientWaitSync(f, GL_SYNC_FLUSH_COMMANDS_BIT, 5000000000ull);
    glDeleteSync(f);
    return D3D_OK;
  }
  gl_context_swap();
  return D3D_OK;
}

uint32_t GlBackend::availableTextureMem()
{
  // Software rendering uses system memory: report what is free of it, capped to 32 bits.
  long pages = sysconf(_SC_AVPHYS_PAGES), page = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0)
    return 0;
  uint64_t bytes = uint64_t(pages) * uint64_t(page);
  return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(bytes);
}

HRESULT32 GlBackend::createDepthStencilSurface(int w, int h, uint32_t format, uint32_t, uint32_t,
                                               bool, GpuHandle &out)
{
  out = 0;
  if (format != D3DFMT_D24S8 || w <= 0 || h <= 0)
    return D3DERR_INVALIDCALL;
  Object o;
  o.kind = ObjKind::Renderbuffer;
  o.w = w;
  o.h = h;
  o.format = format;
  glGenRenderbuffers(1, &o.name);
  glBindRenderbuffer(GL_RENDERBUFFER, o.name);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, w, h);
  if (glGetError() != GL_NO_ERROR)
  {
    glDeleteRenderbuffers(1, &o.name);
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  out = add(o);
  return D3D_OK;
}

HRESULT32 GlBackend::createRenderTargetSurface(int w, int h, uint32_t format, uint32_t, uint32_t,
                                               bool, GpuHandle &out)
{
  // A colour surface is a one-level render-target texture here.
  return createTexture(w, h, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, out);
}

void GlBackend::releaseSurface(GpuHandle h)
{
  Object *o = get(h);
  if (!o)
    return;
  if (o->kind == ObjKind::Texture)
  {
    releaseTexture(h);
    return;
  }
  if (st->depth == h)
  {
    st->depth = 0;
    st->targets_dirty = true;
  }
  glDeleteRenderbuffers(1, &o->name);
  remove(h);
}

HRESULT32 GlBackend::createTexture(int w, int h, int levels, uint32_t usage, uint32_t format,
                                   uint32_t pool, GpuHandle &out)
{
  out = 0;
  GlFormat f;
  if (w <= 0 || h <= 0 || !gl_format_of(format, f))
    return D3DERR_INVALIDCALL;
  if (levels <= 0)
  {
    levels = 1;
    for (int m = w > h ? w : h; m > 1; m >>= 1)
      levels++;
  }
  Object o;
  o.kind = ObjKind::Texture;
  o.w = w;
  o.h = h;
  o.levels = levels;
  o.format = format;
  while (glGetError() != GL_NO_ERROR)
  {
  }
  glGenTextures(1, &o.name);
  glBindTexture(GL_TEXTURE_2D, o.name);
  for (int l = 0; l < levels; l++)
  {
    int lw = w >> l, lh = h >> l;
    lw = lw > 0 ? lw : 1;
    lh = lh > 0 ? lh : 1;
    if (f.block_bytes)
    {
      GLsizei bytes = GLsizei(((lw + 3) / 4) * ((lh + 3) / 4) * int(f.block_bytes));
      glCompressedTexImage2D(GL_TEXTURE_2D, l, f.internal, lw, lh, 0, bytes, nullptr);
    }
    else
      glTexImage2D(GL_TEXTURE_2D, l, GLint(f.internal), lw, lh, 0, f.format, f.type, nullptr);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
  GLint swizzle[4] = {GLint(f.swizzle[0]), GLint(f.swizzle[1]), GLint(f.swizzle[2]),
                      GLint(f.swizzle[3])};
  glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
  bool failed = glGetError() != GL_NO_ERROR;
  glBindTexture(GL_TEXTURE_2D, 0);
  for (int i = 0; i < MAX_UNITS; i++)
    st->bound_tex[i] = 0;  // the bind above disturbed the unit's binding
  if (failed)
  {
    glDeleteTextures(1, &o.name);
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  (void)usage;
  (void)pool;
  out = add(o);
  return D3D_OK;
}

void GlBackend::releaseTexture(GpuHandle h)
{
  Object *o = get(h);
  if (!o || o->kind != ObjKind::Texture)
    return;
  for (int i = 0; i < MAX_TARGETS; i++)
    if (st->targets[i] == h)
    {
      st->targets[i] = 0;
      st->targets_dirty = true;
    }
  for (GpuHandle &b : st->bound_tex)
    if (b == h)
      b = 0;
  glDeleteTextures(1, &o->name);
  remove(h);
}

HRESULT32 GlBackend::createEventQuery(GpuHandle &out)
{
  Object o;
  o.kind = ObjKind::Fence;  // no fence yet: reads as passed
  out = add(o);
  return D3D_OK;
}

void GlBackend::releaseQuery(GpuHandle q)
{
  Object *o = get(q);
  if (!o || o->kind != ObjKind::Fence)
    return;
  if (o->fence)
    glDeleteSync(o->fence);
  remove(q);
}

void GlBackend::issueQuery(GpuHandle q)
{
  Object *o = get(q);
  if (!o || o->kind != ObjKind::Fence)
    return;
  if (o->fence)
    glDeleteSync(o->fence);
  o->fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
}

HRESULT32 GlBackend::getQueryData(GpuHandle q, bool flush)
{
  Object *o = get(q);
  if (!o || o->kind != ObjKind::Fence)
    return D3DERR_INVALIDCALL;
  if (!o->fence)
    return D3D_OK;
  GLenum r = glClientWaitSync(o->fence, flush ? GL_SYNC_FLUSH_COMMANDS_BIT : 0, 0);
  if (r == GL_ALREADY_SIGNALED || r == GL_CONDITION_SATISFIED)
    return D3D_OK;
  if (r == GL_TIMEOUT_EXPIRED)
    return S_FALSE_;
  return D3DERR_DRIVERINTERNALERROR;
}

HRESULT32 GlBackend::beginScene() { return st->device ? D3D_OK : D3DERR_INVALIDCALL; }
HRESULT32 GlBackend::endScene() { return D3D_OK; }

void GlBackend::targetSize(int &w, int &h) const
{
  GpuHandle t = st->targets[0];
  const Object *o = t == GPU_BACK_BUFFER ? nullptr : get(t);
  if (o)
  {
    w = o->w;
    h = o->h;
  }
  else
  {
    w = st->bb_w;
    h = st->bb_h;
  }
}

bool GlBackend::targetFlipped() const { return st->targets[0] != GPU_BACK_BUFFER; }

bool GlBackend::prepareTarget()
{
  State &s = *st;
  if (!s.device)
    return false;
  if (s.targets_dirty)
  {
    s.targets_dirty = false;
    if (s.targets[0] == GPU_BACK_BUFFER)
      glBindFramebuffer(GL_FRAMEBUFFER, s.bb_fbo);  // 0: the window
    else
    {
      glBindFramebuffer(GL_FRAMEBUFFER, s.rt_fbo);
      GLenum bufs[MAX_TARGETS];
      for (int i = 0; i < MAX_TARGETS; i++)
      {
        const Object *o = get(s.targets[i]);
        GLuint name = o && o->kind == ObjKind::Texture ? o->name : 0;
        glFramebufferTexture2D(GL_FRAMEBUFFER, GLenum(GL_COLOR_ATTACHMENT0 + i), GL_TEXTURE_2D, name, 0);
        bufs[i] = name ? GLenum(GL_COLOR_ATTACHMENT0 + i) : GL_NONE;
      }
      glDrawBuffers(MAX_TARGETS, bufs);
      const Object *d = get(s.depth);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                d && d->kind == ObjKind::Renderbuffer ? d->name : 0);
    }
    applyCull();
  }
  int tw, th;
  targetSize(tw, th);
  const D3dViewport &vp = s.viewport;
  // Direct3D viewports count rows from the top; the unflipped back buffer counts from the bottom.
  int y = targetFlipped() ? int(vp.y) : th - int(vp.y + vp.height);
  glViewport(GLint(vp.x), y, GLsizei(vp.width), GLsizei(vp.height));
  glDepthRange(double(vp.minZ), double(vp.maxZ));
  return true;
}

bool GlBackend::prepareDraw()
{
  State &s = *st;
  if (!prepareTarget())
    return false;
  int tw, th;
  targetSize(tw, th);
  // Direct3D pixel centres lie half a pixel up and left of GL's. Edges that then fall exactly
  // on a pixel centre belong to the pixel below a top edge in Direct3D; unflipped, GL gives
  // that pixel away, so the back buffer's shift stops 1/64 pixel short of half a pixel.
  bool flipped = targetFlipped();
  float shift_y = flipped ? -1.0f / float(th) : -(1.0f - 1.0f / 32.0f) / float(th);
  float block[8] = {1.0f / float(tw), shift_y, flipped ? -1.0f : 1.0f, 1.0f,
                    float(s.atest_enable ? 1 : 0), float(s.atest_ref), float(s.atest_func), 0.0f};
  glBindBuffer(GL_UNIFORM_BUFFER, s.ubo);
  glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof(block), block);
  ShaderProgram *sp = !s.program && s.vs && s.ps ? pairProgram(s.vs, s.ps, nullptr) : nullptr;
  glUseProgram(s.program ? s.program : sp ? sp->program : s.builtin_program);
  if (sp)
    uploadConstants(*sp);
  glBindVertexArray(s.vao);
  return true;
}

HRESULT32 GlBackend::clear(uint32_t flags, uint32_t color, float z, uint32_t stencil)
{
  State &s = *st;
  if (!prepareTarget())
    return D3DERR_INVALIDCALL;
  // Clears ignore the write masks and stay inside the viewport, as in Direct3D.
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xFFFFFFFFu);
  int tw, th;
  targetSize(tw, th);
  const D3dViewport &vp = s.viewport;
  int y = targetFlipped() ? int(vp.y) : th - int(vp.y + vp.height);
  glEnable(GL_SCISSOR_TEST);
  glScissor(GLint(vp.x), y, GLsizei(vp.width), GLsizei(vp.height));
  GLbitfield bits = 0;
  if (flags & D3DCLEAR_TARGET)
  {
    glClearColor(float((color >> 16) & 255) / 255.f, float((color >> 8) & 255) / 255.f,
                 float(color & 255) / 255.f, float(color >> 24) / 255.f);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_ZBUFFER)
  {
    glClearDepth(double(z));
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & D3DCLEAR_STENCIL)
  {
    glClearStencil(GLint(stencil));
    bits |= GL_STENCIL_BUFFER_BIT;
  }
  glClear(bits);
  glDisable(GL_SCISSOR_TEST);
  glColorMask((s.color_write & 1) != 0, (s.color_write & 2) != 0, (s.color_write & 4) != 0,
              (s.color_write & 8) != 0);
  glDepthMask(s.zwrite);
  glStencilMask(s.stencil_write);
  return D3D_OK;
}

HRESULT32 GlBackend::setRenderTarget(int index, GpuHandle target)
{
  State &s = *st;
  if (index < 0 || index >= MAX_TARGETS || (index == 0 && target == 0))
    return D3DERR_INVALIDCALL;
  s.targets[index] = target;
  s.targets_dirty = true;
  // A texture being drawn into is never read at the same time.
  if (target && target != GPU_BACK_BUFFER)
    for (int i = 0; i < MAX_UNITS; i++)
      if (s.bound_tex[i] == target)
        setTexture(i, 0);
  if (index == 0)
  {
    // As in Direct3D, a new first target resets the viewport to the whole target.
    int w, h;
    targetSize(w, h);
    s.viewport = D3dViewport();
    s.viewport.width = uint32_t(w);
    s.viewport.height = uint32_t(h);
  }
  return D3D_OK;
}

HRESULT32 GlBackend::setDepthStencilSurface(GpuHandle surface)
{
  st->depth = surface;
  st->targets_dirty = true;
  return D3D_OK;
}

HRESULT32 GlBackend::stretchRect(GpuHandle fromTex, GpuHandle toTex, uint32_t filter)
{
  const Object *a = get(fromTex), *b = get(toTex);
  if (!a || !b || a->kind != ObjKind::Texture || b->kind != ObjKind::Texture)
    return D3DERR_INVALIDCALL;
  State &s = *st;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, s.blit_fbo[0]);
  glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, a->name, 0);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.blit_fbo[1]);
  glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, b->name, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glBlitFramebuffer(0, 0, a->w, a->h, 0, 0, b->w, b->h, GL_COLOR_BUFFER_BIT,
                    filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  glColorMask((s.color_write & 1) != 0, (s.color_write & 2) != 0, (s.color_write & 4) != 0,
              (s.color_write & 8) != 0);
  s.targets_dirty = true;
  return D3D_OK;
}

void GlBackend::applyCull()
{
  State &s = *st;
  if (s.cull == D3DCULL_NONE)
  {
    glDisable(GL_CULL_FACE);
    return;
  }
  glEnable(GL_CULL_FACE);
  // Culling names the winding as seen on the target; drawing into a texture mirrors y.
  bool ccw = s.cull == D3DCULL_CCW;
  glFrontFace(ccw != targetFlipped() ? GL_CW : GL_CCW);
}

void GlBackend::setRenderState(D3dRenderState state, uint32_t v)
{
  State &s = *st;
  switch (state)
  {
    case D3DRS_ZENABLE: v ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); break;
    case D3DRS_FILLMODE:
      glPolygonMode(GL_FRONT_AND_BACK, v == D3DFILL_WIREFRAME ? GL_LINE : v == D3DFILL_POINT ? GL_POINT : GL_FILL);
      break;
    case D3DRS_ZWRITEENABLE:
      s.zwrite = v != 0;
      glDepthMask(s.zwrite);
      break;
    case D3DRS_ALPHATESTENABLE: s.atest_enable = v; break;
    case D3DRS_ALPHAREF: s.atest_ref = v & 255; break;
    case D3DRS_ALPHAFUNC: s.atest_func = v; break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
      (state == D3DRS_SRCBLEND ? s.src_blend : s.dst_blend) = v;
      glBlendFunc(gl_blend(s.src_blend), gl_blend(s.dst_blend));
      break;
    case D3DRS_CULLMODE:
      s.cull = v;
      applyCull();
      break;
    case D3DRS_ZFUNC: glDepthFunc(gl_cmp(v)); break;
    case D3DRS_ALPHABLENDENABLE: v ? glEnable(GL_BLEND) : glDisable(GL_BLEND); break;
    case D3DRS_STENCILENABLE: v ? glEnable(GL_STENCIL_TEST) : glDisable(GL_STENCIL_TEST); break;
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
      (state == D3DRS_STENCILFAIL ? s.stencil_fail : state == D3DRS_STENCILZFAIL ? s.stencil_zfail : s.stencil_pass) = v;
      glStencilOp(gl_stencil_op(s.stencil_fail), gl_stencil_op(s.stencil_zfail), gl_stencil_op(s.stencil_pass));
      break;
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
      (state == D3DRS_STENCILFUNC ? s.stencil_func : state == D3DRS_STENCILREF ? s.stencil_ref : s.stencil_mask) = v;
      glStencilFunc(gl_cmp(s.stencil_func), GLint(s.stencil_ref), s.stencil_mask);
      break;
    case D3DRS_STENCILWRITEMASK:
      s.stencil_write = v;
      glStencilMask(v);
      break;
    case D3DRS_LIGHTING: break;  // no fixed-function lighting: shaders light
    case D3DRS_COLORWRITEENABLE:
      s.color_write = v;
      glColorMask((v & 1) != 0, (v & 2) != 0, (v & 4) != 0, (v & 8) != 0);
      break;
  }
}

void GlBackend::setTextureStageState(int stage, D3dTextureStageState type, uint32_t value)
{
  // Fixed-function combiners have no GL counterpart; kept as state for completeness.
  if (stage >= 0 && stage < 8 && type < 8)
    st->tss[stage][type] = value;
}

void GlBackend::applySampler(int i)
{
  const uint32_t *ss = st->sampler_state[i];
  GLuint smp = st->samplers[i];
  auto address = [](uint32_t a) -> GLint {
    switch (a)
    {
      case D3DTADDRESS_WRAP: return GL_REPEAT;
      case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
      case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
      default: return GL_CLAMP_TO_EDGE;
    }
  };
  glSamplerParameteri(smp, GL_TEXTURE_WRAP_S, address(ss[D3DSAMP_ADDRESSU]));
  glSamplerParameteri(smp, GL_TEXTURE_WRAP_T, address(ss[D3DSAMP_ADDRESSV]));
  glSamplerParameteri(smp, GL_TEXTURE_WRAP_R, address(ss[D3DSAMP_ADDRESSW]));
  bool mag_lin = ss[D3DSAMP_MAGFILTER] == D3DTEXF_LINEAR;
  bool min_lin = ss[D3DSAMP_MINFILTER] == D3DTEXF_LINEAR;
  uint32_t mip = ss[D3DSAMP_MIPFILTER];
  GLint min = min_lin ? GL_LINEAR : GL_NEAREST;
  if (mip == D3DTEXF_POINT)
    min = min_lin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  else if (mip == D3DTEXF_LINEAR)
    min = min_lin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  glSamplerParameteri(smp, GL_TEXTURE_MAG_FILTER, mag_lin ? GL_LINEAR : GL_NEAREST);
  glSamplerParameteri(smp, GL_TEXTURE_MIN_FILTER, min);
}

void GlBackend::setSamplerState(int sampler, D3dSamplerState type, uint32_t value)
{
  if (sampler < 0 || sampler >= MAX_UNITS || type >= 8)
    return;
  st->sampler_state[sampler][type] = value;
  applySampler(sampler);
}

void GlBackend::setTexture(int stage, GpuHandle tex)
{
  if (stage < 0 || stage >= MAX_UNITS)
    return;
  const Object *o = get(tex);
  GLuint name = o && o->kind == ObjKind::Texture ? o->name : 0;
  st->bound_tex[stage] = name ? tex : 0;
  glActiveTexture(GLenum(GL_TEXTURE0 + stage));
  glBindTexture(GL_TEXTURE_2D, name);
  glActiveTexture(GL_TEXTURE0);
}

void GlBackend::setViewport(const D3dViewport &vp) { st->viewport = vp; }

void GlBackend::setTransform(D3dTransform kind, const D3dMatrix &m)
{
  st->transforms[kind == D3DTS_VIEW ? 0 : 1] = m;
}

void GlBackend::getTransform(D3dTransform kind, D3dMatrix &m)
{
  m = st->transforms[kind == D3DTS_VIEW ? 0 : 1];
}

void GlBackend::setIndices(GpuHandle ib)
{
  // Bound to the vertex array at the next indexed draw.
  st->ib = ib;
  if (ib == 0 && st->vao)
  {
    glBindVertexArray(st->vao);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  }
}

void GlBackend::setStreamSource(int stream, GpuHandle vb, uint32_t offset, uint32_t stride)
{
  if (stream < 0 || stream >= 16)
    return;
  st->streams[stream] = State::Stream{vb, offset, stride};
}

HRESULT32 GlBackend::setStreamSourceFreq(int stream, uint32_t setting)
{
  if (stream < 0 || stream > 1)
    return D3DERR_INVALIDCALL;
  st->stream_freq[stream] = setting;
  return D3D_OK;
}

void GlBackend::setFvf(uint32_t fvf)
{
  st->fvf = fvf;
  st->decl_active = false;
}

HRESULT32 GlBackend::drawPrimitiveUp(uint32_t type, uint32_t primCount, const void *data,
                                     uint32_t stride)
{
  uint32_t n = prim_vertex_count(type, primCount);
  if (!n)
    return D3D_OK;
  if (!prepareDraw())
    return D3DERR_INVALIDCALL;
  State &s = *st;
  glBindBuffer(GL_ARRAY_BUFFER, s.up_vbo);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(n) * stride, data, GL_STREAM_DRAW);
  if (s.decl_active)
  {
    applyVertexInput(stride);
    glDrawArrays(gl_prim(type), 0, GLsizei(n));
    return D3D_OK;
  }
  for (GLuint i = 0; i < 16; i++)
  {
    glVertexAttribDivisor(i, 0);
    glDisableVertexAttribArray(i);
  }
  glEnableVertexAttribArray(GL_ATTR_POSITION);
  glVertexAttribPointer(GL_ATTR_POSITION, 3, GL_FLOAT, GL_FALSE, GLsizei(stride), nullptr);
  if (s.fvf & D3DFVF_DIFFUSE)
  {
    glEnableVertexAttribArray(GL_ATTR_COLOR0);
    glVertexAttribPointer(GL_ATTR_COLOR0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, GLsizei(stride),
                          reinterpret_cast<const void *>(uintptr_t(12)));
  }
  else
    glVertexAttrib4f(GL_ATTR_COLOR0, 1.f, 1.f, 1.f, 1.f);
  glDrawArrays(gl_prim(type), 0, GLsizei(n));
  return D3D_OK;
}

HRESULT32 GlBackend::drawIndexedPrimitive(uint32_t type, int baseVertex, uint32_t, uint32_t,
                                          uint32_t startIndex, uint32_t primCount)
{
  uint32_t n = prim_vertex_count(type, primCount);
  if (!n)
    return D3D_OK;
  if (!prepareDraw())
    return D3DERR_INVALIDCALL;
  const Object *ib = get(st->ib);
  if (!ib || ib->kind != ObjKind::Buffer)
    return D3DERR_INVALIDCALL;
  applyVertexInput(0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->name);
  const void *offset = reinterpret_cast<const void *>(uintptr_t(startIndex) * 2);
  uint32_t f = st->stream_freq[0];
  if (f & D3DSTREAMSOURCE_INDEXEDDATA)
    glDrawElementsInstancedBaseVertex(gl_prim(type), GLsizei(n), GL_UNSIGNED_SHORT, offset,
                                      GLsizei(f & 0x3FFFFFFFu), baseVertex);
  else
    glDrawElementsBaseVertex(gl_prim(type), GLsizei(n), GL_UNSIGNED_SHORT, offset, baseVertex);
  return D3D_OK;
}

HRESULT32 GlBackend::drawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primCount)
{
  uint32_t n = prim_vertex_count(type, primCount);
  if (!n)
    return D3D_OK;
  if (!prepareDraw())
    return D3DERR_INVALIDCALL;
  applyVertexInput(0);
  glDrawArrays(gl_prim(type), GLint(startVertex), GLsizei(n));
  return D3D_OK;
}

bool GlBackend::readPixels(int x, int y, int w, int h, uint32_t *argb)
{
  if (!prepareTarget() || w <= 0 || h <= 0)
    return false;
  int tw, th;
  targetSize(tw, th);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(st->targets[0] == GPU_BACK_BUFFER && !st->bb_fbo ? GL_BACK : GL_COLOR_ATTACHMENT0);
  bool flipped = targetFlipped();
  for (int r = 0; r < h; r++)
  {
    int row = flipped ? y + r : th - 1 - (y + r);
    glReadPixels(x, row, w, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb + size_t(r) * size_t(w));
  }
  return glGetError() == GL_NO_ERROR;
}

HRESULT32 GlBackend::createShader(bool pixel, const char *code, uint32_t len, GpuHandle &out,
                                  std::string *messages)
{
  out = 0;
  if (!st->device)
    return D3DERR_INVALIDCALL;
  // The device block needs its stage define; the code defines the stage again for itself.
  const char *src[] = {"#version 330 core\n", pixel ? "#define PSH 1\n" : "#define VSH 1\n",
                       gl_device_glsl, pixel ? "#undef PSH\n" : "#undef VSH\n", code};
  GLint lens[] = {-1, -1, -1, -1, GLint(len)};
  GLuint sh = glCreateShader(pixel ? GL_FRAGMENT_SHADER : GL_VERTEX_SHADER);
  glShaderSource(sh, 5, src, lens);
  glCompileShader(sh);
  GLint ok = 0, log_len = 0;
  glGetShaderiv(sh, GL_COMPILE_STATUS, &ok);
  glGetShaderiv(sh, GL_INFO_LOG_LENGTH, &log_len);
  if (messages)
  {
    messages->clear();
    if (log_len > 1)
    {
      messages->resize(size_t(log_len));
      glGetShaderInfoLog(sh, log_len, nullptr, messages->data());
      messages->resize(strlen(messages->c_str()));
    }
  }
  if (!ok)
  {
    glDeleteShader(sh);
    return D3DERR_INVALIDCALL;
  }
  Object o;
  o.kind = pixel ? ObjKind::PixelShader : ObjKind::VertexShader;
  o.name = sh;
  out = add(o);
  return D3D_OK;
}

ShaderProgram *GlBackend::pairProgram(GpuHandle vs, GpuHandle ps, std::string *messages)
{
  State &s = *st;
  for (ShaderProgram &p : s.programs)
    if (p.vs == vs && p.ps == ps)
      return &p;
  const Object *v = get(vs), *f = get(ps);
  if (!v || !f || v->kind != ObjKind::VertexShader || f->kind != ObjKind::PixelShader)
    return nullptr;
  GLuint prog = glCreateProgram();
  glAttachShader(prog, v->name);
  glAttachShader(prog, f->name);
  glLinkProgram(prog);
  GLint ok = 0, log_len = 0;
  glGetProgramiv(prog, GL_LINK_STATUS, &ok);
  glGetProgramiv(prog, GL_INFO_LOG_LENGTH, &log_len);
  if (!ok)
  {
    std::string text;
    if (log_len > 1)
    {
      text.resize(size_t(log_len));
      glGetProgramInfoLog(prog, log_len, nullptr, text.data());
      text.resize(strlen(text.c_str()));
    }
    if (messages)
      *messages = text;
    else
      debug("can't link shader pair %u/%u: %s", vs, ps, text.c_str());
    glDeleteProgram(prog);
    return nullptr;
  }
  prepareProgram(prog);
  ShaderProgram p;
  p.vs = vs;
  p.ps = ps;
  p.program = prog;
  // Samplers s0..s15 read texture units 0..15; the register arrays are found by name.
  glUseProgram(prog);
  for (int i = 0; i < MAX_UNITS; i++)
  {
    char name[8];
    snprintf(name, sizeof(name), "s%d", i);
    GLint loc = glGetUniformLocation(prog, name);
    if (loc >= 0)
      glUniform1i(loc, i);
  }
  GLint count = 0;
  glGetProgramiv(prog, GL_ACTIVE_UNIFORMS, &count);
  for (GLint i = 0; i < count; i++)
  {
    char name[64];
    GLint size = 0;
    GLenum type = 0;
    glGetActiveUniform(prog, GLuint(i), sizeof(name), nullptr, &size, &type, name);
    if (!strncmp(name, "vs_c", 4) && (name[4] == 0 || name[4] == '['))
    {
      p.vs_loc = glGetUniformLocation(prog, "vs_c");
      p.vs_size = size < MAX_VS_CONSTS ? size : MAX_VS_CONSTS;
    }
    else if (!strncmp(name, "ps_c", 4) && (name[4] == 0 || name[4] == '['))
    {
      p.ps_loc = glGetUniformLocation(prog, "ps_c");
      p.ps_size = size < MAX_PS_CONSTS ? size : MAX_PS_CONSTS;
    }
  }
  glUseProgram(0);
  s.programs.push_back(p);
  return &s.programs.back();
}

void GlBackend::uploadConstants(ShaderProgram &p)
{
  State &s = *st;
  if (p.vs_version != s.vs_version)
  {
    int n = s.vs_used < p.vs_size ? s.vs_used : p.vs_size;
    if (p.vs_loc >= 0 && n > 0)
      glUniform4fv(p.vs_loc, n, &s.vs_c[0][0]);
    p.vs_version = s.vs_version;
  }
  if (p.ps_version != s.ps_version)
  {
    int n = s.ps_used < p.ps_size ? s.ps_used : p.ps_size;
    if (p.ps_loc >= 0 && n > 0)
      glUniform4fv(p.ps_loc, n, &s.ps_c[0][0]);
    p.ps_version = s.ps_version;
  }
}

HRESULT32 GlBackend::linkShaders(GpuHandle vs, GpuHandle ps, std::string *messages)
{
  if (messages)
    messages->clear();
  return pairProgram(vs, ps, messages) ? D3D_OK : D3DERR_INVALIDCALL;
}

void GlBackend::releaseShader(GpuHandle sh)
{
  Object *o = get(sh);
  if (!o || (o->kind != ObjKind::VertexShader && o->kind != ObjKind::PixelShader))
    return;
  State &s = *st;
  for (size_t i = s.programs.size(); i-- > 0;)
    if (s.programs[i].vs == sh || s.programs[i].ps == sh)
    {
      glDeleteProgram(s.programs[i].program);
      s.programs.erase(s.programs.begin() + long(i));
    }
  if (s.vs == sh)
    s.vs = 0;
  if (s.ps == sh)
    s.ps = 0;
  glDeleteShader(o->name);
  remove(sh);
}

void GlBackend::setShaders(GpuHandle vs, GpuHandle ps)
{
  st->vs = vs;
  st->ps = ps;
}

void GlBackend::setShaderConstants(bool pixel, int start, const float *data, int count)
{
  State &s = *st;
  int limit = pixel ? MAX_PS_CONSTS : MAX_VS_CONSTS;
  if (start < 0 || count <= 0 || start >= limit)
    return;
  if (count > limit - start)
    count = limit - start;
  memcpy(pixel ? s.ps_c[start] : s.vs_c[start], data, size_t(count) * 4 * sizeof(float));
  int &used = pixel ? s.ps_used : s.vs_used;
  if (used < start + count)
    used = start + count;
  (pixel ? s.ps_version : s.vs_version)++;
}

int gl_attrib_location(uint32_t usage, uint32_t index)
{
  switch (usage)
  {
    case D3DDECLUSAGE_POSITION: return index == 0 ? int(GL_ATTR_POSITION) : -1;
    case D3DDECLUSAGE_NORMAL: return index == 0 ? int(GL_ATTR_NORMAL) : -1;
    case D3DDECLUSAGE_COLOR: return index < 2 ? int(GL_ATTR_COLOR0 + index) : -1;
    case D3DDECLUSAGE_TEXCOORD: return index < 8 ? int(GL_ATTR_TEXCOORD0 + index) : -1;
    case D3DDECLUSAGE_TANGENT: return index < 4 ? int(GL_ATTR_TANGENT + index) : -1;
    default: return -1;
  }
}

// Unit 0 is where textures are bound for uploads; put back what the device had there.
void GlBackend::restoreUnit0()
{
  const Object *o = get(st->bound_tex[0]);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, o && o->kind == ObjKind::Texture ? o->name : 0);
}

HRESULT32 GlBackend::lockTexture(GpuHandle tex, int level, bool discard, void *&data,
                                 uint32_t &pitch)
{
  data = nullptr;
  pitch = 0;
  Object *o = get(tex);
  GlFormat f;
  if (!o || o->kind != ObjKind::Texture || level < 0 || level >= o->levels || o->locked_level >= 0 ||
      !gl_format_of(o->format, f))
    return D3DERR_INVALIDCALL;
  uint32_t w = uint32_t(o->w) >> level, h = uint32_t(o->h) >> level;
  w = w ? w : 1;
  h = h ? h : 1;
  uint32_t rows = f.block_bytes ? (h + 3) / 4 : h;
  pitch = f.block_bytes ? (w + 3) / 4 * f.block_bytes : w * f.pixel_bytes;
  o->staging.assign(size_t(pitch) * rows, 0);
  if (!discard)
  {
    // A lock without discard sees the level as it is.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, o->name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (f.block_bytes)
      glGetCompressedTexImage(GL_TEXTURE_2D, level, o->staging.data());
    else
      glGetTexImage(GL_TEXTURE_2D, level, f.format, f.type, o->staging.data());
    restoreUnit0();
  }
  o->locked_level = level;
  data = o->staging.data();
  return D3D_OK;
}

void GlBackend::unlockTexture(GpuHandle tex, int level)
{
  Object *o = get(tex);
  GlFormat f;
  if (!o || o->kind != ObjKind::Texture || o->locked_level != level || !gl_format_of(o->format, f))
    return;
  int w = o->w >> level, h = o->h >> level;
  w = w > 0 ? w : 1;
  h = h > 0 ? h : 1;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, o->name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (f.block_bytes)
    glCompressedTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, f.internal,
                              GLsizei(o->staging.size()), o->staging.data());
  else
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, f.format, f.type, o->staging.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  restoreUnit0();
  o->locked_level = -1;
  std::vector<uint8_t>().swap(o->staging);
}

HRESULT32 GlBackend::createBuffer(uint32_t bytes, bool index, bool dynamic, GpuHandle &out)
{
  out = 0;
  if (bytes == 0 || !st->device)
    return D3DERR_INVALIDCALL;
  Object o;
  o.kind = ObjKind::Buffer;
  o.size = bytes;
  o.dynamic = dynamic;
  (void)index;  // GL buffers serve either purpose
  while (glGetError() != GL_NO_ERROR)
  {
  }
  glGenBuffers(1, &o.name);
  glBindBuffer(GL_COPY_WRITE_BUFFER, o.name);
  glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(bytes), nullptr,
               dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  if (glGetError() != GL_NO_ERROR)
  {
    glDeleteBuffers(1, &o.name);
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  out = add(o);
  return D3D_OK;
}

HRESULT32 GlBackend::createVertexBuffer(uint32_t bytes, bool dynamic, GpuHandle &out)
{
  return createBuffer(bytes, false, dynamic, out);
}

HRESULT32 GlBackend::createIndexBuffer(uint32_t bytes, bool dynamic, GpuHandle &out)
{
  return createBuffer(bytes, true, dynamic, out);
}

void GlBackend::releaseBuffer(GpuHandle h)
{
  Object *o = get(h);
  if (!o || o->kind != ObjKind::Buffer)
    return;
  State &s = *st;
  for (State::Stream &str : s.streams)
    if (str.vb == h)
      str = State::Stream();
  if (s.ib == h)
    s.ib = 0;
  glDeleteBuffers(1, &o->name);
  remove(h);
}

HRESULT32 GlBackend::lockBuffer(GpuHandle h, uint32_t offset, uint32_t bytes, bool discard,
                                void *&data)
{
  data = nullptr;
  Object *o = get(h);
  if (!o || o->kind != ObjKind::Buffer || offset >= o->size)
    return D3DERR_INVALIDCALL;
  if (bytes == 0)
    bytes = o->size - offset;
  if (uint64_t(offset) + bytes > o->size)
    return D3DERR_INVALIDCALL;
  glBindBuffer(GL_COPY_WRITE_BUFFER, o->name);
  GLbitfield access = GL_MAP_WRITE_BIT | (discard ? GL_MAP_INVALIDATE_BUFFER_BIT : 0);
  data = glMapBufferRange(GL_COPY_WRITE_BUFFER, GLintptr(offset), GLsizeiptr(bytes), access);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  return data ? D3D_OK : D3DERR_INVALIDCALL;
}

void GlBackend::unlockBuffer(GpuHandle h)
{
  Object *o = get(h);
  if (!o || o->kind != ObjKind::Buffer)
    return;
  glBindBuffer(GL_COPY_WRITE_BUFFER, o->name);
  glUnmapBuffer(GL_COPY_WRITE_BUFFER);
  glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
}

// Components, GL type and normalisation of a declaration type; false for none.
static bool gl_decl_type(uint32_t type, GLint &size, GLenum &gltype, GLboolean &norm)
{
  norm = GL_FALSE;
  switch (type)
  {
    case D3DDECLTYPE_FLOAT1: size = 1; gltype = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT2: size = 2; gltype = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT3: size = 3; gltype = GL_FLOAT; return true;
    case D3DDECLTYPE_FLOAT4: size = 4; gltype = GL_FLOAT; return true;
    case D3DDECLTYPE_D3DCOLOR:
      size = GL_BGRA;
      gltype = GL_UNSIGNED_BYTE;
      norm = GL_TRUE;
      return true;
    case D3DDECLTYPE_SHORT2: size = 2; gltype = GL_SHORT; return true;  // unnormalised, as floats
    case D3DDECLTYPE_SHORT4: size = 4; gltype = GL_SHORT; return true;
    default: return false;
  }
}

HRESULT32 GlBackend::createVertexDeclaration(const D3dVertexElement *elems, GpuHandle &out)
{
  out = 0;
  Object o;
  o.kind = ObjKind::Decl;
  uint32_t taken = 0;
  for (int i = 0;; i++)
  {
    const D3dVertexElement &e = elems[i];
    o.elems.push_back(e);
    if (e.stream == 0xFF)
      break;
    GLint size;
    GLenum type;
    GLboolean norm;
    int loc = gl_attrib_location(e.usage, e.usageIndex);
    // Unknown types, streams past the last, unmapped usages and two elements feeding one
    // attribute are refused, as Direct3D refuses invalid declarations.
    if (i >= 64 || !gl_decl_type(e.type, size, type, norm) || e.stream >= 16 || loc < 0 ||
        (taken & (1u << loc)))
      return D3DERR_INVALIDCALL;
    taken |= 1u << loc;
  }
  out = add(o);
  return D3D_OK;
}

bool GlBackend::getVertexDeclaration(GpuHandle decl, D3dVertexElement *elems, uint32_t capacity,
                                     uint32_t &count)
{
  const Object *o = get(decl);
  if (!o || o->kind != ObjKind::Decl || o->elems.size() > capacity)
    return false;
  count = uint32_t(o->elems.size());
  std::memcpy(elems, o->elems.data(), o->elems.size() * sizeof(D3dVertexElement));
  return true;
}

void GlBackend::releaseVertexDeclaration(GpuHandle decl)
{
  Object *o = get(decl);
  if (!o || o->kind != ObjKind::Decl)
    return;
  if (st->decl == decl)
  {
    st->decl = 0;
    st->decl_active = false;
  }
  remove(decl);
}

void GlBackend::setVertexDeclaration(GpuHandle decl)
{
  st->decl = decl;
  st->decl_active = true;
}

void GlBackend::applyVertexInput(uint32_t up_stride)
{
  State &s = *st;
  for (GLuint i = 0; i < 16; i++)
  {
    glDisableVertexAttribArray(i);
    glVertexAttribDivisor(i, 0);
  }
  glVertexAttrib4f(GL_ATTR_COLOR0, 1.f, 1.f, 1.f, 1.f);
  const Object *d = s.decl_active ? get(s.decl) : nullptr;
  if (!d || d->kind != ObjKind::Decl)
  {
    // The fixed vertex format: position, then an optional diffuse colour, from stream 0.
    const Object *vb = get(s.streams[0].vb);
    if (!(s.fvf & D3DFVF_XYZ) || !vb || vb->kind != ObjKind::Buffer)
      return;
    GLsizei stride = GLsizei(s.streams[0].stride);
    uintptr_t base = s.streams[0].offset;
    glBindBuffer(GL_ARRAY_BUFFER, vb->name);
    glEnableVertexAttribArray(GL_ATTR_POSITION);
    glVertexAttribPointer(GL_ATTR_POSITION, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void *>(base));
    if (s.fvf & D3DFVF_DIFFUSE)
    {
      glEnableVertexAttribArray(GL_ATTR_COLOR0);
      glVertexAttribPointer(GL_ATTR_COLOR0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                            reinterpret_cast<const void *>(base + 12));
    }
    return;
  }
  for (const D3dVertexElement &e : d->elems)
  {
    if (e.stream == 0xFF)
      break;
    GLint size;
    GLenum type;
    GLboolean norm;
    int loc = gl_attrib_location(e.usage, e.usageIndex);
    if (loc < 0 || !gl_decl_type(e.type, size, type, norm))
      continue;
    const State::Stream &str = s.streams[e.stream];
    GLuint name;
    uint32_t stride, offset;
    if (up_stride && e.stream == 0)
    {
      name = s.up_vbo;
      stride = up_stride;
      offset = 0;
    }
    else
    {
      const Object *vb = get(str.vb);
      if (!vb || vb->kind != ObjKind::Buffer)
        continue;
      name = vb->name;
      stride = str.stride;
      offset = str.offset;
    }
    glBindBuffer(GL_ARRAY_BUFFER, name);
    glEnableVertexAttribArray(GLuint(loc));
    glVertexAttribPointer(GLuint(loc), size, type, norm, GLsizei(stride),
                          reinterpret_cast<const void *>(uintptr_t(offset) + e.offset));
    // Instancing: stream 1 advances once per instance while stream 0 is indexed data.
    bool per_instance = e.stream < 2 && (s.stream_freq[e.stream] & D3DSTREAMSOURCE_INSTANCEDATA);
    glVertexAttribDivisor(GLuint(loc), per_instance ? 1 : 0);
  }
}
