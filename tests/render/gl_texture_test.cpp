// Textures, buffers and declarations on the OpenGL backend without a display: the generated
// textures load through the cache and one is drawn onto the back buffer texel for pixel.
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "render/dds.h"
#include "render/device.h"
#include "render/gl_backend.h"
#include "render/gl_backend_internal.h"
#include "render/resource_hooks.h"
#include "render/texture.h"
#include "render/texture_cache.h"
#include "render/vbuf.h"
#include "render/vdecl.h"
#include "support/dyn_array.h"

// The GL texture behind a handle; 0 when the handle is not a live texture.
struct GlBackendTestAccess
{
  static GLuint textureName(const GlBackend &gl, TextureHandle tex)
  {
    const GlBackend::Object *o = gl.get(tex.id);
    return o && o->kind == ObjKind::Texture ? o->name : 0;
  }
};

namespace
{
constexpr int W = 16, H = 16;

const char *const textured_vs = R"(
layout(location = 0) in vec3 in_pos;
layout(location = 4) in vec2 in_uv;
out vec2 v_uv;
void main()
{
  v_uv = in_uv;
  gl_Position = qm_device_position(vec4(in_pos, 1.0));
}
)";
const char *const textured_ps = R"(
uniform sampler2D s0;
in vec2 v_uv;
out vec4 out_color;
void main() { out_color = texture(s0, v_uv); }
)";

GLuint stage(GLenum type, const char *define, const char *body)
{
  const char *src[] = {"#version 330 core\n", define, gl_device_glsl, body};
  GLuint sh = glCreateShader(type);
  glShaderSource(sh, 4, src, nullptr);
  glCompileShader(sh);
  return sh;
}

struct QuadVertex
{
  float x, y, z, u, v;
};

class GlTextures : public testing::Test
{
protected:
  GlBackend gl;
  GLuint program = 0;
  VertexBuffer *vb = nullptr;
  IndexBuffer *ib = nullptr;
  VDecl decl;

  void SetUp() override
  {
    set_render_backend(&gl);
    isFullscreen = false;
    app_use_vsync = false;
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    if (!init_d3d(nullptr, W, H))
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    GLuint vs = stage(GL_VERTEX_SHADER, "#define VSH 1\n", textured_vs);
    GLuint ps = stage(GL_FRAGMENT_SHADER, "#define PSH 1\n", textured_ps);
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, ps);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(ps);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    ASSERT_TRUE(ok);
    GlBackend::prepareProgram(program);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "s0"), 0);
    gl.useProgram(program);

    // A full-screen quad whose texture coordinates put texel centres on pixel centres.
    static const VsdElement desc[] = {{0, 0, VSDT_FLOAT3, VSDU_POSITION, 0},
                                      {12, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0},
                                      {0, VSD_END, 0, 0, 0}};
    decl = create_vdecl(desc);
    vb = create_vb(4 * sizeof(QuadVertex), BUF_STATIC);
    ib = create_ib(6, BUF_STATIC);
    ASSERT_TRUE(vb && ib);
    float du = 0.5f / W, dv = 0.5f / H;
    QuadVertex q[4] = {{-1, 1, 0.5f, du, dv},
                       {1, 1, 0.5f, 1 + du, dv},
                       {-1, -1, 0.5f, du, 1 + dv},
                       {1, -1, 0.5f, 1 + du, 1 + dv}};
    void *p = lock_vb(vb, 0, 0);
    ASSERT_NE(p, nullptr);
    memcpy(p, q, sizeof(q));
    unlock_vb(vb);
    uint16_t idx[6] = {0, 1, 2, 2, 1, 3};
    p = lock_ib(ib, 0, sizeof(idx));
    ASSERT_NE(p, nullptr);
    memcpy(p, idx, sizeof(idx));
    unlock_ib(ib);
    restore_back_buffer();
    set_cull_mode(0);
  }
  void TearDown() override
  {
    gl.useProgram(0);
    if (program)
      glDeleteProgram(program);
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
  }

  void drawTextured(Texture *tex)
  {
    set_texture(0, tex);
    set_tex_filter(0, false);
    drawQuad();
  }
  // The quad with whatever the stages hold.
  void drawQuad()
  {
    set_vdecl(decl);
    set_vb(0, vb, 0, sizeof(QuadVertex));
    set_ib(ib);
    clear_view_color(0xFF000000);
    draw_indexed(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
  }
  std::vector<uint32_t> screen()
  {
    std::vector<uint32_t> p(W * H);
    EXPECT_TRUE(gl.readPixels(0, 0, W, H, p.data()));
    return p;
  }
  // The texture GL has bound on a unit.
  static GLuint unitTexture(int unit)
  {
    GLint name = 0;
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    glActiveTexture(GL_TEXTURE0);
    return GLuint(name);
  }
  uint32_t px(int x, int y)
  {
    uint32_t p = 0;
    EXPECT_TRUE(gl.readPixels(x, y, 1, 1, &p));
    return p & 0xFFFFFF;
  }
};

TEST_F(GlTextures, GeneratedTexturesLoadAndOneIsDrawnTexelForPixel)
{
  struct Expect
  {
    const char *name;
    uint32_t w, h, format;
  } files[] = {{"detail.dds", 512, 512, D3DFMT_DXT5},
               {"foam.dds", 256, 256, D3DFMT_A8R8G8B8},
               {"blendfx.dds", 512, 256, D3DFMT_DXT5},
               {"glowfx.dds", 512, 256, D3DFMT_DXT1}};
  for (const Expect &e : files)
  {
    std::string path = std::string(QM_TEXTURE_DIR) + "/" + e.name;
    Texture *t = get_texture(path.c_str(), false);
    ASSERT_NE(t, nullptr) << e.name;
    EXPECT_EQ(t->width, e.w) << e.name;
    EXPECT_EQ(t->height, e.h) << e.name;
    EXPECT_EQ(t->format, e.format) << e.name;
    EXPECT_GT(t->levels, 8u) << e.name;
  }

  // foam.dds is uncompressed: its 16x16 level is what a 16x16 screen shows with point sampling.
  std::string foam = std::string(QM_TEXTURE_DIR) + "/foam.dds";
  Texture *t = get_texture(foam.c_str());
  DynArray<uint8_t> file;
  ASSERT_TRUE(load_file(foam.c_str(), file));
  DdsInfo info;
  ASSERT_TRUE(parse_dds(file.data, size_t(file.num), info));
  const uint8_t *level = file.data + DDS_HEADER_BYTES;
  for (uint32_t l = 0; l < 4; l++)
    level += dds_level_bytes(info, l);
  ASSERT_EQ(dds_level_dim(info.width, 4), uint32_t(W));
  drawTextured(t);
  int differ = 0;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++)
    {
      uint32_t texel;
      memcpy(&texel, level + (y * W + x) * 4, 4);
      if (px(x, y) != (texel & 0xFFFFFF))
        differ++;
    }
  EXPECT_EQ(differ, 0);
  free_texture(t);
}

TEST_F(GlTextures, LockedAndCompressedTexelsReachTheScreen)
{
  // A 2x2 dynamic texture written through a lock: each texel fills one quarter, row 0 on top.
  Texture *d = create_dynamic_texture(2, 2);
  ASSERT_NE(d, nullptr);
  int pitch = 0;
  uint8_t *p = static_cast<uint8_t *>(lock_texture(d, pitch, true));
  ASSERT_NE(p, nullptr);
  const uint32_t colors[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  memcpy(p, colors, 8);
  memcpy(p + pitch, colors + 2, 8);
  unlock_texture(d);
  drawTextured(d);
  EXPECT_EQ(px(2, 2), 0xFF0000u);
  EXPECT_EQ(px(13, 2), 0x00FF00u);
  EXPECT_EQ(px(2, 13), 0x0000FFu);
  EXPECT_EQ(px(13, 13), 0xFFFFFFu);

  // A DXT1 block whose every texel takes colour 0 (pure red in 5:6:5).
  Texture *c = create_texture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED);
  ASSERT_NE(c, nullptr);
  p = static_cast<uint8_t *>(lock_texture(c, pitch, false));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(pitch, 8);
  const uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0, 0, 0, 0};
  memcpy(p, block, 8);
  unlock_texture(c);
  drawTextured(c);
  EXPECT_EQ(px(8, 8), 0xFF0000u);

  // A render target that follows the screen size, and a dynamic buffer, across a reset.
  Texture *screen = create_screen_render_target();
  VertexBuffer *dyn = create_vb(64, 0);
  ASSERT_TRUE(screen && dyn);
  ASSERT_TRUE(resize_d3d(8, 4, false, false));
  set_render_target(screen, 0, false);
  clear_view_color(0xFF00FF00);
  EXPECT_EQ(px(7, 3), 0x00FF00u);
  ASSERT_NE(lock_vb(dyn, 0, 64), nullptr);
  unlock_vb(dyn);
  restore_back_buffer();
}
TEST_F(GlTextures, CreatingAndFillingResourcesKeepsEveryBinding)
{
  Texture *a = create_dynamic_texture(2, 2);
  Texture *rt = create_render_target(W, H, 1);
  ASSERT_TRUE(a && rt);
  int pitch = 0;
  uint8_t *p = static_cast<uint8_t *>(lock_texture(a, pitch, true));
  ASSERT_NE(p, nullptr);
  const uint32_t colors[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  memcpy(p, colors, 8);
  memcpy(p + pitch, colors + 2, 8);
  unlock_texture(a);
  drawTextured(a);
  std::vector<uint32_t> before = screen();
  set_texture(1, rt);

  // Every kind of resource created and filled between two draws.
  Texture *m = create_managed_texture(4, 4);
  ASSERT_NE(lock_texture(m, pitch, false), nullptr);
  unlock_texture(m);
  Texture *dds = get_texture((std::string(QM_TEXTURE_DIR) + "/foam.dds").c_str());
  Texture *rt2 = create_render_target(8, 8, 5);
  VertexBuffer *v = create_vb(64, 0);
  ASSERT_TRUE(m && dds && rt2 && v && lock_vb(v, 0, 0));
  unlock_vb(v);
  static const VsdElement other[] = {{0, 0, VSDT_FLOAT3, VSDU_POSITION, 0},
                                     {12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
                                     {0, VSD_END, 0, 0, 0}};
  create_vdecl(other);
  EXPECT_EQ(unitTexture(0), GlBackendTestAccess::textureName(gl, a->tex));
  EXPECT_EQ(unitTexture(1), GlBackendTestAccess::textureName(gl, rt->tex));
  drawQuad();
  EXPECT_EQ(screen(), before);

  // The target held by unit 1 is taken off it when it becomes the target drawn into.
  set_render_target(rt, 0, false);
  EXPECT_EQ(unitTexture(1), 0u);
  EXPECT_EQ(unitTexture(0), GlBackendTestAccess::textureName(gl, a->tex));
  restore_back_buffer();
  free_texture(dds);
}

TEST_F(GlTextures, FixedFormatAndDeclarationsDrawFromBuffers)
{
  // Position and D3DCOLOR from a dynamic buffer with the fixed format (built-in program).
  struct ColorVertex
  {
    float x, y, z;
    uint32_t color;
  } tri[3] = {{-1, -1, 0.5f, 0xFF00FF00}, {-1, 3, 0.5f, 0xFF00FF00}, {3, -1, 0.5f, 0xFF00FF00}};
  VertexBuffer *cvb = create_vb(sizeof(tri), 0);
  void *p = lock_vb(cvb, 0, 0);
  ASSERT_NE(p, nullptr);
  memcpy(p, tri, sizeof(tri));
  unlock_vb(cvb);
  gl.useProgram(0);
  gl.setFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  set_vb(0, cvb, 0, sizeof(ColorVertex));
  clear_view_color(0xFF000000);
  draw_prim(D3DPT_TRIANGLELIST, 0, 1);
  EXPECT_EQ(px(8, 8), 0x00FF00u);

  // The same vertices through a declaration, with the colour read as BGRA from D3DCOLOR.
  static const VsdElement desc[] = {{0, 0, VSDT_FLOAT3, VSDU_POSITION, 0},
                                    {12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
                                    {0, VSD_END, 0, 0, 0}};
  tri[0].color = tri[1].color = tri[2].color = 0xFFFF8000;
  p = lock_vb(cvb, 0, 0);
  ASSERT_NE(p, nullptr);
  memcpy(p, tri, sizeof(tri));
  unlock_vb(cvb);
  set_vdecl(create_vdecl(desc));
  clear_view_color(0xFF000000);
  draw_prim(D3DPT_TRIANGLELIST, 0, 1);
  EXPECT_EQ(px(8, 8), 0xFF8000u);
  gl.useProgram(program);
}
}  // namespace
