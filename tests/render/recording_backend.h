#pragma once
// A device that draws nothing and writes every call into a log, so the device layer's logic can
// be checked without a GPU. It can also play a lost device, failed resets and a GPU that lags.
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "render/backend.h"

// Handles print as their id in test failures, as in the log.
template <class Kind>
void PrintTo(GpuHandle<Kind> h, std::ostream *os)
{
  *os << h.id;
}

class RecordingBackend final : public RenderBackend
{
public:
  // The log: one line per call, e.g. "SetRenderState(CULLMODE, 3)".
  std::vector<std::string> calls;

  // Simulation controls.
  DisplayMode display{1920, 1080, D3DFMT_X8R8G8B8};
  bool fail_object = false;
  bool fail_hw_device = false;
  bool fail_sw_device = false;
  bool fail_depth_surface = false;
  HRESULT32 cooperative_level = D3D_OK;  // what testCooperativeLevel answers
  int failing_resets = 0;                // that many next resets fail
  HRESULT32 reset_error = D3DERR_DEVICELOST;
  HRESULT32 draw_error = D3D_OK;
  HRESULT32 stream_freq_error = D3D_OK;
  // GPU progress: queries issued after `gpu_done` count as unfinished. With `gpu_follows` the
  // GPU catches up at once whenever a query is read.
  bool gpu_follows = true;
  uint32_t gpu_done = 0;
  uint32_t texture_mem = 256u << 20;
  // Resources: failures to play, and what was written into textures and buffers.
  HRESULT32 texture_error = D3D_OK;  // what createTexture answers
  HRESULT32 lock_error = D3D_OK;     // what lockTexture answers
  HRESULT32 buffer_error = D3D_OK;   // what createVertexBuffer / createIndexBuffer answer
  HRESULT32 vdecl_error = D3D_OK;    // what createVertexDeclaration answers
  struct TextureData
  {
    int w = 0, h = 0, levels = 0;
    uint32_t format = 0;
    std::vector<std::vector<uint8_t>> level;  // packed rows, one vector per level
  };
  std::map<TextureHandle, TextureData> textures;
  std::map<BufferHandle, std::vector<uint8_t>> buffers;
  std::map<VertexDeclHandle, std::vector<D3dVertexElement>> vdecls;

  // The present parameters of the latest creation or successful reset.
  PresentParams last_pp;
  int live_objects() const { return live; }
  void clearLog() { calls.clear(); }
  // Calls whose log line starts with `prefix`, in order.
  std::vector<std::string> callsStartingWith(const char *prefix) const;
  // Lets the GPU finish everything issued so far.
  void gpuCatchUp() { gpu_done = submitted; }

  bool createObject() override;
  void releaseObject() override;
  bool getDisplayMode(DisplayMode &mode) override;
  bool checkMultisample(uint32_t format, bool windowed, uint32_t &qualityLevels) override;
  HRESULT32 createDevice(void *window, bool hw, const PresentParams &pp) override;
  void releaseDevice() override;
  HRESULT32 testCooperativeLevel() override;
  HRESULT32 reset(const PresentParams &pp) override;
  HRESULT32 present() override;
  uint32_t availableTextureMem() override;
  HRESULT32 createDepthStencilSurface(int w, int h, uint32_t format, uint32_t msType,
                                      uint32_t msQuality, bool discard,
                                      SurfaceHandle &out) override;
  HRESULT32 createRenderTargetSurface(int w, int h, uint32_t format, uint32_t msType,
                                      uint32_t msQuality, bool lockable,
                                      SurfaceHandle &out) override;
  void releaseSurface(SurfaceHandle surface) override;
  HRESULT32 createTexture(int w, int h, int levels, uint32_t usage, uint32_t format, uint32_t pool,
                          TextureHandle &out) override;
  void releaseTexture(TextureHandle tex) override;
  HRESULT32 createEventQuery(QueryHandle &out) override;
  void releaseQuery(QueryHandle q) override;
  void issueQuery(QueryHandle q) override;
  HRESULT32 getQueryData(QueryHandle q, bool flush) override;
  HRESULT32 beginScene() override;
  HRESULT32 endScene() override;
  HRESULT32 clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) override;
  HRESULT32 setRenderTarget(int index, TextureHandle target) override;
  HRESULT32 setDepthStencilSurface(SurfaceHandle surface) override;
  HRESULT32 stretchRect(TextureHandle fromTex, TextureHandle toTex, uint32_t filter) override;
  void setRenderState(D3dRenderState state, uint32_t value) override;
  void setTextureStageState(int stage, D3dTextureStageState type, uint32_t value) override;
  void setSamplerState(int sampler, D3dSamplerState type, uint32_t value) override;
  void setViewport(const D3dViewport &vp) override;
  void setTransform(D3dTransform kind, const D3dMatrix &m) override;
  void getTransform(D3dTransform kind, D3dMatrix &m) override;
  void setIndices(BufferHandle ib) override;
  void setStreamSource(int stream, BufferHandle vb, uint32_t offset, uint32_t stride) override;
  HRESULT32 setStreamSourceFreq(int stream, uint32_t setting) override;
  void setFvf(uint32_t fvf) override;
  HRESULT32 drawPrimitiveUp(uint32_t type, uint32_t primCount, const void *data,
                            uint32_t stride) override;
  HRESULT32 drawIndexedPrimitive(uint32_t type, int baseVertex, uint32_t minIndex,
                                 uint32_t numVertices, uint32_t startIndex,
                                 uint32_t primCount) override;
  HRESULT32 drawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primCount) override;
  bool readPixels(int x, int y, int w, int h, uint32_t *argb) override;
  HRESULT32 lockTexture(TextureHandle tex, int level, bool discard, void *&data,
                        uint32_t &pitch) override;
  void unlockTexture(TextureHandle tex, int level) override;
  void setTexture(int stage, TextureHandle tex) override;
  HRESULT32 createVertexBuffer(uint32_t bytes, bool dynamic, BufferHandle &out) override;
  HRESULT32 createIndexBuffer(uint32_t bytes, bool dynamic, BufferHandle &out) override;
  void releaseBuffer(BufferHandle buf) override;
  HRESULT32 lockBuffer(BufferHandle buf, uint32_t offset, uint32_t bytes, bool discard,
                       void *&data) override;
  void unlockBuffer(BufferHandle buf) override;
  HRESULT32 createVertexDeclaration(const D3dVertexElement *elems, VertexDeclHandle &out) override;
  bool getVertexDeclaration(VertexDeclHandle decl, D3dVertexElement *elems, uint32_t capacity,
                            uint32_t &count) override;
  void releaseVertexDeclaration(VertexDeclHandle decl) override;
  void setVertexDeclaration(VertexDeclHandle decl) override;

  // Shaders: a stage "compiles" unless its code holds "#error", whose line becomes the message.
  // The code of every live shader is kept so tests can see what is bound.
  HRESULT32 createShader(bool pixel, const char *code, uint32_t len, ShaderHandle &out,
                         std::string *messages) override;
  HRESULT32 linkShaders(ShaderHandle vs, ShaderHandle ps, std::string *messages) override;
  void releaseShader(ShaderHandle sh) override;
  void setShaders(ShaderHandle vs, ShaderHandle ps) override;
  void setShaderConstants(bool pixel, int start, const float *data, int count) override;
  std::map<ShaderHandle, std::string> shader_code;
  ShaderHandle bound_vs, bound_ps;
  float vs_consts[MAX_VS_CONSTS][4] = {};
  float ps_consts[MAX_PS_CONSTS][4] = {};
  int shaders_created = 0;  // stages created so far (compiles)
  bool fail_link = false;

private:
  HRESULT32 createBuffer(const char *kind, uint32_t bytes, bool dynamic, BufferHandle &out);

  void log(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
  // The id of a new object; one sequence serves every kind.
  uint32_t make();
  bool unusable() const { return needs_reset || cooperative_level != D3D_OK; }

  uint32_t next_id = 1;
  int live = 0;
  bool needs_reset = false;  // a reset failed: scenes cannot begin until one succeeds
  uint32_t submitted = 0;
  std::vector<uint32_t> query_seq;  // by handle: the submission number of its latest issue
  D3dMatrix transforms[2];
};

// Short names of render states for logs ("CULLMODE").
const char *render_state_name(D3dRenderState rs);
