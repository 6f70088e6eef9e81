// Cost of the binding layer beside the same calls written with the raw sq_ API.
#include <benchmark/benchmark.h>

#include <cstring>

#include "script/sq_func.h"
#include "script/sq_vm.h"
#include "script/sqbind.h"

namespace
{
float add_bound(float a, float b) { return a + b; }

SQInteger add_raw(HSQUIRRELVM v)
{
  SQFloat a = 0, b = 0;
  if (SQ_FAILED(sq_getfloat(v, 2, &a)) || SQ_FAILED(sq_getfloat(v, 3, &b)))
    return sq_throwerror(v, "bad args");
  sq_pushfloat(v, a + b);
  return 1;
}

const char *const script = R"(
function loop_bound(n) { local s = 0.0; for (local i = 0; i < n; i++) s = add_bound(s, 1.0); return s }
function loop_raw(n) { local s = 0.0; for (local i = 0; i < n; i++) s = add_raw(s, 1.0); return s }
function scale(x) { return x * 2.0 }
)";

struct Machine
{
  HSQUIRRELVM v;
  Machine()
  {
    v = open_vm(1024);
    sqbind::bind_function(v, sqbind::root_table(v), "add_bound", &add_bound);
    sq_pushroottable(v);
    sq_pushstring(v, "add_raw", -1);
    sq_newclosure(v, add_raw, 0);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    compile_buffer(v, script, SQInteger(strlen(script)), "bench.nut");
    sq_pushroottable(v);
    sq_call(v, 1, SQFalse, SQTrue);
    sq_pop(v, 1);
  }
  ~Machine() { close_vm(v); }
};

constexpr int loop_calls = 1000;

void run_loop(benchmark::State &state, const char *fn)
{
  Machine m;
  SqFunc<float> f;
  f.lookup(m.v, sqbind::root_table(m.v), fn);
  for (auto _ : state)
    benchmark::DoNotOptimize(f(float(loop_calls)));
  state.SetItemsProcessed(state.iterations() * loop_calls);
}

void BM_ScriptCallsNative_Bound(benchmark::State &state) { run_loop(state, "loop_bound"); }
void BM_ScriptCallsNative_Raw(benchmark::State &state) { run_loop(state, "loop_raw"); }

void BM_NativeCallsScript_SqFunc(benchmark::State &state)
{
  Machine m;
  SqFunc<float> f;
  f.lookup(m.v, sqbind::root_table(m.v), "scale");
  float x = 1;
  for (auto _ : state)
    benchmark::DoNotOptimize(x = f(x) * 0.5f);
}

void BM_NativeCallsScript_Raw(benchmark::State &state)
{
  Machine m;
  HSQUIRRELVM v = m.v;
  HSQOBJECT fn;
  sq_pushroottable(v);
  sq_pushstring(v, "scale", -1);
  sq_get(v, -2);
  sq_getstackobj(v, -1, &fn);
  sq_addref(v, &fn);
  sq_pop(v, 2);
  float x = 1;
  for (auto _ : state)
  {
    sq_pushobject(v, fn);
    sq_pushroottable(v);
    sq_pushfloat(v, x);
    SQFloat r = 0;
    if (SQ_SUCCEEDED(sq_call(v, 2, SQTrue, SQTrue)))
      sq_getfloat(v, -1, &r);
    sq_pop(v, 2);
    benchmark::DoNotOptimize(x = r * 0.5f);
  }
  sq_release(v, &fn);
}
}  // namespace

BENCHMARK(BM_ScriptCallsNative_Bound);
BENCHMARK(BM_ScriptCallsNative_Raw);
BENCHMARK(BM_NativeCallsScript_SqFunc);
BENCHMARK(BM_NativeCallsScript_Raw);
