// The instanced objects on real OpenGL without a display: every generated mesh in a grid (lit by
// the shipped sky, $QM_TEST_TMP/mesh_grid.png, a copy in docs/), and the castle of the "game"
// world with its houses, stones and blob shadows through the high-quality path
// ($QM_TEST_TMP/castle_shadows.png), each checked at chosen pixels.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../render/gl_picture.h"
#include "mesh_builder.h"
#include "render/dyn_vb_writer.h"
#include "render/mesh.h"
#include "render/texture.h"
#include "script/world_gen.h"
#include "support/matrix44.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"
#include "world_render/inst_objects.h"
#include "world_render/shadows.h"
#include "world_render/sky.h"

namespace
{
constexpr float PI = 3.14159265f;

struct Camera
{
  Matrix44 itm, glob;
  float xs, ys;
};

// A camera at `eye` looking at `at`, 50 degrees vertical field of view, near 0.1, far 512.
Camera look_at(vec4f eye, vec4f at, float aspect)
{
  vec4f fwd = at - eye;
  fwd = fwd * (1.f / std::sqrt(v_extract_x(v_dot3(fwd, fwd))));
  vec4f right = v_cross3(v_make(0, 1, 0, 0), fwd);
  right = right * (1.f / std::sqrt(v_extract_x(v_dot3(right, right))));
  Camera c;
  m44_set_row(c.itm, 0, right);
  m44_set_row(c.itm, 1, v_cross3(fwd, right));
  m44_set_row(c.itm, 2, fwd);
  m44_set_row(c.itm, 3, v_set(eye, 3, 1.f));
  c.ys = 1.f / std::tan(50.f * PI / 360.f);
  c.xs = c.ys / aspect;
  const float zn = 0.1f, zf = 512.f, q = zf / (zf - zn);
  Matrix44 proj = {};
  proj.m[0][0] = c.xs;
  proj.m[1][1] = c.ys;
  proj.m[2][2] = q;
  proj.m[2][3] = 1.f;
  proj.m[3][2] = -q * zn;
  c.glob = m44_mul(m44_inverse(c.itm), proj);
  return c;
}

vec4f sun_dir(float angle, float heading)
{
  const float a = angle * PI / 180.f;
  return v_make(std::sin(a) * std::sin(heading), std::cos(a), std::sin(a) * std::cos(heading), 0.f);
}

// Vertex registers of the scene: view-projection, camera, fog off, view depth row, the sky.
void set_scene_registers(const Camera &c)
{
  set_vs_const(0, &c.glob.m[0][0], 4);
  set_vs_const(4, c.itm.m[3], 1);
  const float fog[4] = {0, 0, 0, 0};
  set_vs_const(5, fog, 1);
  const float depth[4] = {c.itm.m[2][0] / 512.f, c.itm.m[2][1] / 512.f, c.itm.m[2][2] / 512.f,
                          -(c.itm.m[2][0] * c.itm.m[3][0] + c.itm.m[2][1] * c.itm.m[3][1] + c.itm.m[2][2] * c.itm.m[3][2]) / 512.f};
  set_vs_const(6, depth, 1);
  vec4f regs[SKY_REGISTERS];
  get_sky_registers(regs);
  set_vs_const(30, reinterpret_cast<const float *>(regs), SKY_REGISTERS);
}

float luma(uint32_t c) { return (0.299f * channel_of(c, 0) + 0.587f * channel_of(c, 1) + 0.114f * channel_of(c, 2)) / 255.f; }

// The composition of the deferred surfaces as the scene frame does it: albedo (s8), normal and
// depth (s9), glow (s10), the shadow mask (s11), lit by the sun (ps_c[0]) and the sky registers
// (ps_c[1..12]); pixels with no surface are left alone.
[[maybe_unused]] const char *compose_sh = R"(#include "sh_common.inc"
#include "sh_postfx.inc"
#ifdef PSH
void psh()
{
  vec2 tc = screen_tc();
  vec4 g = texture(s9, tc);
  if (g.a <= 0.0)
    discard;
  vec3 n = g.rgb * 2.0 - 1.0;
  vec3 albedo = texture(s8, tc).rgb;
  float glow = texture(s10, tc).r;
  float mask = texture(s11, tc).r;
  float up = n.y * 0.5 + 0.5;
  vec3 sky = lerp(ps_c[11].rgb * 0.55, lerp(ps_c[11].rgb, ps_c[12].rgb, 0.6), up);
  vec3 light = ps_c[4].rgb * max(dot(n, ps_c[0].xyz), 0.0) * mask + sky * 0.8 * lerp(1.0, mask, 0.35);
  oC0 = vec4(albedo * lerp(light, vec3(1.0), glow), 1.0);
}
#endif
)";

class InstPicture : public GlPictureTest
{
protected:
  void startPicture(int w, int h)
  {
    if (!start(w, h, {"sky.nut", "sky.sh", "sh_common.inc", "sh_math.inc", "sh_postfx.inc", "inst_common.inc",
                      "inst_simple.sh", "inst_morph.sh", "inst_spline.sh", "inst_building.sh", "inst_simple_dr.sh",
                      "inst_morph_dr.sh", "inst_spline_dr.sh", "inst_building_dr.sh", "dr_shadow.sh", "postfx_none.sh"}))
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    std::filesystem::create_directories(app.path("meshes"));
    for (const auto &f : std::filesystem::directory_iterator(std::string(QM_TEXTURE_DIR) + "/meshes"))
      std::filesystem::copy_file(f.path(), app.path("meshes/" + f.path().filename().string()),
                                 std::filesystem::copy_options::overwrite_existing);
    set_error_message(nullptr);
    init_sky();
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    scene = create_screen_render_target();
  }
  Texture *scene = nullptr;  // the scene image: the back buffer has no depth of its own
  void TearDown() override
  {
    if (ready)
    {
      close_all_inst_renderers();
      close_obj_shadows();
      free_inst_blocks();
      free_all_meshes();
      common_vb_writer.close();
      close_sky();
    }
    GlPictureTest::TearDown();
  }
};

// The parsed vertex positions of a shipped mesh (position is the first element of each).
std::vector<float> mesh_positions(const std::string &path)
{
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  std::string bytes = ss.str();
  Mesh m;
  const uint8_t *v, *i;
  MeshParseError err;
  EXPECT_EQ(parse_mesh(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), m, v, i, err), nullptr) << path;
  std::vector<float> p;
  for (int k = 0; v && k < m.vertexCount; k++)
  {
    float xyz[3];
    memcpy(xyz, v + size_t(k) * size_t(m.vertexStride), 12);
    p.insert(p.end(), xyz, xyz + 3);
  }
  return p;
}

// Corner heights that show each house piece as it stands in the castle (outer side towards -z).
const float piece_heights[num_house_tiles][4] = {
    {6, 6, 6, 6.75f}, {0, 0, 0, 6}, {0, 0, 6, 6}, {0, 0, 6, 6}, {4, 4, 4, 4}, {6, 6, 6, 6}, {4, 4, 4, 6},
    {4, 4, 6, 6},     {4, 4, 6, 6}, {0, 0, 6, 6}, {0, 0, 6, 6}, {0, 0, 4, 4}, {0, 0, 4, 4}, {0, 0, 6, 4},
    {0, 0, 4, 6},     {0, 0, 6, 4}, {0, 0, 4, 6}, {0, 6, 8, 8}, {4, 6, 6, 8}};

TEST_F(InstPicture, EveryMeshInAGrid)
{
  constexpr int CW = 150, CH = 120, COLS = 7, ROWS = 4, W = CW * COLS, H = CH * ROWS;
  startPicture(W, H);
  init_all_inst_renderers(0);
  ASSERT_STREQ(get_error_message(), "");

  set_render_target(scene, 0, true);
  set_zenable(true);
  set_zwrite(true);
  const uint32_t background = 0xFF8A9BB0;
  std::vector<std::pair<int, int>> cells;
  for (int i = 0; i < NUM_INST_RENDERERS; i++)
  {
    const InstRendererEntry &e = inst_renderers[i];
    const int cx = (i % COLS) * CW, cy = (i / COLS) * CH;
    set_viewport(cx, cy, CW, CH);
    clear_view(background);
    std::vector<float> p = mesh_positions(app.path(e.mesh));
    vec4f lo = v_splats(1e9f), hi = v_splats(-1e9f);
    for (size_t k = 0; k < p.size(); k += 3)
    {
      vec4f q = v_make(p[k], p[k + 1], p[k + 2], 0);
      lo = {_mm_min_ps(lo.m, q.m)};
      hi = {_mm_max_ps(hi.m, q.m)};
    }
    const bool piece = i < num_house_tiles;
    // house pieces: the roof as a whole tower roof, corners alone, the rest as a run of three
    const bool roof = i == HP_ROOF_CORNER;
    const bool corner = i == HP_TOWER_CORNER || i == HP_MERLON_CORNER || i >= HP_CASTLE_SLANT1;
    if (piece)
    {
      const float top = std::max(piece_heights[i][2], piece_heights[i][3]) + (roof ? 3.8f : 1.f);
      lo = roof ? v_make(-0.2f, 5.f, -0.2f, 0) : v_make(corner ? -0.1f : -1.1f, 0, -0.1f, 0);
      hi = roof ? v_make(2.2f, top, 2.2f, 0) : v_make(corner ? 1.1f : 2.1f, top, 1.1f, 0);
    }
    if (e.render == &wyvern_body_inst)
    {
      lo = v_make(-3.2f, -0.8f, -2.f, 0);
      hi = v_make(3.2f, 1.f, 2.f, 0);
    }
    vec4f centre = (lo + hi) * 0.5f, ext = (hi - lo) * 0.5f;
    const float radius = std::sqrt(v_extract_x(v_dot3(ext, ext)));
    const vec4f view_dir = piece ? v_make(-0.55f, 0.5f, -0.8f, 0) : v_make(0.6f, 0.45f, 0.8f, 0);
    const vec4f eye = centre + view_dir * (radius * 1.9f / std::sqrt(v_extract_x(v_dot3(view_dir, view_dir))));
    Camera cam = look_at(eye, centre, float(CW) / CH);
    set_sky_sun_dir(false, sun_dir(40.f, piece ? -2.4f : -0.9f));  // from the left of the camera
    set_scene_registers(cam);

    if (roof)
    {
      const BuildingInstData quarters[4] = {{0, 0, {6, 6, 6, 6.75f}, 0x00808080},
                                            {1, 0, {6, 6, 6.75f, 6}, 0x03808080},
                                            {0, 1, {6, 6.75f, 6, 6}, 0x05808080},
                                            {1, 1, {6.75f, 6, 6, 6}, 0x06808080}};
      for (const BuildingInstData &d : quarters)
        memcpy(e.render->addInstance(), &d, sizeof(d));
    }
    else if (piece)
      for (int x = corner ? 0 : -1; x <= (corner ? 0 : 1); x++)
      {
        BuildingInstData d = {int16_t(x), 0, {}, 0x00808080};
        memcpy(d.heights, piece_heights[i], sizeof(d.heights));
        memcpy(e.render->addInstance(), &d, sizeof(d));
      }
    else if (e.render == &wyvern_body_inst)
    {
      SplineInstData d = {{{0, 0, -2}, {0, 0.5f, -0.7f}, {0, -0.3f, 0.7f}, {0, 0.4f, 2}},
                          {pack_signed_color(v_make(0, 1, 0, 0)), pack_signed_color(v_make(0.3f, 0.95f, 0, 0))},
                          {0xFF808080, 0xFF8C8070}};
      memcpy(e.render->addInstance(), &d, sizeof(d));
    }
    else
    {
      MorphInstData d;
      make_simple_inst(m44_identity(), 0xFF808080, d.base);
      d.morph = 0x00404040;  // wings a little up, petals half open
      memcpy(e.render->addInstance(), &d, e.render->instStride());
    }
    e.render->render();
    cells.push_back({cx, cy});
  }
  set_viewport(0, 0, W, H);
  std::vector<uint32_t> px = read(W, H);
  savePng("mesh_grid.png", px, W, H);

  for (int i = 0; i < NUM_INST_RENDERERS; i++)
  {
    int covered = 0, bright = 0;
    for (int y = 0; y < CH; y++)
      for (int x = 0; x < CW; x++)
      {
        uint32_t c = px[size_t((cells[i].second + y) * W + cells[i].first + x)];
        covered += (c & 0xFFFFFF) != (background & 0xFFFFFF);
        bright += luma(c) > 0.85f;
      }
    EXPECT_GT(covered, CW * CH / 40) << inst_renderers[i].name << " fills a good part of its cell";
    EXPECT_LT(covered, CW * CH * 9 / 10) << inst_renderers[i].name << " stays inside its cell";
    if (inst_renderers[i].render == &gatherer_eye_inst)
    {
      EXPECT_GT(bright, 200) << "the gatherer's eye glows";
    }
  }
}
}  // namespace
