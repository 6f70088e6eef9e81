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
#include "app/camera.h"
#include "render/dyn_vb_writer.h"
#include "render/mesh.h"
#include "render/texture.h"
#include "script/world_gen.h"
#include "support/matrix44.h"
#include "terrain/house_pieces.h"
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

// A composition of the deferred surfaces (gbuffer.inc): depth and glow (s8), albedo (s9),
// normal (s10), the shadow mask (s11), lit by the sun (ps_c[0]) and the sky registers
// (ps_c[1..12]); pixels with no surface are left alone.
const char *compose_sh = R"(#include "sh_common.inc"
#include "sh_postfx.inc"
#include "gbuffer.inc"
#ifdef VSH
out vec2 v_tc;
void vsh()
{
  v_tc = screen_tc();
  screen_position();
}
#endif
#ifdef PSH
in vec2 v_tc;
void psh()
{
  vec4 d = texture(s8, v_tc);
  if (gbuf_unpack_depth(d.rgb) > 0.99999)
    discard;
  vec3 n = gbuf_normal(texture(s10, v_tc));
  vec4 albedo = vec4(texture(s9, v_tc).rgb, d.a);
  float mask = texture(s11, v_tc).r;
  float up = n.y * 0.5 + 0.5;
  vec3 sky = lerp(ps_c[11].rgb * 0.55, lerp(ps_c[11].rgb, ps_c[12].rgb, 0.6), up);
  sky = lerp(vec3(dot(sky, vec3(0.3, 0.5, 0.2))), sky, 0.6);
  vec3 light = ps_c[4].rgb * (max(dot(n, ps_c[0].xyz), 0.0) * mask + 0.15 * (1.0 - up)) + sky * 0.9 * lerp(1.0, mask, 0.5);
  oC0 = vec4(albedo.rgb * lerp(light, vec3(1.0), albedo.a), 1.0);
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
                      "inst_morph_dr.sh", "inst_spline_dr.sh", "inst_building_dr.sh", "dr_shadow.sh", "gbuffer.inc"}))
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

// The box around the vertices of a shipped mesh (position is the first element of each).
void mesh_bounds(const std::string &path, vec4f &lo, vec4f &hi)
{
  std::ifstream f(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  Mesh m;
  const uint8_t *v, *i;
  MeshParseError err;
  EXPECT_EQ(parse_mesh(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), m, v, i, err), nullptr) << path;
  lo = v_splats(1e9f);
  hi = v_splats(-1e9f);
  for (int k = 0; v && k < m.vertexCount; k++)
  {
    float p[4] = {0, 0, 0, 0};
    memcpy(p, v + size_t(k) * size_t(m.vertexStride), 12);
    lo = {_mm_min_ps(lo.m, _mm_loadu_ps(p))};
    hi = {_mm_max_ps(hi.m, _mm_loadu_ps(p))};
  }
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
  for (int i = 0; i < NUM_INST_RENDERERS; i++)
  {
    const InstRendererEntry &e = inst_renderers[i];
    const int cx = (i % COLS) * CW, cy = (i / COLS) * CH;
    set_viewport(cx, cy, CW, CH);
    clear_view(background);
    vec4f lo, hi;
    mesh_bounds(app.path(e.mesh), lo, hi);
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
        uint32_t c = px[size_t(((i / COLS) * CH + y) * W + (i % COLS) * CW + x)];
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

// The ground of the area around (cx, cz) (r squares each way) as one mesh: heights and colours of
// the world, house squares left out (their pieces stand there).
MeshFile ground_mesh(int cx, int cz, int r)
{
  Builder b;
  const int n = 2 * r + 1;
  auto h = [](int x, int z) { return HeightmapData::hmap[((z & 255) << 8) | (x & 255)]; };
  for (int j = 0; j < n; j++)
    for (int i = 0; i < n; i++)
    {
      const int x = cx - r + i, z = cz - r + j;
      const HeightmapData::Surface &s = HeightmapData::surface[((z & 255) << 8) | (x & 255)];
      auto ch = [](uint32_t c, int k) { return float((c >> (16 - 8 * k)) & 255) / 255.f; };
      const float ta = float(s.top_color >> 24) / 255.f;
      Rgb c{ch(s.color, 0) + (ch(s.top_color, 0) - ch(s.color, 0)) * ta, ch(s.color, 1) + (ch(s.top_color, 1) - ch(s.color, 1)) * ta,
            ch(s.color, 2) + (ch(s.top_color, 2) - ch(s.color, 2)) * ta};
      Vtx v;
      v.p = {float(x), h(x, z), float(z)};
      v.n = normalize(V3{h(x - 1, z) - h(x + 1, z), 2.f, h(x, z - 1) - h(x, z + 1)});
      v.c = pack_color(c);
      b.add(v);
    }
  for (int j = 0; j + 1 < n; j++)
    for (int i = 0; i + 1 < n; i++)
    {
      const int x = cx - r + i, z = cz - r + j;
      if (HeightmapData::surface[((z & 255) << 8) | (x & 255)].ground_type == GT_HOUSE)
        continue;
      const uint16_t a = uint16_t(j * n + i), bb = uint16_t(a + 1), c = uint16_t(a + n), d = uint16_t(a + n + 1);
      b.tri(a, bb, d, {0, 1, 0});
      b.tri(a, d, c, {0, 1, 0});
    }
  return pack_mesh(b, Layout::Simple, "inst_simple.sh", "inst_simple_dr.sh", {});
}

float ground_height(float x, float z)
{
  const int ix = int(std::floor(x)), iz = int(std::floor(z));
  const float fx = x - float(ix), fz = z - float(iz);
  auto h = [](int x, int z) { return HeightmapData::hmap[((z & 255) << 8) | (x & 255)]; };
  return (h(ix, iz) * (1 - fx) + h(ix + 1, iz) * fx) * (1 - fz) + (h(ix, iz + 1) * (1 - fx) + h(ix + 1, iz + 1) * fx) * fz;
}

Matrix44 object_tm(float x, float z, float yaw, float scale, float y)
{
  Matrix44 m = m44_identity();
  m44_set_row(m, 0, v_make(std::cos(yaw) * scale, 0, -std::sin(yaw) * scale, 0));
  m44_set_row(m, 1, v_make(0, scale, 0, 0));
  m44_set_row(m, 2, v_make(std::sin(yaw) * scale, 0, std::cos(yaw) * scale, 0));
  m44_set_row(m, 3, v_make(x, y, z, 1));
  return m;
}

TEST_F(InstPicture, CastleOnTheGameWorldCastsShadows)
{
  constexpr int W = 480, H = 300;
  startPicture(W, H);
  app.write("compose_test.sh", compose_sh);
  std::ifstream gen(std::string(QM_SOURCE_DIR) + "/bin/gen/main.nut");
  std::stringstream gs;
  gs << gen.rdbuf();
  app.write("gen/main.nut", gs.str());
  game_rnd_seed = 7;
  init_world_gen_vm();
  generate_world("game");
  close_world_gen_vm();
  ASSERT_STREQ(get_error_message(), "");

  // The castle: the squares of pieces only castles have (merlons and curtain walls), found from
  // the first one across the world's seams.
  int fx = -1, fz = -1, count = 0;
  float sx = 0, sz = 0;
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
    {
      const HeightmapData::Surface &s = HeightmapData::surface[(z << 8) | x];
      if (s.ground_type != GT_HOUSE || s.house_piece < HP_MERLON_TOP)
        continue;
      if (fx < 0)
        fx = x, fz = z;
      sx += float(fx + ((x - fx + 384) & 255) - 128);
      sz += float(fz + ((z - fz + 384) & 255) - 128);
      count++;
    }
  ASSERT_GT(count, 100) << "the game world has a castle";
  const int cx = int(std::lround(sx / float(count))), cz = int(std::lround(sz / float(count)));

  init_all_inst_renderers(1);
  init_obj_shadows();
  constexpr int R = 22;
  std::string ground_path = app.path("meshes/test_ground.mesh");
  ASSERT_TRUE(save_mesh(ground_path, ground_mesh(cx, cz, R)));
  SimpleInstRender ground;
  ground.init("meshes/test_ground.mesh", 1);

  const float base = ground_height(float(cx), float(cz));
  set_sky_sun_dir(false, sun_dir(55.f, 2.2f));
  const vec4f target = v_make(float(cx) + 0.5f, base + 3.f, float(cz) + 0.5f, 0);
  Camera cam = look_at(target + v_make(-19.f, 17.f, -21.f, 0), target, float(W) / H);

  Texture *D = create_screen_render_target(), *B = create_screen_render_target(), *A = create_screen_render_target();
  set_render_target(D, 0, true);
  set_render_target(B, 1, true);
  set_render_target(A, 2, true);
  clear_view(0x00FFFFFF);
  set_zenable(true);
  set_zwrite(true);
  set_scene_registers(cam);

  // Everything in the area: the ground, the pieces, stones and menhirs on the slopes, birds and a
  // wyvern over the walls.
  MorphInstData one;
  make_simple_inst(m44_identity(), 0xFF808080, one.base);
  memcpy(ground.addInstance(), &one.base, sizeof(one.base));
  int pieces = 0;
  for (int z = cz - R; z < cz + R; z++)
    for (int x = cx - R; x < cx + R; x++)
    {
      const HeightmapData::Surface &s = HeightmapData::surface[((z & 255) << 8) | (x & 255)];
      if (s.ground_type == GT_HOUSE)
        pieces += queue_house_piece(s, x, z, HeightmapData::hmap);
    }
  EXPECT_GT(pieces, 100);
  struct Placed
  {
    InstRender *r;
    Matrix44 tm;
  };
  std::vector<Placed> objects;
  game_rnd_seed = 11;
  for (int i = 0; i < 16; i++)
  {
    const float a = game_rnd_unit(game_rnd()) * 2 * PI, d = 13.f + 7.f * game_rnd_unit(game_rnd());
    const float x = float(cx) + std::cos(a) * d, z = float(cz) + std::sin(a) * d;
    if (HeightmapData::surface[((int(z) & 255) << 8) | (int(x) & 255)].ground_type == GT_HOUSE)
      continue;
    InstRender *r = i % 4 == 0 ? static_cast<InstRender *>(&menhir1_inst) : i % 4 == 1 ? &menhir2_inst : &stone1_inst;
    objects.push_back({r, object_tm(x, z, a * 3.f, 0.8f + 0.4f * game_rnd_unit(game_rnd()), ground_height(x, z) - 0.2f)});
  }
  for (const Placed &o : objects)
  {
    SimpleInstData d;
    make_simple_inst(o.tm, 0xFF808080, d);
    memcpy(o.r->addInstance(), &d, sizeof(d));
  }
  const Matrix44 birds[2] = {object_tm(float(cx) - 6.f, float(cz) - 3.f, 0.7f, 1.6f, base + 13.f),
                             object_tm(float(cx) + 2.f, float(cz) - 9.f, 2.1f, 1.6f, base + 11.f)};
  for (int i = 0; i < 2; i++)
  {
    MorphInstData d;
    make_simple_inst(birds[i], 0xFF808080, d.base);
    d.morph = i ? 0x00FFFFFF : 0x00202020;
    memcpy(bird_body_inst.addInstance(), &d, sizeof(d));
  }
  const vec4f wy = v_make(float(cx) + 4.f, base + 15.f, float(cz) + 2.f, 0);
  SplineInstData body = {{{v_extract_x(wy) - 3.f, v_extract_y(wy), v_extract_z(wy) - 3.f},
                          {v_extract_x(wy) - 1.f, v_extract_y(wy) + 0.6f, v_extract_z(wy) - 1.6f},
                          {v_extract_x(wy) + 0.6f, v_extract_y(wy) - 0.4f, v_extract_z(wy) + 0.8f},
                          {v_extract_x(wy) + 2.f, v_extract_y(wy) + 0.5f, v_extract_z(wy) + 3.f}},
                         {pack_signed_color(v_make(0, 1, 0, 0)), pack_signed_color(v_make(-0.2f, 0.98f, 0, 0))},
                         {0xFF808080, 0xFF90806A}};
  memcpy(wyvern_body_inst.addInstance(), &body, sizeof(body));
  for (const InstRendererEntry &e : inst_renderers)
    e.render->render();
  ground.render();

  // Shadows into the scene image (multiplied over white), from the depth in D and the normals in A.
  set_render_target(nullptr, 1, false);
  set_render_target(nullptr, 2, false);
  set_render_target(scene, 0, true);
  set_zenable(false);
  set_zwrite(false);
  for (int s = 8; s <= 10; s++)
  {
    set_texture(s, s == 8 ? D : s == 9 ? B : A);
    set_tex_filter(s, false);
  }
  vec4f regs[SKY_REGISTERS];
  get_sky_registers(regs);
  set_ps_const(0, reinterpret_cast<const float *>(regs), 1);
  const float map[4] = {0.5f, -0.5f, 0.5f / W + 0.5f, 0.5f / H + 0.5f};
  set_vs_const(16, map, 1);
  for (int i = 0; i < 3; i++)
  {
    const float k = i == 0 ? 512.f / cam.xs : i == 1 ? 512.f / cam.ys : 512.f;
    const float row[4] = {cam.itm.m[i][0] * k, cam.itm.m[i][1] * k, cam.itm.m[i][2] * k, 0};
    set_vs_const(17 + i, row, 1);
  }
  start_render_shadows({cam.glob, calc_glob_rk(cam.glob), v_set(m44_row(cam.itm, 3), 3, 1.f), get_sky_sun_dir()});
  for (int z = cz - R; z < cz + R; z++)
    for (int x = cx - R; x < cx + R; x++)
    {
      const HeightmapData::Surface &s = HeightmapData::surface[((z & 255) << 8) | (x & 255)];
      if (s.ground_type != GT_HOUSE)
        continue;
      const float top = std::max({ground_height(float(x), float(z)), ground_height(x + 1.f, float(z)),
                                  ground_height(float(x), z + 1.f), ground_height(x + 1.f, z + 1.f)});
      render_shadow_ball(v_make(x + 0.5f, top - 0.5f, z + 0.5f, 1), 0.7f);
    }
  for (const Placed &o : objects)
    o.r->renderShadowBalls(o.tm, o.tm.m[1][1]);
  for (const Matrix44 &b : birds)
    bird_body_inst.renderShadowBalls(b, 1.6f);
  for (float t : {0.25f, 0.5f, 0.75f})
  {
    vec4f p = v_make(0, 0, 0, 1);
    const float s = 1 - t, w[4] = {s * s * s, 3 * s * s * t, 3 * s * t * t, t * t * t};
    for (int k = 0; k < 4; k++)
      p = p + v_make(body.points[k][0], body.points[k][1], body.points[k][2], 0) * w[k];
    render_shadow_ball(p, 0.6f);
  }
  end_render_shadows();
  const std::vector<uint32_t> mask = read(W, H);

  // The picture: the sky, then the lit surfaces.
  restore_back_buffer();
  set_vs_const(0, &cam.glob.m[0][0], 4);
  set_vs_const(4, cam.itm.m[3], 1);
  render_sky(cam.itm);
  set_vs_const(16, map, 1);
  set_texture(11, scene);
  set_tex_filter(11, false);
  set_ps_const(0, reinterpret_cast<const float *>(regs), SKY_REGISTERS);
  Shader *compose = create_shader("compose_test.sh", nullptr);
  set_shader(compose);
  draw_postfx();
  destroy_shader(compose);
  std::vector<uint32_t> px = read(W, H);
  savePng("castle_shadows.png", px, W, H);
  ground.close();
  for (Texture *t : {D, B, A})
    release_texture(t);

  // The balls went into the tiles they can darken, and the mask darkens part of the picture
  // (shadows), never all of it.
  int shadowed = 0;
  for (uint32_t m : mask)
    shadowed += channel_of(m, 0) < 150;
  EXPECT_GT(shadowed, W * H / 50) << "shadows are drawn";
  EXPECT_LT(shadowed, W * H / 2) << "and the sunlit side stays lit";
  int tiles = 0;
  for (const ShadowTile &t : shadow_state.tiles)
    tiles += t.curGroup >= 0;
  EXPECT_GT(tiles, 20);
  // The castle's stone is where the camera looks.
  const uint32_t mid = px[size_t(H / 2 * W + W / 2)];
  EXPECT_GT(luma(mid), 0.2f);
  EXPECT_LT(std::abs(channel_of(mid, 0) - channel_of(mid, 2)), 70) << "grey-beige stone, not sky";
}
}  // namespace
