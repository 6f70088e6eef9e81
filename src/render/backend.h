#pragma once
// The small interface under the device layer. It offers the Direct3D 9 operations the engine
// uses, with Direct3D numbering and result codes; the device layer (device.cpp,
// render_state.cpp) holds all the logic on top of it. Two implementations: OpenGL
// (gl_backend*.cpp) and a recording device for tests (tests/render/recording_backend.cpp).
#include <compare>
#include <cstdint>
#include <string>

#include "render/d3d_types.h"

// A backend object of one kind; id 0 is none. Each kind is its own type, so that a handle of one
// kind cannot be passed where another is expected.
template <class Kind>
struct GpuHandle
{
  uint32_t id = 0;
  explicit operator bool() const { return id != 0; }
  friend auto operator<=>(GpuHandle, GpuHandle) = default;
};
using TextureHandle = GpuHandle<struct TextureKind>;
// Render-target and depth-stencil surfaces.
using SurfaceHandle = GpuHandle<struct SurfaceKind>;
// Vertex and index buffers.
using BufferHandle = GpuHandle<struct BufferKind>;
// Event queries (GPU fences).
using QueryHandle = GpuHandle<struct QueryKind>;
// Vertex and pixel shaders.
using ShaderHandle = GpuHandle<struct ShaderKind>;
using VertexDeclHandle = GpuHandle<struct VertexDeclKind>;

// The back buffer as a render target.
constexpr TextureHandle GPU_BACK_BUFFER{0xFFFFFFFFu};

struct DisplayMode
{
  int width = 0, height = 0;
  uint32_t format = D3DFMT_UNKNOWN;
};

struct PresentParams
{
  int backBufferWidth = 0, backBufferHeight = 0;
  uint32_t backBufferFormat = D3DFMT_UNKNOWN;
  uint32_t swapEffect = 0;
  bool windowed = false;
  bool enableAutoDepthStencil = false;
  uint32_t presentationInterval = 0;
  uint32_t multiSampleType = 0;  // 0: none; otherwise the non-maskable type
  uint32_t multiSampleQuality = 0;
};

class RenderBackend
{
public:
  virtual ~RenderBackend() = default;

  // The API object: display mode and capability queries.
  virtual bool createObject() = 0;
  virtual void releaseObject() = 0;
  virtual bool getDisplayMode(DisplayMode &mode) = 0;
  // True when non-maskable multisampling is supported; `qualityLevels` gets the level count.
  virtual bool checkMultisample(uint32_t format, bool windowed, uint32_t &qualityLevels) = 0;

  // The device for `window` (null: the headless offscreen back buffer).
  virtual HRESULT32 createDevice(void *window, bool hardwareVertexProcessing,
                                 const PresentParams &pp) = 0;
  virtual void releaseDevice() = 0;
  virtual HRESULT32 testCooperativeLevel() = 0;
  virtual HRESULT32 reset(const PresentParams &pp) = 0;
  virtual HRESULT32 present() = 0;
  virtual uint32_t availableTextureMem() = 0;

  // Surfaces and textures.
  virtual HRESULT32 createDepthStencilSurface(int w, int h, uint32_t format, uint32_t msType,
                                              uint32_t msQuality, bool discard,
                                              SurfaceHandle &out) = 0;
  virtual HRESULT32 createRenderTargetSurface(int w, int h, uint32_t format, uint32_t msType,
                                              uint32_t msQuality, bool lockable,
                                              SurfaceHandle &out) = 0;
  virtual void releaseSurface(SurfaceHandle surface) = 0;
  virtual HRESULT32 createTexture(int w, int h, int levels, uint32_t usage, uint32_t format,
                                  uint32_t pool, TextureHandle &out) = 0;
  virtual void releaseTexture(TextureHandle tex) = 0;

  // Event queries (GL fences): getQueryData answers D3D_OK when the GPU passed the point,
  // S_FALSE_ when not yet, D3DERR_DEVICELOST when the device is lost.
  virtual HRESULT32 createEventQuery(QueryHandle &out) = 0;
  virtual void releaseQuery(QueryHandle q) = 0;
  virtual void issueQuery(QueryHandle q) = 0;
  virtual HRESULT32 getQueryData(QueryHandle q, bool flush) = 0;

  // Scene and targets.
  virtual HRESULT32 beginScene() = 0;
  virtual HRESULT32 endScene() = 0;
  virtual HRESULT32 clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) = 0;
  // Binds level 0 of a texture (or GPU_BACK_BUFFER, or 0 to unbind) as render target `index`.
  virtual HRESULT32 setRenderTarget(int index, TextureHandle target) = 0;
  virtual HRESULT32 setDepthStencilSurface(SurfaceHandle surface) = 0;
  virtual HRESULT32 stretchRect(TextureHandle fromTex, TextureHandle toTex, uint32_t filter) = 0;

  // State.
  virtual void setRenderState(D3dRenderState state, uint32_t value) = 0;
  virtual void setTextureStageState(int stage, D3dTextureStageState type, uint32_t value) = 0;
  virtual void setSamplerState(int sampler, D3dSamplerState type, uint32_t value) = 0;
  virtual void setViewport(const D3dViewport &vp) = 0;
  virtual void setTransform(D3dTransform kind, const D3dMatrix &m) = 0;
  virtual void getTransform(D3dTransform kind, D3dMatrix &m) = 0;

  // Streams and drawing.
  virtual void setIndices(BufferHandle ib) = 0;
  virtual void setStreamSource(int stream, BufferHandle vb, uint32_t offset, uint32_t stride) = 0;
  virtual HRESULT32 setStreamSourceFreq(int stream, uint32_t setting) = 0;
  virtual void setFvf(uint32_t fvf) = 0;
  virtual HRESULT32 drawPrimitiveUp(uint32_t type, uint32_t primCount, const void *data,
                                    uint32_t stride) = 0;
  virtual HRESULT32 drawIndexedPrimitive(uint32_t type, int baseVertex, uint32_t minIndex,
                                         uint32_t numVertices, uint32_t startIndex,
                                         uint32_t primCount) = 0;
  virtual HRESULT32 drawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primCount) = 0;

  // Texture contents and sampler binding. A lock maps one mip level for writing; `pitch` gets the
  // bytes from one row to the next (one row of 4x4 blocks for block-compressed formats). Without
  // discard the level's current contents are there to read.
  virtual HRESULT32 lockTexture(TextureHandle tex, int level, bool discard, void *&data,
                                uint32_t &pitch) = 0;
  virtual void unlockTexture(TextureHandle tex, int level) = 0;
  virtual void setTexture(int stage, TextureHandle tex) = 0;

  // Vertex and index buffers (index buffers hold 16-bit indices). Dynamic buffers live in the
  // default pool and are locked with discard; static ones are written in place.
  virtual HRESULT32 createVertexBuffer(uint32_t bytes, bool dynamic, BufferHandle &out) = 0;
  virtual HRESULT32 createIndexBuffer(uint32_t bytes, bool dynamic, BufferHandle &out) = 0;
  virtual void releaseBuffer(BufferHandle buf) = 0;
  // Maps bytes [offset, offset + bytes) of a buffer; bytes 0 maps to its end.
  virtual HRESULT32 lockBuffer(BufferHandle buf, uint32_t offset, uint32_t bytes, bool discard,
                               void *&data) = 0;
  virtual void unlockBuffer(BufferHandle buf) = 0;

  // Vertex declarations: `elems` ends with D3DDECL_END. getVertexDeclaration copies the element
  // list back, end marker included, and gives its length; false when it holds more than
  // `capacity` elements.
  virtual HRESULT32 createVertexDeclaration(const D3dVertexElement *elems,
                                            VertexDeclHandle &out) = 0;
  virtual bool getVertexDeclaration(VertexDeclHandle decl, D3dVertexElement *elems,
                                    uint32_t capacity, uint32_t &count) = 0;
  virtual void releaseVertexDeclaration(VertexDeclHandle decl) = 0;
  virtual void setVertexDeclaration(VertexDeclHandle decl) = 0;

  // Reads pixels of render target 0 as 0xAARRGGBB, row 0 at the top (screenshots, tests).
  virtual bool readPixels(int x, int y, int w, int h, uint32_t *argb) = 0;

  // Shaders. `code` is one stage's source as the shader system prepared it (GLSL here); the
  // driver's compile output goes to `messages` when given. A vertex and a pixel shader drawn
  // together are checked as a pair by linkShaders. Constant registers (four floats each) are
  // device state: they keep their values whatever shader is bound and reach every draw.
  virtual HRESULT32 createShader(bool pixel, const char *code, uint32_t len, ShaderHandle &out,
                                 std::string *messages) = 0;
  virtual HRESULT32 linkShaders(ShaderHandle vs, ShaderHandle ps, std::string *messages) = 0;
  virtual void releaseShader(ShaderHandle sh) = 0;
  virtual void setShaders(ShaderHandle vs, ShaderHandle ps) = 0;
  virtual void setShaderConstants(bool pixel, int start, const float *data, int count) = 0;
};

// Constant registers of each stage.
constexpr int MAX_VS_CONSTS = 256;
constexpr int MAX_PS_CONSTS = 224;

// Vertices in a primitive of `type` for `primCount` primitives.
uint32_t prim_vertex_count(uint32_t type, uint32_t primCount);
