// The OpenGL backend: its object table, the device's life (creation, loss, reset, present), the
// built-in program and the render targets.
#include "render/gl_backend_internal.h"

#include <unistd.h>

#include "render/gl_context.h"
#include "support/debug.h"

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

GlBackend::GlBackend() : st(new State) {}

GlBackend::~GlBackend()
{
  releaseDevice();
  delete st;
}

uint32_t GlBackend::add(const Object &o)
{
  if (!free_ids.empty())
  {
    uint32_t id = free_ids.back();
    free_ids.pop_back();
    objects[id - 1] = o;
    return id;
  }
  objects.push_back(o);
  return uint32_t(objects.size());
}

GlBackend::Object *GlBackend::get(uint32_t id)
{
  if (id == 0 || id > objects.size() || objects[id - 1].kind == ObjKind::None)
    return nullptr;
  return &objects[id - 1];
}

const GlBackend::Object *GlBackend::get(uint32_t id) const
{
  return const_cast<GlBackend *>(this)->get(id);
}

void GlBackend::remove(uint32_t id)
{
  if (!get(id))
    return;
  objects[id - 1] = Object();
  free_ids.push_back(id);
}

void GlBackend::prepareProgram(uint32_t program)
{
  GLuint idx = glGetUniformBlockIndex(program, "QmDevice");
  if (idx != GL_INVALID_INDEX)
    glUniformBlockBinding(program, idx, GL_DEVICE_UBO_BINDING);
}

void GlBackend::useProgram(uint32_t program) { st->program = program; }

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
      uint32_t id = uint32_t(i + 1);
      if (objects[i].kind == ObjKind::Texture)
        releaseTexture(TextureHandle{id});
      else if (objects[i].kind == ObjKind::Renderbuffer)
        releaseSurface(SurfaceHandle{id});
      else if (objects[i].kind == ObjKind::Buffer)
        releaseBuffer(BufferHandle{id});
      else if (objects[i].kind == ObjKind::Decl)
        releaseVertexDeclaration(VertexDeclHandle{id});
      else if (objects[i].kind != ObjKind::Fence)
        releaseShader(ShaderHandle{id});
      else
        releaseQuery(QueryHandle{id});
    }
  objects.clear();
  free_ids.clear();
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
    setRenderTarget(i, {});
  setDepthStencilSurface({});
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

HRESULT32 GlBackend::beginScene() { return st->device ? D3D_OK : D3DERR_INVALIDCALL; }
HRESULT32 GlBackend::endScene() { return D3D_OK; }

void GlBackend::targetSize(int &w, int &h) const
{
  TextureHandle t = st->targets[0];
  const Object *o = t == GPU_BACK_BUFFER ? nullptr : get(t.id);
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
        const Object *o = get(s.targets[i].id);
        GLuint name = o && o->kind == ObjKind::Texture ? o->name : 0;
        glFramebufferTexture2D(GL_FRAMEBUFFER, GLenum(GL_COLOR_ATTACHMENT0 + i), GL_TEXTURE_2D, name, 0);
        bufs[i] = name ? GLenum(GL_COLOR_ATTACHMENT0 + i) : GL_NONE;
      }
      glDrawBuffers(MAX_TARGETS, bufs);
      const Object *d = get(s.depth.id);
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

HRESULT32 GlBackend::setRenderTarget(int index, TextureHandle target)
{
  State &s = *st;
  if (index < 0 || index >= MAX_TARGETS || (index == 0 && !target))
    return D3DERR_INVALIDCALL;
  s.targets[index] = target;
  s.targets_dirty = true;
  // A texture being drawn into is never read at the same time.
  if (target && target != GPU_BACK_BUFFER)
    for (int i = 0; i < MAX_UNITS; i++)
      if (s.bound_tex[i] == target)
        setTexture(i, {});
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

HRESULT32 GlBackend::setDepthStencilSurface(SurfaceHandle surface)
{
  st->depth = surface;
  st->targets_dirty = true;
  return D3D_OK;
}

HRESULT32 GlBackend::stretchRect(TextureHandle fromTex, TextureHandle toTex, uint32_t filter)
{
  const Object *a = get(fromTex.id), *b = get(toTex.id);
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
