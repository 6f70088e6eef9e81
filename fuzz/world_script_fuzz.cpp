// Whatever text a world script holds, compiling it, running it in the world generation machine
// and generating a world with its generate_world ends without a crash or a sanitizer report: at
// worst in a compile or script error.
//
// Each input gets a fresh machine from init_world_gen_vm (ramps, masks, math, generation
// functions), whose own script is an empty file, then the input is compiled and run in it and
// the world "game" is generated through generate_world, as the world tool does.
//
// Bounded work per input: a script may loop forever, so the Squirrel watchdog (sq_setwatchdog,
// one of the build's Squirrel patches) stops it with an error that no catch takes once it has run
// BUDGET_INSTRUCTIONS instructions, used BUDGET_SECONDS of processor time (slow native calls in a
// loop) or filled the heap past BUDGET_BYTES. Large allocations are seen by the sanitizer
// allocator's malloc hook, which makes the very next instruction check the budget, so one loop
// cannot pile up arrays between two checks. A native call that is slow on its own is a finding of
// the fuzzer's -timeout, except for work that the script asks for by count: those counts are
// capped (CAPPED_COUNTS) before the generation function sees them, since their cost is the
// point of the count (60 000 droplets, the shipped world's erosion, take 20 s here).
#include <sanitizer/allocator_interface.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "script/sq_vm.h"
#include "script/world_gen.h"
#include "support/file_path.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"

namespace
{
constexpr SQInteger CHECK_INTERVAL = 1000;                // instructions between watchdog checks
constexpr SQInteger BUDGET_INSTRUCTIONS = 200 * CHECK_INTERVAL;
constexpr double BUDGET_SECONDS = 0.25;  // processor time
constexpr size_t BUDGET_BYTES = size_t(512) << 20;
constexpr size_t LARGE_ALLOCATION = size_t(64) << 10;

// Replaces root functions whose work grows with one count argument by wrappers that lower larger
// counts to the cap; other values (negative, non-finite, of another type) pass unchanged.
const char *const CAPPED_COUNTS = R"(
foreach (name, cap in { gen_droplet_erosion = [0, 2000] }) {
  local real = getroottable()[name], index = cap[0], most = cap[1]
  getroottable()[name] = function(...) {
    local args = [this]
    args.extend(vargv)
    local n = index < vargv.len() ? vargv[index] : null
    if ((typeof n == "integer" || typeof n == "float") && n > most)
      args[index + 1] = most
    return real.acall(args)
  }
}
)";

char dir[] = "/tmp/qm_world_script_fuzz_XXXXXX";
std::string empty_script;
HSQUIRRELVM running = nullptr;  // the machine the budget applies to, while the input runs
SQInteger checks_left = 0;
double deadline = 0;

double now()
{
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

SQInteger watchdog(HSQUIRRELVM v)
{
  if (__sanitizer_get_current_allocated_bytes() > BUDGET_BYTES)
    return sq_throwerror(v, "fuzz: memory budget spent");
  if (--checks_left < 0)
    return sq_throwerror(v, "fuzz: instruction budget spent");
  if (now() > deadline)
    return sq_throwerror(v, "fuzz: time budget spent");
  return SQ_OK;
}

void on_malloc(const volatile void *, size_t size)
{
  if (running && size >= LARGE_ALLOCATION && __sanitizer_get_current_allocated_bytes() > BUDGET_BYTES)
    sq_setwatchdog(running, watchdog, 1);  // check before the next instruction
}

void on_free(const volatile void *) {}

// Compiles the text and runs it with the root table as `this`.
bool run_text(HSQUIRRELVM v, const char *text, size_t size, const char *name)
{
  if (!compile_buffer(v, text, SQInteger(size), name))
    return false;
  sq_pushroottable(v);
  bool ran = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
  sq_pop(v, 1);
  return ran;
}

void remove_dir()
{
  unlink(empty_script.c_str());
  rmdir(dir);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
  if (!mkdtemp(dir))
    abort();
  atexit(remove_dir);
  // Relative include() names resolve in this empty folder.
  snprintf(app_path, sizeof(app_path), "%s/", dir);
  empty_script = std::string(dir) + "/empty.nut";
  FILE *f = fopen(empty_script.c_str(), "wb");
  if (!f)
    abort();
  fclose(f);
  __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  // The same world and seed before every input, so that an input does what it did when found.
  HeightmapData::reset();
  game_rnd_seed = 1;
  init_world_gen_vm(empty_script.c_str());
  HSQUIRRELVM v = world_gen.vm.vm;
  checks_left = BUDGET_INSTRUCTIONS / CHECK_INTERVAL;
  deadline = now() + BUDGET_SECONDS;
  if (!run_text(v, CAPPED_COUNTS, strlen(CAPPED_COUNTS), "capped_counts.nut"))
    abort();
  sq_setwatchdog(v, watchdog, CHECK_INTERVAL);
  running = v;

  if (run_text(v, reinterpret_cast<const char *>(data), size, "fuzz.nut"))
  {
    world_gen.generate_world.lookup(v, sqbind::root_table(v), "generate_world");
    if (!world_gen.generate_world.isNull())
      generate_world("game");
  }

  running = nullptr;
  close_world_gen_vm();
  return 0;
}
