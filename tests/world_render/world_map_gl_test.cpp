// The world map on real OpenGL without a display: the map of the "game" world of seed 7 against
// the world tool's relief picture of the same world (the same land and water in the same places),
// written to $QM_TEST_TMP/world_map.png (docs/ keeps a copy); and the map following a terrain edit.
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "../render/gl_picture.h"
#include "app/world_pictures.h"
#include "render/texture.h"
#include "script/world_gen.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "world_render/land_render.h"
#include "world_render/sky.h"
#include "world_render/world_map.h"

using HD = HeightmapData;

namespace
{
const char *const map_files[] = {
    "sky.nut",        "sky.sh",          "sh_common.inc",  "sh_math.inc",  "sh_postfx.inc",    "load_float.sh",
    "load_color.sh",  "interp_tex.sh",   "land_tex.inc",   "calc_norm.sh", "calc_norm_low.sh", "calc_aper.sh",
    "land_common.inc", "land_light.inc", "gbuffer.inc",    "land.sh",      "dr_land.sh",       "water_common.inc",
    "water.sh",       "dr_water.sh",     "horizon.sh",     "map_common.inc", "map_surf.sh",    "map_water.sh",
    "map_light.sh",   "map_light_low.sh",
};
const vec4f camera = v_make(128.f, 40.f, 128.f, 1.f);

class WorldMapGl : public GlPictureTest
{
protected:
  bool open(int quality)
  {
    std::filesystem::create_directories(app.path("gen"));
    std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/gen/main.nut", app.path("gen/main.nut"));
    for (const char *f : {"detail.dds", "foam.dds"})
      std::filesystem::copy_file(std::string(QM_TEXTURE_DIR) + "/" + f, app.path(f));
    for (const char *f : map_files)
      std::filesystem::copy_file(std::string(QM_SOURCE_DIR) + "/bin/" + f, app.path(f));
    if (!start(64, 64, {}))
      return false;
    set_error_message(nullptr);
    init_sky();
    set_sky_sun_dir(false, v_make(0.25f, 0.5f, -0.8f, 0.f));
    init_land_render(quality);
    init_world_gen_vm();
    game_rnd_seed = 7;
    generate_world("game");
    close_world_gen_vm();
    land_request_full_update();
    land_frame_update(0.f, camera, 2);
    return true;
  }
  void TearDown() override
  {
    if (ready)
    {
      close_land_render();
      close_sky();
    }
    GlPictureTest::TearDown();
  }

  static std::vector<uint32_t> read_map()
  {
    int pitch = 0;
    void *p = lock_texture(HeightmapRenderer::mapTex, pitch, false);
    EXPECT_TRUE(p);
    EXPECT_EQ(pitch, WORLD_MAP_SIZE * 4);
    std::vector<uint32_t> out(WORLD_MAP_SIZE * WORLD_MAP_SIZE);
    if (p)
      std::memcpy(out.data(), p, out.size() * 4);
    unlock_texture(HeightmapRenderer::mapTex);
    return out;
  }

  // The map's pixel a quarter sample right of and below sample (x, z), found through the exported
  // mapping (the sample covers columns 2x, 2x + 1 and rows 510 - 2z, 511 - 2z; this is the lower
  // right one). A world away gives the same pixel.
  static uint32_t map_at(const std::vector<uint32_t> &map, int x, int z)
  {
    float u, v;
    world_map_uv(float(x) + 0.25f - 256.f, float(z) - 0.25f + 512.f, u, v);
    const int col = int(u * WORLD_MAP_SIZE), row = int(v * WORLD_MAP_SIZE);
    EXPECT_EQ(col, 2 * x + 1);
    EXPECT_EQ(row, 511 - 2 * z);
    return map[size_t(row * WORLD_MAP_SIZE + col)];
  }
  static bool looks_wet(int r, int b) { return b > r + 20; }
};

// Samples whose whole neighbourhood (r samples around) is deep water, or dry.
bool neighbourhood(int x, int z, bool deep, int r = 2)
{
  for (int dz = -r; dz <= r; dz++)
    for (int dx = -r; dx <= r; dx++)
    {
      const float d = HD::water[hmap_idx(x + dx, z + dz)].depth;
      if (deep ? d < 0.5f : d > 0.f)
        return false;
    }
  return true;
}

TEST_F(WorldMapGl, GameWorldMatchesTheReliefPicture)
{
  if (!open(1))
    GTEST_SKIP() << "no headless OpenGL 3.3 here";
  ASSERT_STREQ(get_error_message(), "");
  const std::vector<uint32_t> map = read_map();
  savePng("world_map.png", map, WORLD_MAP_SIZE, WORLD_MAP_SIZE);
  std::vector<uint8_t> relief(3 * WORLD_IMAGE_PIXELS);
  make_relief_image(relief.data());

  // Water and land at every fourth sample where the neighbourhood is unambiguous.
  int wet = 0, dry = 0;
  for (int z = 0; z < HMAP_SIZE; z += 4)
    for (int x = 0; x < HMAP_SIZE; x += 4)
    {
      const bool deep = neighbourhood(x, z, true), land = neighbourhood(x, z, false);
      if (!deep && !land)
        continue;
      const uint8_t *r = &relief[size_t(3 * ((255 - z) * 256 + x))];
      const uint32_t m = map_at(map, x, z);
      ASSERT_EQ(looks_wet(r[0], r[2]), deep) << "relief at (" << x << ", " << z << "): " << int(r[0]) << " " << int(r[1]) << " " << int(r[2]);
      ASSERT_EQ(looks_wet(channel_of(m, 0), channel_of(m, 2)), deep)
          << "map at (" << x << ", " << z << "): " << std::hex << m;
      (deep ? wet : dry)++;
    }
  EXPECT_GT(wet, 200);
  EXPECT_GT(dry, 1000);

  // Colours: blocks of 8 x 8 samples of the map near those of the relief.
  double total = 0;
  int worst = 0;
  for (int bz = 0; bz < 32; bz++)
    for (int bx = 0; bx < 32; bx++)
    {
      int diff = 0;
      for (int c = 0; c < 3; c++)
      {
        int sm = 0, sr = 0;
        for (int z = bz * 8; z < bz * 8 + 8; z++)
          for (int x = bx * 8; x < bx * 8 + 8; x++)
          {
            sm += channel_of(map_at(map, x, z), c);
            sr += relief[size_t(3 * ((255 - z) * 256 + x) + c)];
          }
        diff += std::abs(sm - sr) / 64;
      }
      total += diff;
      worst = std::max(worst, diff);
    }
  printf("map against relief: mean block difference %.1f, worst %d (sum of three channels)\n", total / 1024, worst);
  EXPECT_LT(total / 1024, 45.0);
  EXPECT_LT(worst, 150);
}

TEST_F(WorldMapGl, MapFollowsATerrainEdit)
{
  if (!open(0))
    GTEST_SKIP() << "no headless OpenGL 3.3 here";
  const std::vector<uint32_t> before = read_map();
  // A hill of 8 raised on the flattest dry ground, then two seconds of steps.
  int hx = -1, hz = -1;
  float flattest = 4.f;
  for (int z = 0; z < HMAP_SIZE; z += 4)
    for (int x = 0; x < HMAP_SIZE; x += 4)
    {
      float lo = 1e9f, hi = -1e9f;
      bool dry = true;
      for (int dz = -14; dz <= 14; dz++)
        for (int dx = -14; dx <= 14; dx++)
        {
          const int i = hmap_idx(x + dx, z + dz);
          dry = dry && HD::water[i].depth == 0.f;
          lo = std::min(lo, HD::hmap[i]);
          hi = std::max(hi, HD::hmap[i]);
        }
      if (dry && hi - lo < flattest)
        flattest = hi - lo, hx = x, hz = z;
    }
  ASSERT_GE(hx, 0) << "no flat dry ground for the hill";
  for (int dz = -8; dz <= 8; dz++)
    for (int dx = -8; dx <= 8; dx++)
      HD::target_hmap[hmap_idx(hx + dx, hz + dz)] += std::max(0.f, 8.f - float(dx * dx + dz * dz) * 0.14f);
  for (int step = 0; step < 40; step++)
  {
    land_step_update(camera);
    HD::updateHmap(LAND_STEP_DT);
    HD::simWater(LAND_STEP_DT);
    land_frame_update(0.f, camera, 2);
  }
  const std::vector<uint32_t> after = read_map();
  EXPECT_STREQ(get_error_message(), "");
  int changed = 0, far_changed = 0;
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const uint32_t a = map_at(before, x, z), b = map_at(after, x, z);
      int d = 0;
      for (int c = 0; c < 3; c++)
        d = std::max(d, std::abs(channel_of(a, c) - channel_of(b, c)));
      const int ox = (x - hx) & 255, oz = (z - hz) & 255;
      const bool on_hill = std::min(ox, 256 - ox) <= 7 && std::min(oz, 256 - oz) <= 7;
      changed += on_hill && d >= 8;
      far_changed += !on_hill && std::min(ox, 256 - ox) > 20 && std::min(oz, 256 - oz) > 20 && d > 0 &&
                     neighbourhood(x, z, false, 6);
    }
  EXPECT_GT(changed, 120) << "the hill's slopes are shaded on the map";
  EXPECT_EQ(far_changed, 0) << "dry ground far from the hill stays as it was";
}
}  // namespace
