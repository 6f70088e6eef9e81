// One step of the game object module (update_gameobj) on the "game" world of seed 7, with and
// without 200 monsters (120 birds, 60 wyverns, 20 mana gatherers at random places) and 500 hill
// missiles in flight (thrown far all round the player, so that none lands while the benchmark
// runs; each draws its trail through the effect script, whose particles are updated between the
// steps, untimed). Arguments: monsters, missiles. Reported: the thread's processor time of a step, and
// per_object_us, that time over the number of monsters and missiles. Each one's cost and its
// share of the step come from the differences between the four runs (bench/NOTES.md).
#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <string>

#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
#include "platform/timer.h"
#include "script/sq_vm.h"
#include "script/world_gen.h"
#include "script/world_script.h"
#include "support/debug.h"
#include "terrain/game_rnd.h"
#include "world_render/common_fx.h"
#include "world_render/fx_script.h"

namespace
{
// The processor time of this thread: on a machine shared with other work the wall-clock time of
// a step says more about the others than about the step.
double thread_seconds()
{
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + 1e-9 * double(ts.tv_nsec);
}

void run_script(const std::string &src)
{
  HSQUIRRELVM v = get_world_script_vm();
  SQInteger top = sq_gettop(v);
  if (compile_buffer(v, src.c_str(), SQInteger(src.size()), "bench.nut"))
  {
    sq_pushroottable(v);
    sq_call(v, 1, SQFalse, SQTrue);
  }
  sq_settop(v, top);
}

void set_up_world(int monsters, int missiles)
{
  static bool loaded = false;
  if (!loaded)
  {
    init_timer();
    load_gameobj_module(QM_MODULE_FILE);
    init_world_gen_vm(QM_SOURCE_DIR "/bin/gen/main.nut");
    reset_common_fx();
    init_fx_script(QM_SOURCE_DIR "/bin/test/fx.nut");
    gameobj_module.toggle_mana_cheat();
    loaded = true;
  }
  game_rnd_seed = 7;
  generate_world("game");
  // The spawner's own waves stay out of it; the birds of the world stay.
  run_script("toggle_monster_spawn()");
  run_script("srand(7)\n"
             "for (local i = 0; i < " + std::to_string(monsters) + "; i++) {\n"
             "  local c = i % 10 < 6 ? \"BirdMonster\" : i % 10 < 9 ? \"WyvernMonster\" : \"ManaGatherer\"\n"
             "  spawn_monster(c, rand() % 256, 20, rand() % 256) }\n"
             "local p = get_local_player().getPos()\n"
             "for (local i = 0; i < " + std::to_string(missiles) + "; i++) {\n"
             "  local a = i * 0.0125664\n"
             "  cast_spell(\"hill\", p[0] + 5000 * cos(a), p[2] + 5000 * sin(a)) }\n");
}

void BM_ModuleStep(benchmark::State &state)
{
  const int monsters = int(state.range(0)), missiles = int(state.range(1));
  set_up_world(monsters, missiles);
  const int objects = GameObj_list.size();
  double total = 0.0;
  for (auto _ : state)
  {
    double t0 = thread_seconds();
    gameobj_module.update_gameobj(0.05f);
    double t = thread_seconds() - t0;
    state.SetIterationTime(t);
    total += t;
    update_common_fx(0.05f);
  }
  state.counters["objects"] = double(objects);
  if (monsters + missiles > 0)
    state.counters["per_object_us"] = total / double(state.iterations()) / double(monsters + missiles) * 1e6;
  run_script("toggle_monster_spawn()");
}
BENCHMARK(BM_ModuleStep)->Args({0, 0})->Args({200, 0})->Args({0, 500})->Args({200, 500})->UseManualTime()
    ->MinTime(2.0)->Unit(benchmark::kMicrosecond);
}  // namespace
