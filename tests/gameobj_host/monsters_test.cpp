// Monsters driven headless by the game's module over generated worlds: thousands of steps of
// birds, hunting wyverns and mana gatherers that never leave the world or go under the land, die
// when killed and leave every list and grid bin; the player falls and starts again; a world whose
// wyverns are all slain opens its portal.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "gameobj_host/game_obj.h"
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

namespace
{
struct Monsters : ModuleWorldTest
{
  void SetUp() override
  {
    game_rnd_seed = 7;
    generate_world("game");
    ASSERT_FALSE(has_error_message()) << get_error_message();
  }
  static std::string run(const std::string &src) { return run_world_script(src); }
  static void steps(int n) { module_steps(n); }
};

struct Seen
{
  std::string cls;
  float x, y, z, health;
};

// Every live monster and the player: class, place, health.
std::vector<Seen> look()
{
  std::string text = Monsters::run(
      "local out = \"\"\n"
      "foreach (c in [\"Player\", \"BirdMonster\", \"WyvernMonster\", \"ManaGatherer\"])\n"
      "  foreach (m in find_objects(c)) { local p = m.getPos()\n"
      "    out += c + \" \" + p[0] + \" \" + p[1] + \" \" + p[2] + \" \" + m.getHealth() + \"\\n\" }\n"
      "return out");
  std::vector<Seen> out;
  std::istringstream in(text);
  Seen s;
  while (in >> s.cls >> s.x >> s.y >> s.z >> s.health)
    out.push_back(s);
  return out;
}

// The grid holds exactly the listed objects, each in the bin it records, once.
void expect_grid_matches_lists()
{
  int filed = 0;
  for (int b = 0; b < NUM_PROXIMITY_BINS; b++)
    for (int i = 0; i < proximity[b].size(); i++)
    {
      GameObj *o = proximity[b][i];
      ASSERT_EQ(gameobj_proximity_bin(o), b);
      bool listed = false;
      for (int k = 0; k < GameObj_list.size() && !listed; k++)
        listed = GameObj_list[k] == o;
      ASSERT_TRUE(listed) << "a deleted object is still in bin " << b;
      filed++;
    }
  ASSERT_LE(filed, GameObj_list.size());
}

// Thousands of steps with the spawner's waves, a gatherer made by the player and the land
// reshaped under the flocks: every creature stays inside the world and above the land, the
// wyverns find and bite the player, and killing every wyvern the world sends clears it: the
// portal opens.
TEST_F(Monsters, LongRunKeepsThemInTheWorldUntilTheWorldIsCleared)
{
  gameobj_module.toggle_mana_cheat();
  ASSERT_EQ(run("return make_gatherer()"), "true");
  ASSERT_GT(BirdMonster_list.size(), 20);
  float lowest_health = 100.f;
  int kills = 0, hill = 0;
  bool cleared = false;
  for (int step = 1; step <= 12000 && !cleared; step++)
  {
    gameobj_module.update_gameobj(0.05f);
    HD::updateHmap(0.05f);
    if (step % 4 == 0)
      HD::simWater(0.05f);
    if (step % 300 == 0)  // the land rises and sinks under the birds
      run("local p = find_objects(\"BirdMonster\")[0].getPos(); return cast_spell(\"" +
          std::string(hill++ % 2 ? "pit" : "hill") + "\", p[0], p[2])");
    if (step % 10)
      continue;
    for (const Seen &s : look())
    {
      SCOPED_TRACE(s.cls + " at step " + std::to_string(step));
      ASSERT_TRUE(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z));
      ASSERT_TRUE(s.x >= 0.f && s.x < 256.f && s.z >= 0.f && s.z < 256.f) << s.x << ", " << s.z;
      ASSERT_GE(s.y, gameobj_module.get_land_height(s.x, s.z) - 0.01f) << s.x << ", " << s.z;
      if (s.cls == "Player")
        lowest_health = std::min(lowest_health, s.health);
    }
    // Wyverns live 15 seconds, long enough to hunt, then are slain.
    if (step % 300 == 0)
    {
      kills += std::stoi(run("local n = 0; foreach (w in find_objects(\"WyvernMonster\")) { w.hurt(1000); n++ }\n"
                             "toggle_monster_spawn(); return n"));
      steps(80);  // they fall and burst
      run("toggle_monster_spawn()");
      EXPECT_EQ(WyvernMonster_list.size(), 0);
      expect_grid_matches_lists();
      EXPECT_TRUE(deleted_gameobjs.empty());
    }
    if (step == 1200)  // before its mana could open the portal
    {
      EXPECT_EQ(run("local g = find_objects(\"ManaGatherer\")[0]; local h = g.getHealth(); g.hurt(1e9); return h"), "40");
      EXPECT_EQ(run("return find_objects(\"WorldPortal\").len()"), "0");
    }
    cleared = run("return get_wyverns_left()") == "0";
  }
  ASSERT_TRUE(cleared);
  steps(1);
  EXPECT_EQ(run("return find_objects(\"WorldPortal\").len()"), "1");
  EXPECT_EQ(kills, 12);
  EXPECT_LT(lowest_health, 100.f) << "the wyverns reached the player";
  EXPECT_EQ(run("return are_any_monsters_alive()"), "false");
  EXPECT_GT(std::stof(run("return get_difficulty()")), 2.f);
  EXPECT_EQ(ManaGatherer_list.size(), 0);
  EXPECT_FALSE(has_error_message()) << get_error_message();
  gameobj_module.toggle_mana_cheat();
}

// Each kind dies when its health runs out and leaves the lists and the grid; the birds and
// wyverns go on a word, the player's gatherers stay.
TEST_F(Monsters, KilledMonstersLeaveEveryListAndBin)
{
  for (const char *c : {"BirdMonster", "WyvernMonster", "ManaGatherer"})
    ASSERT_EQ(run(std::string("return spawn_monster(\"") + c + "\", 40, 30, 40)"), "true");
  EXPECT_EQ(run("return spawn_monster(\"Dragon\", 40, 30, 40)"), "error: no such monster");
  steps(1);
  const int birds = BirdMonster_list.size();
  EXPECT_EQ(run("local w = find_objects(\"WyvernMonster\")[0]; w.hurt(59); return w.getHealth()"), "1");
  EXPECT_EQ(run("find_objects(\"WyvernMonster\")[0].hurt(1); return are_any_monsters_alive()"), "false");
  run("find_objects(\"ManaGatherer\")[0].hurt(1e9); find_objects(\"BirdMonster\")[0].hurt(5)");
  steps(80);
  EXPECT_EQ(WyvernMonster_list.size(), 0);
  EXPECT_EQ(ManaGatherer_list.size(), 0);
  EXPECT_EQ(BirdMonster_list.size(), birds - 1);
  expect_grid_matches_lists();
  gameobj_module.toggle_mana_cheat();
  run("make_gatherer(); spawn_monster(\"WyvernMonster\", 1, 1, 1)");
  gameobj_module.toggle_mana_cheat();
  run("remove_all_monsters()");
  steps(1);
  EXPECT_EQ(BirdMonster_list.size() + WyvernMonster_list.size(), 0);
  EXPECT_EQ(ManaGatherer_list.size(), 1);
  expect_grid_matches_lists();
}

// What spells and monsters find near a point through the proximity grid is what a search of every
// creature finds, across the world's seams too.
TEST_F(Monsters, FoundNearThroughTheGridAsBySearchingAll)
{
  run("toggle_monster_spawn(); foreach (x in [0.2, 2, 128, 253, 255.9]) foreach (z in [0.1, 4, 127, 251, 255.8])\n"
      "  spawn_monster(\"BirdMonster\", x, 10, z)");
  steps(3);
  const std::vector<Seen> all = look();
  ASSERT_GT(all.size(), 50u);
  auto wrapped = [](float d) { return d - 256.f * std::round(d / 256.f); };
  const float queries[][3] = {{0, 0, 10}, {255.9f, 128, 6}, {128, 255.5f, 20}, {3, 250, 15}, {-1, 257, 9},
                              {128, 128, 300}, {64, 64, 0}};
  for (const auto &q : queries)
  {
    int want = 0;
    for (const Seen &s : all)
      want += std::hypot(wrapped(s.x - q[0]), wrapped(s.z - q[1])) <= q[2];
    char src[200];
    snprintf(src, sizeof(src),
             "local n = 0; foreach (o in find_objects_near(%g, %g, %g)) if (o instanceof Player || o instanceof BirdMonster) n++\n"
             "return n",
             q[0], q[1], q[2]);
    EXPECT_EQ(run(src), std::to_string(want)) << q[0] << ", " << q[1] << " within " << q[2];
  }
  EXPECT_EQ(run("return find_objects_near(0, 0, -1).len()"), "0");
  EXPECT_EQ(run("return find_objects_near(0, 0)"), "error: find_objects_near: expects x, z, radius");
}

// Hurt, the player's health comes back after a while; at 0 it can neither move nor cast, and a
// few seconds later it stands again at the world's start, whole.
TEST_F(Monsters, PlayerFallsAndStartsAgain)
{
  run("remove_all_monsters(); toggle_monster_spawn()");
  Player *p = gameobj_module.get_local_player();
  const vec4f start = gameobj_module.get_local_player_eye(p);
  EXPECT_EQ(run("local p = get_local_player(); p.hurt(40); p.hurt(-5); p.hurt(0.0 / 0.0); return get_health()"), "65");
  steps(90);  // unhurt for under 5 seconds: no health yet
  EXPECT_EQ(run("return get_health()"), "65");
  steps(100);  // then a point a second
  EXPECT_NEAR(std::stof(run("return get_health()")), 69.5f, 0.1f);
  EXPECT_EQ(run("get_local_player().hurt(-1000); return get_health()"), "100");  // healing stops at full
  Matrix44 basis = {};
  gameobj_module.move_local_player(p, 0.05f, 10.f, v_make(10.f, 0.f, 0.f, 0.f), basis, 0);
  EXPECT_EQ(run("get_local_player().hurt(500); return get_health() + \" \" + cast_spell(\"hill\", 10, 10)"), "0 false");
  const vec4f fallen = gameobj_module.get_local_player_eye(p);
  gameobj_module.move_local_player(p, 0.05f, 10.f, v_make(10.f, 0.f, 0.f, 0.f), basis, 0);
  EXPECT_FLOAT_EQ(v_extract_x(gameobj_module.get_local_player_eye(p)), v_extract_x(fallen));
  steps(95);
  EXPECT_EQ(run("return get_health()"), "0");
  steps(10);
  EXPECT_EQ(run("return get_health()"), "100");
  const vec4f again = gameobj_module.get_local_player_eye(p);
  EXPECT_NEAR(v_extract_x(again), v_extract_x(start), 1e-3f);
  EXPECT_NEAR(v_extract_z(again), v_extract_z(start), 1e-3f);
  EXPECT_EQ(run("return cast_spell(\"hill\", 10, 10)"), "true");
  run("toggle_monster_spawn()");
}
}  // namespace
