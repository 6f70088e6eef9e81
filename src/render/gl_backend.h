#pragma once
// The OpenGL 3.3 core backend. Direct3D conventions are converted here and only here:
// - clip depth 0..1 and the half-pixel offset in the vertex epilogue every program calls
//   (`qm_device_position`), fed from a uniform block that holds this device state;
// - render targets: textures are drawn with row 0 at the top (y flipped in the epilogue, culling
//   follows), the window and the headless back buffer unflipped;
// - the alpha test, which core OpenGL lacks, is applied by every pixel shader through
//   `qm_alpha_test` with the device's alpha-test state;
// - D3DCOLOR vertex colours are read in BGRA order.
#include <cstdint>
#include <vector>

#include "render/backend.h"

// Attribute locations by vertex element usage, shared by vertex declarations and shaders. The
// per-instance usages (index 1 of POSITION, 10 and up) share the upper locations with texture
// coordinates 2..7 and tangents: a declaration never holds both (a clash is refused).
enum GlAttribLocation : uint32_t
{
  GL_ATTR_POSITION = 0,
  GL_ATTR_NORMAL = 1,
  GL_ATTR_COLOR0 = 2,
  GL_ATTR_COLOR1 = 3,
  GL_ATTR_TEXCOORD0 = 4,  // TEXCOORD n at 4 + n, n < 8
  GL_ATTR_TANGENT = 12,  // TANGENT n at 12 + n, n < 4
  GL_ATTR_COLOR10 = 6,  // COLOR 10, 11 at 6, 7
  GL_ATTR_NORMAL10 = 8,  // NORMAL 10, 11 at 8, 9
  GL_ATTR_POSITION10 = 10,  // POSITION 10..15 at 10..15
  GL_ATTR_POSITION1 = 12,
};
// The location of a vertex element by its Direct3D usage and usage index; -1 when none.
int gl_attrib_location(uint32_t d3d_usage, uint32_t usage_index);

// GLSL placed after "#version 330 core" and the stage define (VSH or PSH) of every program: the
// device uniform block, `vec4 qm_device_position(vec4 clip_pos)` for vertex shaders and
// `void qm_alpha_test(float alpha)` for pixel shaders.
extern const char *const gl_device_glsl;
// Binding point of the device uniform block "QmDevice".
constexpr uint32_t GL_DEVICE_UBO_BINDING = 0;

class GlBackend final : public RenderBackend
{
public:
  GlBackend();
  ~GlBackend() override;

  // Makes a linked program use the device block (call once after linking).
  static void prepareProgram(uint32_t program);
  // The program for the next draws; 0 selects the built-in one (position and diffuse colour
  // passed through).
  void useProgram(uint32_t program);
  bool headless() const;

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
  HRESULT32 createShader(bool pixel, const char *code, uint32_t len, ShaderHandle &out,
                         std::string *messages) override;
  HRESULT32 linkShaders(ShaderHandle vs, ShaderHandle ps, std::string *messages) override;
  void releaseShader(ShaderHandle sh) override;
  void setShaders(ShaderHandle vs, ShaderHandle ps) override;
  void setShaderConstants(bool pixel, int start, const float *data, int count) override;
  // Binds a texture (or 0) to a sampler unit.
  void setTexture(int stage, TextureHandle tex) override;
  HRESULT32 lockTexture(TextureHandle tex, int level, bool discard, void *&data,
                        uint32_t &pitch) override;
  void unlockTexture(TextureHandle tex, int level) override;
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

  struct Object;
  struct State;

private:
  // Tests read the GL object behind a handle through it (tests/render/gl_texture_test.cpp).
  friend struct GlBackendTestAccess;

  // One table holds the objects of every kind; a handle's id is its place in the table plus one.
  uint32_t add(const Object &o);
  Object *get(uint32_t id);
  const Object *get(uint32_t id) const;
  void remove(uint32_t id);
  void createDeviceObjects(const PresentParams &pp);
  void destroyDeviceObjects();
  void resizeBackBuffer(int w, int h);
  // Binds the framebuffer of the current targets, the viewport and the uniform block.
  bool prepareTarget();
  bool prepareDraw();
  void targetSize(int &w, int &h) const;
  bool targetFlipped() const;
  void applyCull();
  void applySampler(int s);
  // The linked program of a vertex and pixel shader pair (linked on first use); null on failure.
  struct ShaderProgram *pairProgram(ShaderHandle vs, ShaderHandle ps, std::string *messages);
  void uploadConstants(struct ShaderProgram &p);
  HRESULT32 createBuffer(uint32_t bytes, bool index, bool dynamic, BufferHandle &out);
  // Points the attributes at the streams of the current declaration; `up_stride` non-zero draws
  // stream 0 from the memory buffer instead.
  void applyVertexInput(uint32_t up_stride);
  void restoreUnit0();

  std::vector<Object> objects;
  std::vector<uint32_t> free_ids;
  State *st;
};
