#include "render/recording_backend.h"

#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstring>

const char *render_state_name(D3dRenderState rs)
{
  switch (rs)
  {
    case D3DRS_ZENABLE: return "ZENABLE";
    case D3DRS_FILLMODE: return "FILLMODE";
    case D3DRS_ZWRITEENABLE: return "ZWRITEENABLE";
    case D3DRS_ALPHATESTENABLE: return "ALPHATESTENABLE";
    case D3DRS_SRCBLEND: return "SRCBLEND";
    case D3DRS_DESTBLEND: return "DESTBLEND";
    case D3DRS_CULLMODE: return "CULLMODE";
    case D3DRS_ZFUNC: return "ZFUNC";
    case D3DRS_ALPHAREF: return "ALPHAREF";
    case D3DRS_ALPHAFUNC: return "ALPHAFUNC";
    case D3DRS_ALPHABLENDENABLE: return "ALPHABLENDENABLE";
    case D3DRS_STENCILENABLE: return "STENCILENABLE";
    case D3DRS_STENCILFAIL: return "STENCILFAIL";
    case D3DRS_STENCILZFAIL: return "STENCILZFAIL";
    case D3DRS_STENCILPASS: return "STENCILPASS";
    case D3DRS_STENCILFUNC: return "STENCILFUNC";
    case D3DRS_STENCILREF: return "STENCILREF";
    case D3DRS_STENCILMASK: return "STENCILMASK";
    case D3DRS_STENCILWRITEMASK: return "STENCILWRITEMASK";
    case D3DRS_LIGHTING: return "LIGHTING";
    case D3DRS_COLORWRITEENABLE: return "COLORWRITEENABLE";
  }
  return "?";
}

void RecordingBackend::log(const char *fmt, ...)
{
  char buf[256];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof(buf), fmt, ap);
  va_end(ap);
  calls.emplace_back(buf);
}

std::vector<std::string> RecordingBackend::callsStartingWith(const char *prefix) const
{
  std::vector<std::string> out;
  for (const std::string &c : calls)
    if (c.compare(0, strlen(prefix), prefix) == 0)
      out.push_back(c);
  return out;
}

uint32_t RecordingBackend::make()
{
  live++;
  return next_id++;
}

bool RecordingBackend::createObject()
{
  log("CreateObject%s", fail_object ? " failed" : "");
  if (fail_object)
    return false;
  live++;
  return true;
}

void RecordingBackend::releaseObject()
{
  live--;
  log("ReleaseObject");
}

bool RecordingBackend::getDisplayMode(DisplayMode &mode)
{
  mode = display;
  return true;
}

bool RecordingBackend::checkMultisample(uint32_t, bool, uint32_t &qualityLevels)
{
  qualityLevels = 4;
  return true;
}

HRESULT32 RecordingBackend::createDevice(void *, bool hw, const PresentParams &pp)
{
  bool fail = hw ? fail_hw_device : fail_sw_device;
  log("CreateDevice(%s, %dx%d, %s)%s", hw ? "hw" : "sw", pp.backBufferWidth, pp.backBufferHeight,
      pp.windowed ? "windowed" : "fullscreen", fail ? " failed" : "");
  if (fail)
    return D3DERR_NOTAVAILABLE;
  live++;
  last_pp = pp;
  needs_reset = false;
  return D3D_OK;
}

void RecordingBackend::releaseDevice()
{
  live--;
  log("ReleaseDevice");
}

HRESULT32 RecordingBackend::testCooperativeLevel()
{
  log("TestCooperativeLevel");
  return cooperative_level;
}

HRESULT32 RecordingBackend::reset(const PresentParams &pp)
{
  HRESULT32 hr = D3D_OK;
  if (failing_resets > 0)
  {
    failing_resets--;
    hr = reset_error;
  }
  else if (cooperative_level == D3DERR_DEVICELOST)
    hr = D3DERR_DEVICELOST;  // a lost device cannot be reset until it says so
  log("Reset(%dx%d, %s) -> 0x%08X", pp.backBufferWidth, pp.backBufferHeight,
      pp.windowed ? "windowed" : "fullscreen", hr);
  if (hr != D3D_OK)
  {
    needs_reset = true;
    return hr;
  }
  cooperative_level = D3D_OK;
  needs_reset = false;
  last_pp = pp;
  return D3D_OK;
}

HRESULT32 RecordingBackend::present()
{
  log("Present");
  return unusable() ? D3DERR_DEVICELOST : D3D_OK;
}

uint32_t RecordingBackend::availableTextureMem() { return texture_mem; }

HRESULT32 RecordingBackend::createDepthStencilSurface(int w, int h, uint32_t format, uint32_t,
                                                      uint32_t, bool, SurfaceHandle &out)
{
  if (fail_depth_surface)
  {
    log("CreateDepthStencilSurface(%dx%d, %u) failed", w, h, format);
    out = {};
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  out = {make()};
  log("CreateDepthStencilSurface(%dx%d, %u) -> %u", w, h, format, out.id);
  return D3D_OK;
}

HRESULT32 RecordingBackend::createRenderTargetSurface(int w, int h, uint32_t format, uint32_t,
                                                      uint32_t, bool, SurfaceHandle &out)
{
  out = {make()};
  log("CreateRenderTargetSurface(%dx%d, %u) -> %u", w, h, format, out.id);
  return D3D_OK;
}

void RecordingBackend::releaseSurface(SurfaceHandle s)
{
  live--;
  log("ReleaseSurface(%u)", s.id);
}

HRESULT32 RecordingBackend::createTexture(int w, int h, int levels, uint32_t usage, uint32_t format,
                                          uint32_t pool, TextureHandle &out)
{
  if (texture_error != D3D_OK || format == D3DFMT_UNKNOWN)
  {
    out = {};
    log("CreateTexture(%dx%d, %d, %u, %u, %u) failed", w, h, levels, usage, format, pool);
    return format == D3DFMT_UNKNOWN ? D3DERR_INVALIDCALL : texture_error;
  }
  out = {make()};
  log("CreateTexture(%dx%d, %d, %u, %u, %u) -> %u", w, h, levels, usage, format, pool, out.id);
  TextureData &t = textures[out];
  t.w = w;
  t.h = h;
  t.levels = levels;
  t.format = format;
  t.level.resize(size_t(levels > 0 ? levels : 1));
  return D3D_OK;
}

void RecordingBackend::releaseTexture(TextureHandle t)
{
  live--;
  textures.erase(t);
  log("ReleaseTexture(%u)", t.id);
}

// Bytes of one row and the number of rows of a level (rows of 4x4 blocks for block formats).
static void level_layout(const RecordingBackend::TextureData &t, int level, uint32_t &pitch,
                         uint32_t &rows)
{
  uint32_t w = uint32_t(t.w) >> level, h = uint32_t(t.h) >> level;
  w = w ? w : 1;
  h = h ? h : 1;
  bool dxt = t.format == D3DFMT_DXT1 || t.format == D3DFMT_DXT3 || t.format == D3DFMT_DXT5;
  if (dxt)
  {
    pitch = (w + 3) / 4 * (t.format == D3DFMT_DXT1 ? 8 : 16);
    rows = (h + 3) / 4;
    return;
  }
  pitch = w * (t.format == D3DFMT_L8 ? 1 : 4);
  rows = h;
}

HRESULT32 RecordingBackend::lockTexture(TextureHandle tex, int level, bool discard, void *&data,
                                        uint32_t &pitch)
{
  log("LockTexture(%u, %d%s)%s", tex.id, level, discard ? ", discard" : "",
      lock_error != D3D_OK ? " failed" : "");
  auto it = textures.find(tex);
  if (lock_error != D3D_OK)
    return lock_error;
  if (it == textures.end() || level < 0 || size_t(level) >= it->second.level.size())
    return D3DERR_INVALIDCALL;
  uint32_t rows = 0;
  level_layout(it->second, level, pitch, rows);
  std::vector<uint8_t> &bytes = it->second.level[size_t(level)];
  bytes.resize(size_t(pitch) * rows);
  data = bytes.data();
  return D3D_OK;
}

void RecordingBackend::unlockTexture(TextureHandle tex, int level) { log("UnlockTexture(%u, %d)", tex.id, level); }

void RecordingBackend::setTexture(int stage, TextureHandle tex) { log("SetTexture(%d, %u)", stage, tex.id); }

HRESULT32 RecordingBackend::createBuffer(const char *kind, uint32_t bytes, bool dynamic, BufferHandle &out)
{
  if (buffer_error != D3D_OK)
  {
    out = {};
    log("Create%sBuffer(%u, %s) failed", kind, bytes, dynamic ? "dynamic" : "static");
    return buffer_error;
  }
  out = {make()};
  buffers[out].assign(bytes, 0);
  log("Create%sBuffer(%u, %s) -> %u", kind, bytes, dynamic ? "dynamic" : "static", out.id);
  return D3D_OK;
}

HRESULT32 RecordingBackend::createVertexBuffer(uint32_t bytes, bool dynamic, BufferHandle &out)
{
  return createBuffer("Vertex", bytes, dynamic, out);
}

HRESULT32 RecordingBackend::createIndexBuffer(uint32_t bytes, bool dynamic, BufferHandle &out)
{
  return createBuffer("Index", bytes, dynamic, out);
}

void RecordingBackend::releaseBuffer(BufferHandle buf)
{
  live--;
  buffers.erase(buf);
  log("ReleaseBuffer(%u)", buf.id);
}

HRESULT32 RecordingBackend::lockBuffer(BufferHandle buf, uint32_t offset, uint32_t bytes, bool discard,
                                       void *&data)
{
  log("LockBuffer(%u, %u, %u%s)", buf.id, offset, bytes, discard ? ", discard" : "");
  auto it = buffers.find(buf);
  if (it == buffers.end() || uint64_t(offset) + bytes > it->second.size())
    return D3DERR_INVALIDCALL;
  data = it->second.data() + offset;
  return D3D_OK;
}

void RecordingBackend::unlockBuffer(BufferHandle buf) { log("UnlockBuffer(%u)", buf.id); }

HRESULT32 RecordingBackend::createVertexDeclaration(const D3dVertexElement *elems, VertexDeclHandle &out)
{
  size_t n = 0;
  while (elems[n].stream != 0xFF)
    n++;
  if (vdecl_error != D3D_OK)
  {
    out = {};
    log("CreateVertexDeclaration(%zu) failed", n);
    return vdecl_error;
  }
  out = {make()};
  vdecls[out].assign(elems, elems + n + 1);
  log("CreateVertexDeclaration(%zu) -> %u", n, out.id);
  return D3D_OK;
}

bool RecordingBackend::getVertexDeclaration(VertexDeclHandle decl, D3dVertexElement *elems,
                                            uint32_t capacity, uint32_t &count)
{
  auto it = vdecls.find(decl);
  if (it == vdecls.end() || it->second.size() > capacity)
    return false;
  count = uint32_t(it->second.size());
  std::copy(it->second.begin(), it->second.end(), elems);
  return true;
}

void RecordingBackend::releaseVertexDeclaration(VertexDeclHandle decl)
{
  live--;
  vdecls.erase(decl);
  log("ReleaseVertexDeclaration(%u)", decl.id);
}

void RecordingBackend::setVertexDeclaration(VertexDeclHandle decl) { log("SetVertexDeclaration(%u)", decl.id); }

HRESULT32 RecordingBackend::createEventQuery(QueryHandle &out)
{
  out = {make()};
  if (query_seq.size() <= out.id)
    query_seq.resize(out.id + 1, 0);
  query_seq[out.id] = 0;
  log("CreateEventQuery -> %u", out.id);
  return D3D_OK;
}

void RecordingBackend::releaseQuery(QueryHandle q)
{
  live--;
  log("ReleaseQuery(%u)", q.id);
}

void RecordingBackend::issueQuery(QueryHandle q)
{
  log("IssueQuery(%u)", q.id);
  if (q.id < query_seq.size())
    query_seq[q.id] = ++submitted;
}

HRESULT32 RecordingBackend::getQueryData(QueryHandle q, bool flush)
{
  log("GetQueryData(%u)", q.id);
  if (unusable())
    return D3DERR_DEVICELOST;
  if (gpu_follows)
    gpu_done = submitted;
  uint32_t seq = q.id < query_seq.size() ? query_seq[q.id] : 0;
  return seq <= gpu_done ? D3D_OK : S_FALSE_;
}

HRESULT32 RecordingBackend::beginScene()
{
  log("BeginScene%s", unusable() ? " failed" : "");
  return unusable() ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT32 RecordingBackend::endScene()
{
  log("EndScene");
  return D3D_OK;
}

HRESULT32 RecordingBackend::clear(uint32_t flags, uint32_t color, float z, uint32_t stencil)
{
  log("Clear(%u, 0x%08X, %g, %u)", flags, color, double(z), stencil);
  return D3D_OK;
}

HRESULT32 RecordingBackend::setRenderTarget(int index, TextureHandle target)
{
  if (target == GPU_BACK_BUFFER)
    log("SetRenderTarget(%d, backbuffer)", index);
  else
    log("SetRenderTarget(%d, %u)", index, target.id);
  return D3D_OK;
}

HRESULT32 RecordingBackend::setDepthStencilSurface(SurfaceHandle s)
{
  log("SetDepthStencilSurface(%u)", s.id);
  return D3D_OK;
}

HRESULT32 RecordingBackend::stretchRect(TextureHandle from, TextureHandle to, uint32_t filter)
{
  log("StretchRect(%u, %u, %u)", from.id, to.id, filter);
  return D3D_OK;
}

void RecordingBackend::setRenderState(D3dRenderState state, uint32_t value)
{
  log("SetRenderState(%s, %u)", render_state_name(state), value);
}

void RecordingBackend::setTextureStageState(int stage, D3dTextureStageState type, uint32_t value)
{
  log("SetTextureStageState(%d, %u, %u)", stage, uint32_t(type), value);
}

void RecordingBackend::setSamplerState(int sampler, D3dSamplerState type, uint32_t value)
{
  log("SetSamplerState(%d, %u, %u)", sampler, uint32_t(type), value);
}

void RecordingBackend::setViewport(const D3dViewport &vp)
{
  log("SetViewport(%u, %u, %u, %u, %g, %g)", vp.x, vp.y, vp.width, vp.height, double(vp.minZ),
      double(vp.maxZ));
}

void RecordingBackend::setTransform(D3dTransform kind, const D3dMatrix &m)
{
  log("SetTransform(%u)", uint32_t(kind));
  transforms[kind == D3DTS_VIEW ? 0 : 1] = m;
}

void RecordingBackend::getTransform(D3dTransform kind, D3dMatrix &m)
{
  log("GetTransform(%u)", uint32_t(kind));
  m = transforms[kind == D3DTS_VIEW ? 0 : 1];
}

void RecordingBackend::setIndices(BufferHandle ib) { log("SetIndices(%u)", ib.id); }

void RecordingBackend::setStreamSource(int stream, BufferHandle vb, uint32_t offset, uint32_t stride)
{
  log("SetStreamSource(%d, %u, %u, %u)", stream, vb.id, offset, stride);
}

HRESULT32 RecordingBackend::setStreamSourceFreq(int stream, uint32_t setting)
{
  log("SetStreamSourceFreq(%d, 0x%08X)", stream, setting);
  return stream_freq_error;
}

void RecordingBackend::setFvf(uint32_t fvf) { log("SetFVF(0x%X)", fvf); }

HRESULT32 RecordingBackend::drawPrimitiveUp(uint32_t type, uint32_t primCount, const void *data,
                                            uint32_t stride)
{
  const float *f = static_cast<const float *>(data);
  log("DrawPrimitiveUP(%u, %u, stride %u, first %g %g %g)", type, primCount, stride, double(f[0]),
      double(f[1]), double(f[2]));
  return draw_error;
}

HRESULT32 RecordingBackend::drawIndexedPrimitive(uint32_t type, int baseVertex, uint32_t minIndex,
                                                 uint32_t numVertices, uint32_t startIndex,
                                                 uint32_t primCount)
{
  log("DrawIndexedPrimitive(%u, %d, %u, %u, %u, %u)", type, baseVertex, minIndex, numVertices,
      startIndex, primCount);
  return draw_error;
}

HRESULT32 RecordingBackend::drawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primCount)
{
  log("DrawPrimitive(%u, %u, %u)", type, startVertex, primCount);
  return draw_error;
}

bool RecordingBackend::readPixels(int, int, int w, int h, uint32_t *argb)
{
  memset(argb, 0, size_t(w) * size_t(h) * 4);
  return true;
}

HRESULT32 RecordingBackend::createShader(bool pixel, const char *code, uint32_t len, ShaderHandle &out,
                                         std::string *messages)
{
  std::string text(code, len);
  size_t err = text.find("#error");
  if (err != std::string::npos)
  {
    size_t eol = text.find('\n', err);
    int line = 1;
    for (size_t i = 0; i < err; i++)
      line += text[i] == '\n';
    if (messages)
      *messages = "0:" + std::to_string(line) + "(1): error: " +
                  text.substr(err, eol == std::string::npos ? std::string::npos : eol - err) + "\n";
    out = {};
    log("Create%sShader(%u) failed", pixel ? "Pixel" : "Vertex", len);
    return D3DERR_INVALIDCALL;
  }
  out = {make()};
  shaders_created++;
  shader_code[out] = text;
  log("Create%sShader(%u) -> %u", pixel ? "Pixel" : "Vertex", len, out.id);
  return D3D_OK;
}

HRESULT32 RecordingBackend::linkShaders(ShaderHandle vs, ShaderHandle ps, std::string *messages)
{
  log("LinkShaders(%u, %u)%s", vs.id, ps.id, fail_link ? " failed" : "");
  if (fail_link && messages)
    *messages = "error: vertex and pixel shader do not match\n";
  return fail_link ? D3DERR_INVALIDCALL : D3D_OK;
}

void RecordingBackend::releaseShader(ShaderHandle sh)
{
  live--;
  shader_code.erase(sh);
  log("ReleaseShader(%u)", sh.id);
}

void RecordingBackend::setShaders(ShaderHandle vs, ShaderHandle ps)
{
  bound_vs = vs;
  bound_ps = ps;
  log("SetShaders(%u, %u)", vs.id, ps.id);
}

void RecordingBackend::setShaderConstants(bool pixel, int start, const float *data, int count)
{
  log("Set%sShaderConstantF(%d, %d)", pixel ? "Pixel" : "Vertex", start, count);
  float(*regs)[4] = pixel ? ps_consts : vs_consts;
  int limit = pixel ? MAX_PS_CONSTS : MAX_VS_CONSTS;
  for (int i = 0; i < count && start + i < limit; i++)
    if (start + i >= 0)
      memcpy(regs[start + i], data + 4 * i, sizeof(regs[0]));
}
