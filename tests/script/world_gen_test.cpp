#include <cstring>
#include <string>
#include <vector>

#include "script/world_gen.h"
#include "script/world_gen_hooks.h"
#include "script/world_script.h"
#include "script_test_util.h"
#include "support/file_path.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"

using HD = HeightmapData;

namespace
{
// A world script in a scratch game directory, loaded into the world generation machine.
struct WorldScript : ::testing::Test
{
  TempAppDir dir;

  void load(const std::string &text)
  {
    dir.write("gen/main.nut", text);
    set_error_message(nullptr);
    ScriptTest::captured([] { init_world_gen_vm(); });
  }
  void TearDown() override
  {
    close_world_gen_vm();
    world_gen_hooks = WorldGenHooks{};
    set_error_message(nullptr);
  }
  static std::string generate(const char *name)
  {
    return ScriptTest::captured([&] { generate_world(name); });
  }
};

const char *const noisy_world = R"(
function generate_world(name) {
  reseed_noise()
  add_fast_noise(0, 10, null, GT_NONE, 255, 0.5)
  add_voronoi_hills(4, 0, 5, 0.8)
  apply_height_mask(HmapMask(function(x, z) { return frnd() }), null)
  apply_water_mask(HmapMask(function(x, z) { return name == "game" ? 1.0 : 0.0 }), null)
}
)";
}  // namespace

TEST_F(WorldScript, GenerationStepsAndLog)
{
  load(noisy_world);
  ASSERT_FALSE(has_error_message());
  static int calls;
  calls = 0;
  world_gen_hooks.remove_all_gameobj = [] { calls += 1; };
  world_gen_hooks.full_land_update = [] { calls += 10; };
  // The effects are emptied on the fresh arrays, before the script can start any.
  static float fxResetSaw;
  fxResetSaw = -1.f;
  world_gen_hooks.reset_common_fx = [] {
    calls += 100;
    fxResetSaw = HD::hmap[1234];
  };
  HD::target_hmap[5] = 99.f;
  game_rnd_seed = 42;
  std::string log = generate("game");
  EXPECT_EQ(calls, 111);
  EXPECT_EQ(fxResetSaw, 0.f);
  EXPECT_NE(HD::hmap[1234], 0.f);
  EXPECT_NE(log.find("game_rnd_seed=42;"), std::string::npos);
  EXPECT_NE(log.find("generated world in "), std::string::npos);
  EXPECT_FALSE(has_error_message());
  EXPECT_EQ(memcmp(HD::target_hmap, HD::hmap, sizeof(HD::hmap)), 0);
  EXPECT_EQ(memcmp(HD::tmpw, HD::water, sizeof(HD::water)), 0);
  EXPECT_EQ(HD::water[300].depth, 1.f);
}

TEST_F(WorldScript, SameSeedGivesTheSameWorld)
{
  load(noisy_world);
  game_rnd_seed = 7;
  generate("game");
  std::vector<float> h1(HD::hmap, HD::hmap + HMAP_CELLS);
  std::vector<HD::Surface> s1(HD::surface, HD::surface + HMAP_CELLS);
  game_rnd_seed = 8;
  generate("game");
  EXPECT_NE(memcmp(h1.data(), HD::hmap, sizeof(HD::hmap)), 0);
  game_rnd_seed = 7;
  generate("game");
  EXPECT_EQ(memcmp(h1.data(), HD::hmap, sizeof(HD::hmap)), 0);
  EXPECT_EQ(memcmp(s1.data(), HD::surface, sizeof(HD::surface)), 0);
}

TEST_F(WorldScript, ErrorsAreShownAndTheWorldIsStillFinished)
{
  load("function process_event(e) {}");
  ASSERT_FALSE(has_error_message());
  HD::target_hmap[0] = 5.f;
  generate("game");
  EXPECT_STREQ(get_error_message(), "Error in world gen script:\nNo 'generate_world' function in script");
  EXPECT_EQ(HD::target_hmap[0], 0.f);  // steps after the script still ran

  load("function generate_world(name) { add_fast_noise(0, 5, null, GT_NONE, 255, 0.5); apply_height_mask(null, null) }");
  generate("game");
  EXPECT_STREQ(get_error_message(), "Error in world gen script:\nno mask and no func in apply_height_mask()\n"
                                    "  at bin/gen/main.nut(1) in generate_world()");
  EXPECT_EQ(memcmp(HD::target_hmap, HD::hmap, sizeof(HD::hmap)), 0);  // the world as the script left it
  EXPECT_NE(HD::hmap[100], 0.f);

  load("function generate_world(name) {");  // does not compile: the message names file and line
  EXPECT_EQ(std::string(get_error_message()).rfind("Error in world gen script:\nbin/gen/main.nut(1,", 0), 0u)
      << get_error_message();
  EXPECT_TRUE(world_gen.generate_world.isNull());
}

TEST_F(WorldScript, ReloadPicksUpAddedAndRemovedFunctions)
{
  load("function generate_world(name) { ::last_world <- name }");
  world_script_str_event("hello");
  EXPECT_STREQ(get_error_message(), "Error in world script:\nNo 'process_event' function in script");
  EXPECT_FALSE(check_world_gen_reload());  // nothing changed yet

  dir.write("gen/main.nut",
            "function generate_world(name) { ::last_world <- name }\n"
            "function process_event(e) { ::got <- e }\n"
            "function update_script(dt) { ::steps <- (\"steps\" in getroottable() ? ::steps : 0) + 1 }\n"
            "::flag <- true\n");
  dir.touch("gen/main.nut", 5);
  std::string log = ScriptTest::captured([] { EXPECT_TRUE(check_world_gen_reload()); });
  EXPECT_FALSE(has_error_message());  // the reload cleared it
  EXPECT_NE(log.find("generated world in"), std::string::npos);
  EXPECT_EQ(get_world_script_bool("flag", 0), 1);
  world_script_str_event("hello");
  update_world_script(0.05f);
  EXPECT_FALSE(has_error_message());

  // Removing process_event takes effect at once; globals from the earlier run stay.
  dir.write("gen/main.nut", "function generate_world(name) {}\n");
  dir.touch("gen/main.nut", 10);
  ScriptTest::captured([] { check_world_gen_reload(); });
  EXPECT_TRUE(world_gen.process_event.isNull());
  EXPECT_TRUE(world_gen.update_script.isNull());
  EXPECT_FALSE(check_world_gen_reload());  // nothing changed since

  // A reload that fails shows the error, does not regenerate and keeps the entry points.
  dir.write("gen/main.nut", "function generate_world(name) { ");
  dir.touch("gen/main.nut", 15);
  log = ScriptTest::captured([] { check_world_gen_reload(); });
  EXPECT_TRUE(has_error_message());
  EXPECT_EQ(log.find("generated world in"), std::string::npos);
  ASSERT_FALSE(world_gen.generate_world.isNull());
  set_error_message(nullptr);
  generate("game");
  EXPECT_FALSE(has_error_message()) << get_error_message();
}

TEST_F(WorldScript, EditingAnIncludedFileRunsTheWholeScriptAgain)
{
  dir.write("gen/lib.nut", "function helper() { return 1 }\n");
  load("include(\"gen/lib.nut\")\n"
       "function generate_world(name) { ::built <- helper() }\n"
       "function process_event(e) {}\nfunction update_script(dt) {}\n");
  ASSERT_FALSE(has_error_message()) << get_error_message();
  dir.write("gen/lib.nut", "function helper() { return 2 }\n");
  dir.touch("gen/lib.nut", 5);
  std::string log = ScriptTest::captured([] { EXPECT_TRUE(check_world_gen_reload()); });
  EXPECT_FALSE(has_error_message()) << get_error_message();
  EXPECT_FALSE(world_gen.generate_world.isNull());
  EXPECT_FALSE(world_gen.process_event.isNull());
  EXPECT_FALSE(world_gen.update_script.isNull());
  EXPECT_NE(log.find("generated world in"), std::string::npos);
  float built = 0;
  sqbind::getSlot(world_gen.vm.vm, sqbind::root_table(world_gen.vm.vm), "built", built);
  EXPECT_EQ(built, 2.f);  // the world was made with the edited file
}

TEST_F(WorldScript, EventsFlagsAndBoolFunctions)
{
  load("function generate_world(name) {}\n"
       "::events <- []\n"
       "function process_event(e) { if (e == \"bad\") throw \"bad event\"; ::events.append(e) }\n"
       "::yes <- 1\n ::no <- null\n"
       "function is_night() { return true }\n"
       "function broken() { return undefined_thing }\n");
  ASSERT_FALSE(has_error_message());
  EXPECT_EQ(get_world_script_vm(), world_gen.vm.vm);

  update_world_script(0.05f);  // no update_script: nothing, no message
  EXPECT_FALSE(has_error_message());

  world_script_str_event("start");
  HSQUIRRELVM v = get_world_script_vm();
  sq_newtable(v);
  SqObject table;
  table.fromStack(v, -1);
  sq_pop(v, 1);
  world_script_event(table);
  EXPECT_FALSE(table.isNull());  // the caller's handle is kept
  EXPECT_FALSE(has_error_message());
  world_script_str_event("bad");
  EXPECT_STREQ(get_error_message(), "Error in world script:\nbad event\n  at bin/gen/main.nut(3) in process_event()");
  set_error_message(nullptr);

  EXPECT_EQ(get_world_script_bool("yes", 0), 1);
  EXPECT_EQ(get_world_script_bool("no", 1), 0);
  EXPECT_FALSE(has_error_message());
  std::string log = ScriptTest::captured([] { EXPECT_EQ(get_world_script_bool("missing", 7), 7); });
  EXPECT_NE(log.find("getGlobal 'missing' failed"), std::string::npos);
  EXPECT_STREQ(get_error_message(), "Error in world script:\nthe index 'missing' does not exist");
  set_error_message(nullptr);

  SqFunc<bool> none;
  EXPECT_TRUE(call_bool_func(none, true));
  SqFunc<bool> night;
  night.lookup(v, sqbind::root_table(v), "is_night");
  EXPECT_TRUE(call_bool_func(night, false));
  SqFunc<bool> broken;
  broken.lookup(v, sqbind::root_table(v), "broken");
  ScriptTest::captured([&] { EXPECT_FALSE(call_bool_func(broken, false)); });
  EXPECT_TRUE(has_error_message());
}

TEST(ShippedWorldScript, LoadsAndDefinesItsEntryPoints)
{
  char saved[260];
  memcpy(saved, app_path, sizeof(saved));
  snprintf(app_path, sizeof(app_path), "%s/bin/", QM_SOURCE_DIR);
  set_error_message(nullptr);
  ScriptTest::captured([] { init_world_gen_vm(); });
  EXPECT_FALSE(has_error_message()) << get_error_message();
  EXPECT_FALSE(world_gen.generate_world.isNull());
  EXPECT_FALSE(world_gen.process_event.isNull());
  close_world_gen_vm();
  memcpy(app_path, saved, sizeof(saved));
}

TEST_F(WorldScript, ModuleClassesAreBoundBeforeTheScriptRuns)
{
  world_gen_hooks.bind_gameobj = [](HSQUIRRELVM v) {
    sq_pushroottable(v);
    sq_pushstring(v, "module_ready", -1);
    sq_pushbool(v, SQTrue);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
  };
  load("::seen_module <- module_ready\nfunction generate_world(name) {}");
  EXPECT_FALSE(has_error_message());
  EXPECT_EQ(get_world_script_bool("seen_module", 0), 1);
  world_gen_hooks.bind_gameobj = [](HSQUIRRELVM) { throw sqbind::SquirrelError("class changed"); };
  rebind_world_gen_gameobj();
  EXPECT_STREQ(get_error_message(), "Error in world gen script:\nclass changed");
}
