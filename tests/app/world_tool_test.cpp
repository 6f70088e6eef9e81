#include "app/world_tool.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/startup_options.h"
#include "app/world_pictures.h"
#include "support/file_path.h"
#include "support/visual_log.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
StartupOptions parse(std::initializer_list<const char *> args)
{
  std::vector<const char *> v{"quenmoor"};
  v.insert(v.end(), args.begin(), args.end());
  StartupOptions o;
  apply_switches(int(v.size()), v.data(), o);
  return o;
}

std::string read_file(const std::string &path)
{
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// A scratch directory with a game directory (app_path) holding a world script.
struct ToolDir
{
  std::string root;
  char saved[260];
  explicit ToolDir(const char *script)
  {
    const char *base = getenv("QM_TEST_TMP");
    root = std::string(base ? base : "/tmp") + "/qm_world_tool_" + std::to_string(getpid());
    std::filesystem::create_directories(root + "/game/gen");
    std::ofstream(root + "/game/gen/main.nut") << script;
    memcpy(saved, app_path, sizeof(saved));
  }
  ~ToolDir()
  {
    memcpy(app_path, saved, sizeof(saved));
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  // Runs the tool with the script given by path (the tool itself points app_path at the
  // executable, so the script is named explicitly).
  int run(const char *world, const std::string &out, const char *seed, int steps = 0)
  {
    std::string script = root + "/game/gen/main.nut";
    std::string steps_text = std::to_string(steps);
    StartupOptions o = steps ? parse({"--gen-world", world, "--seed", seed, "--script", script.c_str(), "--out",
                                      out.c_str(), "--steps", steps_text.c_str()})
                             : parse({"--gen-world", world, "--seed", seed, "--script", script.c_str(), "--out",
                                      out.c_str()});
    EXPECT_EQ(o.error, nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int rc = run_world_tool(o);
    log = testing::internal::GetCapturedStdout();
    err = testing::internal::GetCapturedStderr();
    return rc;
  }
  // Runs the tool with the given switches after the program name.
  int run_args(std::vector<const char *> args)
  {
    args.insert(args.begin(), "quenmoor");
    StartupOptions o;
    apply_switches(int(args.size()), args.data(), o);
    EXPECT_EQ(o.error, nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int rc = run_world_tool(o);
    log = testing::internal::GetCapturedStdout();
    err = testing::internal::GetCapturedStderr();
    return rc;
  }
  std::string log, err;
};

const char *const small_world = R"(
function generate_world(name) {
  reseed_noise()
  show_splash("Shaping", 0.5)
  add_fast_noise(0, name == "game" ? 20 : 5, null, GT_NONE, 255, 0.5)
  recolor_by_height(ColorRamp(function(t) { return lerpcolor(0xFF204010, 0xFFE0E0E0, t) }), null)
  apply_water_mask(HmapMask.fromHeight(), function(d, h) { return h < 6 ? 6 - h : 0 })
  place_house(128, 128, 0)
}
)";
}  // namespace

TEST(WorldToolOptions, ParsesTheToolSwitches)
{
  StartupOptions o = parse({"--gen-world", "game", "--seed", "18446744073709551615", "--out", "d", "--steps", "3"});
  EXPECT_EQ(o.error, nullptr);
  EXPECT_STREQ(o.gen_world, "game");
  EXPECT_STREQ(o.gen_out, "d");
  EXPECT_TRUE(o.seed_given);
  EXPECT_EQ(o.seed, 18446744073709551615ull);
  EXPECT_EQ(o.steps, 3);
  EXPECT_EQ(o.gen_script, nullptr);

  EXPECT_STREQ(parse({"--gen-world", "game"}).error, "--gen-world needs --out DIR");
  EXPECT_STREQ(parse({"--gen-world"}).error, "--gen-world needs a world name");
  EXPECT_STREQ(parse({"--gen-world", "g", "--out", "d", "--seed", "-1"}).error,
               "--seed needs a whole number from 0 to 18446744073709551615");
  EXPECT_STREQ(parse({"--seed", "18446744073709551616"}).error,
               "--seed needs a whole number from 0 to 18446744073709551615");
  EXPECT_STREQ(parse({"--seed", "12x"}).error, "--seed needs a whole number from 0 to 18446744073709551615");
  EXPECT_FALSE(parse({"--seed", "12"}).gen_world);
}

TEST(WorldTool, SameSeedWritesIdenticalFiles)
{
  ToolDir dir(small_world);
  const std::string a = dir.root + "/a", b = dir.root + "/b", c = dir.root + "/c";
  ASSERT_EQ(dir.run("game", a, "7", 3), 0) << dir.err;
  EXPECT_NE(dir.log.find("game_rnd_seed=7;"), std::string::npos);
  EXPECT_NE(dir.err.find("Shaping"), std::string::npos);  // progress on the terminal
  ASSERT_EQ(dir.run("game", b, "7", 3), 0) << dir.err;
  ASSERT_EQ(dir.run("game", c, "8", 3), 0) << dir.err;
  for (const char *f : {"color.png", "relief.png", "height.png", "height.json", "water.png", "hmap.f32", "water.f32"})
  {
    std::string fa = read_file(a + "/" + f);
    ASSERT_FALSE(fa.empty()) << f;
    EXPECT_EQ(fa, read_file(b + "/" + f)) << f;
  }
  EXPECT_NE(read_file(a + "/hmap.f32"), read_file(c + "/hmap.f32"));
  EXPECT_EQ(read_file(a + "/hmap.f32").size(), 4u * HMAP_CELLS);
  EXPECT_EQ(read_file(a + "/water.f32").size(), 16u * HMAP_CELLS);

  // The height picture spans the lowest to the highest sample, as height.json says.
  int w, h, n;
  std::string png = read_file(a + "/height.png");
  stbi_us *px = stbi_load_16_from_memory(reinterpret_cast<const stbi_uc *>(png.data()), int(png.size()), &w, &h, &n, 1);
  ASSERT_TRUE(px);
  EXPECT_EQ(w, 256);
  EXPECT_EQ(h, 256);
  int lo = 65535, hi = 0;
  for (int i = 0; i < w * h; i++)
    lo = std::min(lo, int(px[i])), hi = std::max(hi, int(px[i]));
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 65535);
  stbi_image_free(px);
  EXPECT_NE(read_file(a + "/height.json").find("\"min\": "), std::string::npos);
}

TEST(WorldTool, ScriptFailureExitsNonZeroWithTheMessage)
{
  ToolDir dir("function generate_world(name) { apply_height_mask(null, null) }");
  EXPECT_EQ(dir.run("game", dir.root + "/out", "1"), 1);
  EXPECT_NE(dir.err.find("world generation failed"), std::string::npos);
  EXPECT_NE(dir.err.find("no mask and no func in apply_height_mask()\n  at "), std::string::npos) << dir.err;
  EXPECT_FALSE(std::filesystem::exists(dir.root + "/out/relief.png"));
  set_error_message(nullptr);

  // A plain script error: its own text and place, printed once, no internal prefixes.
  ToolDir plain("function generate_world(name) {\n  local a = 1 + null\n}");
  EXPECT_EQ(plain.run("game", plain.root + "/out", "1"), 1);
  // (The file is named from the executable's directory when it lies below it, as under ctest.)
  const char *what = "arith op + on between 'integer' and 'null'\n  at ";
  EXPECT_NE(plain.err.find(what), std::string::npos) << plain.err;
  EXPECT_NE(plain.err.find("/game/gen/main.nut(2) in generate_world()"), std::string::npos) << plain.err;
  EXPECT_EQ(plain.err.find("arith op"), plain.err.rfind("arith op"));
  for (const char *internal : {"SqFunc<> call failed", "ERROR MESSAGE SET"})
    EXPECT_EQ((plain.err + plain.log).find(internal), std::string::npos) << internal;
  set_error_message(nullptr);

  ToolDir broken("function generate_world(name) {");
  EXPECT_EQ(broken.run("game", broken.root + "/out", "1"), 1);
  EXPECT_NE(broken.err.find("the world script did not load"), std::string::npos);
  EXPECT_NE(broken.err.find("/game/gen/main.nut(1,"), std::string::npos) << broken.err;
  set_error_message(nullptr);
}

// A world of infinities or NaN is never written: neither one the script leaves (heights that
// overflow) nor one the water steps make of huge finite heights.
TEST(WorldTool, RefusesToWriteANonFiniteWorld)
{
  ToolDir overflow("function generate_world(name) {\n"
                   "  for (local i = 0; i < 3; i++) add_fast_noise(0, 3e38, null, GT_NONE, 255, 0.5)\n}");
  EXPECT_EQ(overflow.run("game", overflow.root + "/out", "1"), 1);
  EXPECT_NE(overflow.err.find("non-finite heights or water"), std::string::npos) << overflow.err;
  EXPECT_FALSE(std::filesystem::exists(overflow.root + "/out/height.json"));
  set_error_message(nullptr);

  ToolDir steps("function generate_world(name) {\n"
                "  apply_height_mask(HmapMask(function(x, z) { return (x + z) % 2 ? 3e38 : -3e38 }), null)\n"
                "  apply_water_mask(HmapMask(1.0), null)\n}");
  EXPECT_EQ(steps.run("game", steps.root + "/out", "1", 2), 1);
  EXPECT_NE(steps.err.find("non-finite heights or water"), std::string::npos) << steps.err;
  EXPECT_NE(steps.err.find("nothing written"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(steps.root + "/out/height.json"));
  set_error_message(nullptr);
}

TEST(WorldTool, OutputDirectoryIsCreatedOrTheReasonNamed)
{
  ToolDir dir(small_world);
  const std::string script = dir.root + "/game/gen/main.nut";
  const std::string deep = dir.root + "/new/er/out";
  ASSERT_EQ(dir.run_args({"--gen-world", "any", "--script", script.c_str(), "--out", deep.c_str(), "--steps", "1"}), 0)
      << dir.err;
  EXPECT_TRUE(std::filesystem::exists(deep + "/relief.png"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(deep), {}), 7);  // no probe left behind
  EXPECT_NE(dir.log.find("ran 1 water step\n"), std::string::npos) << dir.log;

  // Checked before anything is generated, with the reason.
  const std::string under_file = script + "/out";
  EXPECT_EQ(dir.run_args({"--gen-world", "any", "--script", script.c_str(), "--out", under_file.c_str()}), 1);
  EXPECT_EQ(dir.err, "quenmoor: can't create the directory '" + script + "': Not a directory\n");
  EXPECT_EQ(dir.run_args({"--gen-world", "any", "--script", script.c_str(), "--out", "/proc"}), 1);
  EXPECT_EQ(dir.err.rfind("quenmoor: can't write into the output directory '/proc': ", 0), 0u) << dir.err;
  EXPECT_EQ(dir.err.find("Generating"), std::string::npos);
}

TEST(WorldTool, AWorldTheScriptDoesNotListIsAnError)
{
  ToolDir dir("world_names <- [\"a\", 3]\nfunction generate_world(name) {}");
  const std::string out = dir.root + "/out";
  const std::string shipped = std::string(QM_SOURCE_DIR) + "/bin/gen/main.nut";
  EXPECT_EQ(dir.run_args({"--gen-world", "gme", "--script", shipped.c_str(), "--out", out.c_str()}), 2);
  EXPECT_EQ(dir.err, "quenmoor: the world script has no world 'gme'; its worlds: main_menu, game\n");
  EXPECT_FALSE(std::filesystem::exists(out + "/relief.png"));

  EXPECT_EQ(dir.run("a", out, "1"), 1);
  EXPECT_EQ(dir.err, "quenmoor: the world script's world_names must be an array of strings\n");

  // A script that lists no worlds takes any name; looking for the list leaves no error behind.
  ToolDir unlisted("x <- 1");
  EXPECT_EQ(unlisted.run("anything", out, "1"), 1);
  EXPECT_NE(unlisted.err.find("No 'generate_world' function"), std::string::npos) << unlisted.err;
  EXPECT_EQ(unlisted.err.find("doesn't exist"), std::string::npos) << unlisted.err;
  set_error_message(nullptr);
}

TEST(WorldPictures, ColourBlendsTheOverlayAndMarksHouses)
{
  HD::reset();
  HD::Surface &s = HD::surface[hmap_idx(10, 0)];
  s.color = 0xFF000000;
  s.top_color = 0x80FFFFFF;
  HD::surface[hmap_idx(11, 0)].ground_type = GT_HOUSE;
  HD::hmap[hmap_idx(12, 255)] = 5.f;
  std::vector<uint8_t> rgb(3 * WORLD_IMAGE_PIXELS);
  make_color_image(rgb.data());
  const uint8_t *p = &rgb[3 * (255 * 256 + 10)];  // z = 0 is the bottom row
  EXPECT_EQ(p[0], 128);
  EXPECT_EQ(p[1], 128);
  EXPECT_EQ(rgb[3 * (255 * 256 + 11)], 178);
  EXPECT_EQ(rgb[3 * (255 * 256 + 12)], 128);  // reset grey

  std::vector<uint16_t> grey(WORLD_IMAGE_PIXELS);
  float lo, hi;
  make_height_image(grey.data(), lo, hi);
  EXPECT_EQ(lo, 0.f);
  EXPECT_EQ(hi, 5.f);
  EXPECT_EQ(grey[12], 65535);  // z = 255 is the top row
  EXPECT_EQ(grey[13], 0);
  HD::reset();
  make_height_image(grey.data(), lo, hi);  // a flat world is all 0
  EXPECT_EQ(grey[12], 0);

  // Relief: the sun lights slopes facing the upper left more than those facing away.
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HD::hmap[hmap_idx(x, z)] = x < 128 ? float(x) : float(256 - x);
  make_relief_image(rgb.data());
  EXPECT_GT(rgb[3 * (128 * 256 + 60)], rgb[3 * (128 * 256 + 200)]);  // rising towards +x faces the sun
  HD::reset();
}

// JSON has no infinities: height.json stays parseable whatever the arrays hold.
TEST(WorldPictures, HeightJsonIsValidJsonForAnyWorld)
{
  const char *base = getenv("QM_TEST_TMP");
  const std::string dir = std::string(base ? base : "/tmp") + "/qm_world_json_" + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  HD::reset();
  HD::hmap[7] = INFINITY;
  HD::water[9].depth = INFINITY;
  char failed[1024];
  ASSERT_TRUE(write_world_files(dir.c_str(), failed, sizeof(failed))) << failed;
  EXPECT_EQ(read_file(dir + "/height.json"), "{\"min\": 0, \"max\": null, \"water_max_depth\": null}\n");
  HD::reset();
  std::filesystem::remove_all(dir);
}
