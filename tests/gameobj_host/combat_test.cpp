// The combat spells and the world's triggers, driven through the game's module headless: what a
// fireball, a waterball, lightning and a storm do to the objects and the water, and the events
// the triggers send the world script. The targets are dummies of this test that count the hurt
// they take.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include <unistd.h>

#include "../../gameobj/classes.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
#include "gameobj_host/proximity.h"
#include "platform/timer.h"
#include "script/sq_vm.h"
#include "script/world_gen.h"
#include "script/world_script.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"
#include "world_script_run.h"

using HD = HeightmapData;

// The module's GameObj as the dummies need it (the module keeps its own, hidden copy).
void GameObj::onDestroy() {}
const char *GameObj::getClassName() { return "GameObj"; }
void GameObj::link(bool add) { link_list(GameObj_list, this, add); }

namespace
{
// A creature that only counts its hurt.
struct Dummy : GameObj
{
  float taken = 0.f;
  int hits = 0;
  void hurt(float amount, GameObj *) override
  {
    taken += amount;
    hits++;
  }
};

Dummy *add_dummy(float x, float z)
{
  auto *d = new Dummy;
  d->classId = CLASS_ID_Monster;
  d->pos = v_make(x, gameobj_module.get_land_height(x, z), z, 0.f);
  d->link(true);
  update_proximity(d, v_make(x - 0.5f, z - 0.5f, x + 0.5f, z + 0.5f));
  return d;
}

int count_class(int id)
{
  int n = 0;
  for (int i = 0; i < GameObj_list.size(); i++)
    n += GameObj_list[i]->classId == id && !(GameObj_list[i]->objFlags & OBJ_DESTROYED);
  return n;
}

double total_water()
{
  double sum = 0.0;
  for (int i = 0; i < HMAP_CELLS; i++)
    sum += HD::water[i].depth;
  return sum;
}

// Each test makes its own world script (SetUp); the suite's end is the shared one.
struct Combat : ModuleWorldTest
{
  std::string script_path;

  static void SetUpTestSuite()
  {
    init_timer();
    load_gameobj_module(QM_MODULE_FILE);
  }
  // A game world from the shipped script, then a world script `src` in its place (its rivers
  // would pour and drain water while the test counts it).
  void SetUp() override
  {
    init_world_gen_vm(QM_SOURCE_DIR "/bin/gen/main.nut");
    game_rnd_seed = 7;
    generate_world("game");
    ASSERT_FALSE(has_error_message()) << get_error_message();
    use_script("function generate_world(name) {}\n");
    gameobj_module.toggle_mana_cheat();
  }
  void TearDown() override
  {
    gameobj_module.toggle_mana_cheat();
    unlink(script_path.c_str());
  }
  void use_script(const char *src)
  {
    const char *tmp = getenv("QM_TEST_TMP");
    script_path = std::string(tmp ? tmp : "/tmp") + "/combat_" + std::to_string(getpid()) + ".nut";
    std::ofstream(script_path) << src;
    init_world_gen_vm(script_path.c_str());
  }
  // Level land at height 5 without water or objects, the player standing at (100, 100).
  static Player *flat_world()
  {
    for (int i = 0; i < HMAP_CELLS; i++)
    {
      HD::hmap[i] = HD::target_hmap[i] = 5.f;
      HD::water[i].depth = 0.f;
    }
    Player *p = gameobj_module.get_local_player();
    for (int i = 0; i < GameObj_list.size(); i++)
      if (GameObj_list[i] != reinterpret_cast<GameObj *>(p))
        GameObj_list[i]->destroy();
    gameobj_module.update_gameobj(0.f);
    gameobj_module.place_local_player(p, v_make(100.f, 6.7f, 100.f, 0.f));
    return p;
  }
  static std::string run(const std::string &src) { return run_world_script(src); }
  static void steps(int n) { module_steps(n); }
};

// A fireball bursts on the first creature in its path, which takes the full blow, and spares
// what is out of the burst's reach; the fire it leaves burns the creature standing in it until a
// waterball puts it out and pours its water there.
TEST_F(Combat, FireballHitsTheFirstInItsPathAndWaterPutsOutItsFire)
{
  flat_world();
  Dummy *first = add_dummy(112.f, 100.f), *behind = add_dummy(130.f, 100.f), *aside = add_dummy(112.f, 107.f);
  ASSERT_EQ(run("return cast_spell(\"fireball\", 130, 100)"), "true");
  for (int n = 0; n < 40 && count_class(CLASS_ID_Fireball); n++)
    steps(1);
  EXPECT_EQ(count_class(CLASS_ID_Fireball), 0);
  EXPECT_EQ(first->hits, 1);
  EXPECT_FLOAT_EQ(first->taken, 40.f);
  EXPECT_EQ(behind->hits + aside->hits, 0);
  ASSERT_EQ(count_class(CLASS_ID_Explosion), 1);
  steps(10);
  EXPECT_NEAR(first->taken, 45.f, 0.01f);  // 10 a second in the fire
  const double water = total_water();
  ASSERT_EQ(run("return cast_spell(\"waterball\", 112, 100)"), "true");
  steps(20);
  EXPECT_EQ(count_class(CLASS_ID_Explosion), 0);
  EXPECT_EQ(count_class(CLASS_ID_Waterball), 0);
  EXPECT_NEAR(total_water(), water + 8.0, 1e-3);
  const float taken = first->taken;
  steps(20);
  EXPECT_EQ(first->taken, taken);
  EXPECT_EQ(behind->hits + aside->hits, 0);
}

// Lightning strikes the creature under the crosshair; nothing near the line of sight, or the
// creature behind a ridge, finds no target and the cast is refused.
TEST_F(Combat, LightningStrikesOnlyTheCreatureInSight)
{
  flat_world();
  Dummy *aimed = add_dummy(120.f, 100.f), *other = add_dummy(120.f, 108.f);
  EXPECT_EQ(run("return cast_spell(\"lightning\", 120, 100)"), "true");
  EXPECT_FLOAT_EQ(aimed->taken, 50.f);
  EXPECT_EQ(other->hits, 0);
  EXPECT_EQ(run("return cast_spell(\"lightning\", 100, 130)"), "false");
  for (int z = 90; z <= 110; z++)
    HD::hmap[hmap_idx(110, z)] = HD::hmap[hmap_idx(111, z)] = 20.f;
  EXPECT_EQ(run("return cast_spell(\"lightning\", 120, 100)"), "false");
  EXPECT_EQ(aimed->hits, 1);
}

// A storm rains into the water simulation for its whole life: the world's water grows by what it
// poured and the simulation keeps it while it flows; its strikes fall on the creature under it.
TEST_F(Combat, StormRainAddsWaterTheSimulationKeeps)
{
  Player *p = gameobj_module.get_local_player();
  vec4f eye = gameobj_module.get_local_player_eye(p);
  const float x = v_extract_x(eye) + 30.f, z = v_extract_z(eye) + 10.f;
  Dummy *under = add_dummy(x, z);
  const double before = total_water();
  char cast[96];
  snprintf(cast, sizeof(cast), "return cast_spell(\"thunderstorm\", %.3f, %.3f)", x, z);
  ASSERT_EQ(run(cast), "true");
  int storm_steps = 0;
  for (int step = 0; step < 800; step++)
  {
    HD::simWater(0.05f);
    gameobj_module.update_gameobj(0.05f);
    storm_steps += !ThunderstormObject_list.empty();
  }
  EXPECT_NEAR(storm_steps, 600, 1);
  EXPECT_NEAR(total_water(), before + 180.0, 0.05);  // 6 a second for 30 seconds
  EXPECT_GE(under->hits, 6);
  EXPECT_FLOAT_EQ(under->taken, 30.f * float(under->hits));
  under->destroy();
  gameobj_module.update_gameobj(0.f);
}

// Time triggers and sensors send their events to the world script's process_event; bad
// arguments are refused with a message.
TEST_F(Combat, TriggersSendTheirEventsToTheWorldScript)
{
  use_script("seen <- {}\nfunction generate_world(name) {}\n"
             "function process_event(e) { seen[e] <- (e in seen ? seen[e] : 0) + 1 }\n");
  Player *p = flat_world();
  EXPECT_EQ(run("add_time_trigger(\"dawn\", 1.0, 0); add_time_trigger(\"tick\", 0.5, 0.5);"
                "return add_sensor(\"gate\", 110, 100, 3)"),
            "true");
  const char *count = "return (\"dawn\" in seen ? seen.dawn : 0) + \" \" + (\"tick\" in seen ? seen.tick : 0) + "
                      "\" \" + (\"gate\" in seen ? seen.gate : 0)";
  steps(42);
  EXPECT_EQ(run(count), "1 4 0");
  EXPECT_EQ(run("return find_objects(\"TimeTrigger\").len()"), "1");
  gameobj_module.place_local_player(p, v_make(109.f, 6.7f, 101.f, 0.f));
  steps(5);
  EXPECT_EQ(run(count), "1 4 1");
  gameobj_module.place_local_player(p, v_make(100.f, 6.7f, 100.f, 0.f));
  steps(1);
  gameobj_module.place_local_player(p, v_make(111.f, 6.7f, 99.f, 0.f));
  steps(1);
  EXPECT_EQ(run(count), "1 4 2");
  const char *bad[] = {
    "add_time_trigger(\"\", 1, 0)", "add_time_trigger(\"x\", -1, 0)", "add_time_trigger(\"x\", 1, -0.5)",
    "add_time_trigger(\"x\", 1e39, 0)",
    "add_time_trigger(\"0123456789012345678901234567890123456789012345678901234567890123\", 1, 0)",
    "add_sensor(\"x\", 1, 1, 0)", "add_sensor(\"x\", 1e39, 1, 2)", "add_sensor(\"x\", 1, 1, -2)",
    "add_sensor(null, 1, 1, 2)",
  };
  for (const char *call : bad)
    EXPECT_EQ(run(call).rfind("error: ", 0), 0u) << call;
  EXPECT_EQ(run("return find_objects(\"TimeTrigger\").len() + find_objects(\"Sensor\").len()"), "2");
}
}  // namespace
