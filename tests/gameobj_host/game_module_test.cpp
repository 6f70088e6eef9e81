// The game object module as the game loads it (gameobj.so of this build) over the shipped world
// script: the player across a generated world, the static objects, the classes for scripts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

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
struct GameModule : ModuleWorldTest
{
  static void generate(uint64_t seed)
  {
    game_rnd_seed = seed;
    generate_world("game");
    ASSERT_FALSE(has_error_message()) << get_error_message();
  }
  // Runs script text in the world machine; the value of `return ...`, or the error text.
  static std::string run(const char *src)
  {
    HSQUIRRELVM v = get_world_script_vm();
    SQInteger top = sq_gettop(v);
    std::string out = "compile error";
    if (compile_buffer(v, src, SQInteger(strlen(src)), "test.nut"))
    {
      sq_pushroottable(v);
      if (SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)))
      {
        sq_tostring(v, -1);
        const SQChar *s = nullptr;
        sq_getstring(v, -1, &s);
        out = s ? s : "";
      }
      else
      {
        sq_getlasterror(v);
        const SQChar *s = nullptr;
        sq_getstring(v, -1, &s);
        out = std::string("error: ") + (s ? s : "?");
      }
    }
    sq_settop(v, top);
    return out;
  }
};

// Reference: the land and the water on it, interpolated bilinearly between samples.
float floor_at(vec4f p)
{
  float x = v_extract_x(p), z = v_extract_z(p);
  int ix = int(std::floor(x)), iz = int(std::floor(z));
  float tx = x - float(ix), tz = z - float(iz);
  auto f = [](int x, int z) { return HD::hmap[hmap_idx(x, z)] + HD::water[hmap_idx(x, z)].depth; };
  float a = f(ix, iz) * (1 - tx) + f(ix + 1, iz) * tx;
  float b = f(ix, iz + 1) * (1 - tx) + f(ix + 1, iz + 1) * tx;
  return a * (1 - tz) + b * tz;
}

// The player driven across the world for thousands of steps: walking, dashing, flying up and
// diving at speeds up to 40 units a step, with the water moving under it. Every step ends with
// the feet on or above the land and water, finite, inside the wrapped world; walking follows the
// ground over the hills.
TEST_F(GameModule, PlayerNeverFallsThroughTheLand)
{
  generate(7);
  Player *player = gameobj_module.get_local_player();
  ASSERT_NE(player, nullptr);
  ASSERT_EQ(Player_list.size(), 1);
  {
    // A new world's player begins standing on dry, level ground away from the buildings.
    vec4f eye = gameobj_module.get_local_player_eye(player);
    int x = int(v_extract_x(eye)), z = int(v_extract_z(eye));
    float y = HD::hmap[hmap_idx(x, z)];
    for (int dz = -2; dz <= 2; dz++)
      for (int dx = -2; dx <= 2; dx++)
      {
        int i = hmap_idx(x + dx, z + dz);
        EXPECT_NE(HD::surface[i].ground_type, GT_HOUSE);
        EXPECT_LE(HD::water[i].depth, 0.01f);
        EXPECT_NEAR(HD::hmap[i], y, 1.5f);
      }
  }
  Matrix44 basis = {};
  uint64_t rnd = 12345;
  float min_y = 1e9f, max_y = -1e9f, walked = 0.f;
  int walk_steps = 0, grounded_walks = 0;
  vec4f dir = v_zero();
  float speed = 0.f, rise = 0.f;
  for (int step = 0; step < 6000; step++)
  {
    if (step % 150 == 0)
    {
      float a = game_rnd_unit(game_rnd_step(rnd)) * 6.2831853f;
      dir = v_make(cosf(a), 0.f, sinf(a), 0.f);
      static const float speeds[] = {0.4f, 0.8f, 4.f, 40.f};
      speed = speeds[game_rnd_step(rnd) % 4];
      uint32_t r = game_rnd_step(rnd) % 4;
      rise = r == 0 ? 0.4f : r == 1 ? -speed : 0.f;  // fly up, dive, or walk
    }
    if (step % 4 == 0)
      HD::simWater(0.05f);
    vec4f before = gameobj_module.get_local_player_eye(player);
    vec4f motion = dir * speed + v_make(0.f, rise, 0.f, 0.f);
    gameobj_module.move_local_player(player, 0.05f, speed, motion, basis, 0);
    vec4f eye = gameobj_module.get_local_player_eye(player);
    vec4f feet = eye - v_make(0.f, 1.7f, 0.f, 0.f);
    float x = v_extract_x(feet), y = v_extract_y(feet), z = v_extract_z(feet);
    ASSERT_TRUE(std::isfinite(x) && std::isfinite(y) && std::isfinite(z)) << "step " << step;
    ASSERT_TRUE(x >= 0.f && x < 256.f && z >= 0.f && z < 256.f) << "step " << step;
    ASSERT_GE(y, gameobj_module.get_land_height(x, z) - 0.01f) << "step " << step << " at " << x << ", " << z;
    ASSERT_GE(y, floor_at(feet) - 0.01f) << "step " << step << " at " << x << ", " << z;
    if (rise == 0.f && speed < 1.f && step % 150 >= 100)
    {
      // Walking: on the ground over hills and dales (after landing from a flight; down a scarp it falls, never hovers).
      walk_steps++;
      if (std::fabs(y - floor_at(feet)) < 0.01f)
        grounded_walks++;
      else
      {
        EXPECT_LT(y, v_extract_y(before) - 1.7f) << "hovers at step " << step;
      }
      min_y = std::min(min_y, y);
      max_y = std::max(max_y, y);
    }
    float dx = v_extract_x(eye) - v_extract_x(before), dz = v_extract_z(eye) - v_extract_z(before);
    walked += std::min(std::sqrt(dx * dx + dz * dz), 40.f);
  }
  EXPECT_GT(walk_steps, 400);
  EXPECT_GT(grounded_walks, walk_steps * 3 / 4);  // the rest falls down scarps
  EXPECT_GT(max_y - min_y, 5.f);  // the walks went up and down hills
  EXPECT_GT(walked, 2000.f);
}

TEST_F(GameModule, GenerationPlacesStonesAndMenhirsOnDryLand)
{
  generate(7);
  int placed = Stone1StaticObject_list.size() + Menhir1StaticObject_list.size() + Menhir2StaticObject_list.size();
  EXPECT_GT(Stone1StaticObject_list.size(), 0);
  EXPECT_GT(Menhir1StaticObject_list.size() + Menhir2StaticObject_list.size(), 0);
  // and the player, the birds and the monster spawner
  EXPECT_EQ(GameObj_list.size(), placed + 1 + ManaBall_list.size() + BirdMonster_list.size() + 1);
  EXPECT_EQ(ManaBall_list.size(), 24);
  EXPECT_EQ(BirdMonster_list.size(), 28);
  std::string first = run("return get_local_player().getClassName()");
  EXPECT_EQ(first, "Player");
  // The same seed gives the same placement; a new world replaces every object.
  std::string pos = run("local p = get_local_player(); return p.getPos()[0] + \",\" + p.isAlive()");
  EXPECT_EQ(pos.find("error"), std::string::npos) << pos;
  // The player and the birds are filed in the proximity grid from the start, the other objects
  // from their first step; deleting a filed object takes it out.
  for (int i = 0; i < GameObj_list.size(); i++)
  {
    const char *name = reinterpret_cast<BaseObject *>(GameObj_list[i])->getClassName();
    const bool flies = !strcmp(name, "Player") || !strcmp(name, "BirdMonster");
    ASSERT_EQ(gameobj_proximity_bin(GameObj_list[i]) >= 0, flies) << name;
    update_proximity(GameObj_list[i], v_make(1, 1, 3, 3));
  }
  generate(7);
  EXPECT_TRUE(proximity[0].empty());
  EXPECT_EQ(Stone1StaticObject_list.size() + Menhir1StaticObject_list.size() + Menhir2StaticObject_list.size(),
            placed);
  EXPECT_EQ(run("local p = get_local_player(); return p.getPos()[0] + \",\" + p.isAlive()"), pos);
  EXPECT_TRUE(deleted_gameobjs.empty());
}

// On a tilted plane the height is exact between samples and the normal is the plane's; the world
// wraps, and coordinates that are not finite read a sample instead of failing.
TEST_F(GameModule, LandHeightAndNormalOnAPlane)
{
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
      HD::hmap[hmap_idx(x, z)] = 0.5f * float(x) - 0.25f * float(z);
  EXPECT_FLOAT_EQ(gameobj_module.get_land_height(10.25f, 20.5f), 0.5f * 10.25f - 0.25f * 20.5f);
  EXPECT_FLOAT_EQ(gameobj_module.get_land_height(10.25f + 256.f, 20.5f - 512.f), 0.5f * 10.25f - 0.25f * 20.5f);
  vec4f n = gameobj_module.calc_land_norm(100.f, 100.f);
  float len = std::sqrt(0.25f + 1.f + 0.0625f);
  EXPECT_NEAR(v_extract_x(n), -0.5f / len, 1e-6f);
  EXPECT_NEAR(v_extract_y(n), 1.f / len, 1e-6f);
  EXPECT_NEAR(v_extract_z(n), 0.25f / len, 1e-6f);
  EXPECT_FLOAT_EQ(gameobj_module.get_land_height(NAN, INFINITY), HD::hmap[0]);
}

TEST_F(GameModule, ScriptsReadDeletedObjectsAsGone)
{
  generate(3);
  EXPECT_EQ(run("held <- get_local_player(); return held instanceof Player && held instanceof GameObj"), "true");
  // A vec4f made by the executable goes into the module; after a reload (the classes bound
  // again under the same tags) the instance held from before still reaches its object.
  EXPECT_EQ(run("held.setPos(vec4f(5, 6, 7, 0)); return held.getPos()[1]"), "6");
  ASSERT_TRUE(swap_gameobj_module(QM_MODULE_FILE));
  rebind_world_gen_gameobj();
  EXPECT_EQ(run("return held.getClassName() + get_local_player().getPos()[2]"), "Player7");
  gameobj_module.remove_all_gameobj();
  EXPECT_EQ(GameObj_list.size(), 0);
  EXPECT_EQ(gameobj_module.get_local_player(), nullptr);
  EXPECT_EQ(run("return held.isAlive()"), "false");
  EXPECT_EQ(run("return held.getPos()"), "error: game object was deleted");
  EXPECT_EQ(run("return get_local_player() == null"), "true");
}

// Toroidal difference of two coordinates, in (-128, 128].
float wrapped(float d)
{
  d = std::fmod(d, 256.f);
  return d > 128.f ? d - 256.f : d <= -128.f ? d + 256.f : d;
}

// Each world-shaping spell thrown at one point changes the world there as it should and nowhere
// beyond its reach; the land then morphs to the new heights.
TEST_F(GameModule, ShapingSpellsChangeTheWorldOnlyWhereTheyLand)
{
  generate(7);
  // The shipped script's rivers keep pouring and draining far away: a script without a step.
  const char *tmp = getenv("QM_TEST_TMP");
  const std::string quiet = std::string(tmp ? tmp : "/tmp") + "/quiet_" + std::to_string(getpid()) + ".nut";
  std::ofstream(quiet) << "function generate_world(name) {}\n";
  init_world_gen_vm(quiet.c_str());
  gameobj_module.toggle_mana_cheat();
  vec4f eye = gameobj_module.get_local_player_eye(gameobj_module.get_local_player());
  const float tx = v_extract_x(eye) + 30.f, tz = v_extract_z(eye) + 10.f;
  const float ux = 30.f / std::sqrt(1000.f), uz = 10.f / std::sqrt(1000.f);  // the throw's direction
  struct Case
  {
    const char *name;
    float reach;
  } cases[] = {{"hill", 9.f},   {"pit", 7.f},    {"meteor", 12.f},     {"house", 14.f},
               {"castle", 14.f}, {"fault", 0.f}, {"water_source", 3.f}, {"water_sink", 3.f}};
  auto idx = [](float x, float z) { return hmap_idx(int(std::lround(x)), int(std::lround(z))); };
  auto water_near = [&] {
    float sum = 0.f;
    for (int dz = -4; dz <= 4; dz++)
      for (int dx = -4; dx <= 4; dx++)
        sum += HD::water[idx(tx + float(dx), tz + float(dz))].depth;
    return sum;
  };
  for (const Case &c : cases)
  {
    SCOPED_TRACE(c.name);
    if (std::string(c.name) == "water_sink")  // the spring stops: the sink's work alone is seen
    {
      for (int i = 0; i < WaterSource_list.size(); i++)
        reinterpret_cast<BaseObject *>(WaterSource_list[i])->destroy();  // BaseObject first in every class
      gameobj_module.update_gameobj(0.f);
    }
    std::vector<float> heights(HD::target_hmap, HD::target_hmap + HMAP_CELLS), depth(HMAP_CELLS);
    std::vector<HD::Surface> surface(HD::surface, HD::surface + HMAP_CELLS);
    for (int i = 0; i < HMAP_CELLS; i++)
      depth[i] = HD::water[i].depth;
    const float water_before = water_near();
    char cast[96];
    snprintf(cast, sizeof(cast), "return cast_spell(\"%s\", %.3f, %.3f)", c.name, tx, tz);
    ASSERT_EQ(run(cast), "true");
    for (int step = 0; step < 100; step++)
      gameobj_module.update_gameobj(0.05f);
    int changed = 0;
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++)
      {
        int i = hmap_idx(x, z);
        if (HD::target_hmap[i] == heights[i] && HD::water[i].depth == depth[i] &&
            memcmp(&HD::surface[i], &surface[i], sizeof(HD::Surface)) == 0)
          continue;
        changed++;
        float dx = wrapped(float(x) - tx), dz = wrapped(float(z) - tz);
        if (c.reach > 0.f)
        {
          ASSERT_LE(std::hypot(dx, dz), c.reach + 1.f) << "changed at " << x << ", " << z;
        }
        else  // the fault's ellipse: 64 along the throw
        {
          ASSERT_LE(std::fabs(dx * ux + dz * uz), 65.f) << "changed at " << x << ", " << z;
        }
      }
    EXPECT_GT(changed, 0);
    const int at = idx(tx, tz);
    const std::string name = c.name;
    if (name == "hill")
    {
      EXPECT_NEAR(HD::target_hmap[at] - heights[at], 8.f, 0.5f);
    }
    if (name == "pit")
    {
      EXPECT_NEAR(HD::target_hmap[at] - heights[at], -6.f, 0.5f);
    }
    if (name == "meteor")
    {
      EXPECT_LT(HD::target_hmap[at], heights[at] - 1.f);
      EXPECT_NE(HD::surface[at].color, surface[at].color);
    }
    if (name == "house" || name == "castle")
    {
      EXPECT_EQ(HD::surface[at].ground_type, GT_HOUSE);
    }
    if (name == "fault")
    {
      int beyond = idx(tx + 20.f * ux, tz + 20.f * uz), before = idx(tx - 20.f * ux, tz - 20.f * uz);
      EXPECT_GT(HD::target_hmap[beyond] - heights[beyond], 1.f);
      EXPECT_LT(HD::target_hmap[before] - heights[before], -0.5f);
    }
    if (name == "water_source")
    {
      EXPECT_GT(water_near(), water_before + 10.f);
    }
    if (name == "water_sink")  // thrown onto the pool the source left
    {
      EXPECT_LT(water_near(), water_before - 5.f);
    }
  }
  // The land follows its new heights.
  for (int step = 0; step < 400; step++)
    HD::updateHmap(0.05f);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_NEAR(HD::hmap[i], HD::target_hmap[i], 0.01f) << i;
  gameobj_module.toggle_mana_cheat();
  init_world_gen_vm(QM_SOURCE_DIR "/bin/gen/main.nut");
}

// A spell costs its mana, one the player cannot pay for is refused without spending, and mana
// comes back over time up to the most the player can hold.
TEST_F(GameModule, SpellsSpendAndRegainMana)
{
  generate(3);
  EXPECT_EQ(run("return get_mana()"), "300");
  EXPECT_EQ(run("return cast_spell(\"pit\", 10, 10) + \" \" + cast_spell(\"meteor\", 10, 10)"), "true true");
  EXPECT_EQ(run("return cast_spell(\"castle\", 10, 10)"), "true");
  EXPECT_EQ(run("return get_mana()"), "50");
  EXPECT_EQ(run("return cast_spell(\"castle\", 10, 10)"), "false");
  EXPECT_EQ(run("return cast_spell(\"hill\", 10, 10) + \" \" + get_mana()"), "true 30");
  EXPECT_EQ(run("return cast_spell(\"volcano\", 10, 10)"), "error: no such spell");
  for (int step = 0; step < 20; step++)
    gameobj_module.update_gameobj(0.05f);
  EXPECT_EQ(run("return get_mana()"), "33");
  for (int step = 0; step < 4000; step++)
    gameobj_module.update_gameobj(0.05f);
  EXPECT_EQ(run("return get_mana()"), "500");
}

// The world script hears the game through the module: "world_ready" once a world is generated,
// then update_script(dt) in every object update.
TEST_F(GameModule, WorldScriptGetsTheModulesEventAndSteps)
{
  const char *tmp = getenv("QM_TEST_TMP");
  const std::string path = std::string(tmp ? tmp : "/tmp") + "/world_events_" + std::to_string(getpid()) + ".nut";
  std::ofstream(path) << "seen <- []\nfunction generate_world(name) {}\n"
                         "function process_event(e) { seen.append(e) }\nfunction update_script(dt) { seen.append(dt) }\n";
  init_world_gen_vm(path.c_str());
  generate_world("game");
  gameobj_module.update_gameobj(0.05f);
  gameobj_module.update_gameobj(0.05f);
  EXPECT_EQ(run("return seen.len() + \" \" + seen[0] + \" \" + (seen[2] * 100).tointeger()"), "3 world_ready 5");
  EXPECT_FALSE(has_error_message()) << get_error_message();
  init_world_gen_vm(QM_SOURCE_DIR "/bin/gen/main.nut");
}
// Mana balls fly to a player who comes near and give their mana; enough of it opens the portal,
// and walking into the portal asks for a new world.
TEST_F(GameModule, GatheredManaOpensThePortalToANewWorld)
{
  generate(5);
  Player *player = gameobj_module.get_local_player();
  auto stand_at = [&](const char *where) {
    // `where` is script text giving a vec4f; the player's eye goes 1.7 above the floor there.
    std::string xz = run((std::string("local p = ") + where + "; return p[0] + \",\" + p[2]").c_str());
    float x = std::stof(xz), z = std::stof(xz.substr(xz.find(',') + 1));
    gameobj_module.place_local_player(player, v_make(x, floor_at(v_make(x, 0.f, z, 0.f)) + 1.7f, z, 0.f));
    return std::make_pair(x, z);
  };
  EXPECT_EQ(run("return find_objects(\"WorldPortal\").len()"), "0");
  for (int n = 0; n < 10; n++)
  {
    stand_at("find_objects(\"ManaBall\")[0].getPos()");
    // Pulled in from beside the player, then taken.
    for (int step = 0; step < 10; step++)
      gameobj_module.update_gameobj(0.05f);
    EXPECT_EQ(run("return find_objects(\"ManaBall\").len()"), std::to_string(23 - n)) << n;
    EXPECT_EQ(run("return find_objects(\"WorldPortal\").len()"), n < 9 ? "0" : "1") << n;
  }
  EXPECT_EQ(run("return get_mana() >= 500"), "true");
  EXPECT_FALSE(request_new_world);
  stand_at("find_objects(\"WorldPortal\")[0].getPos()");
  gameobj_module.update_gameobj(0.05f);
  EXPECT_TRUE(request_new_world);
  request_new_world = false;
}
}  // namespace
