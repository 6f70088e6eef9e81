// The proximity grid: a query of a 16 x 16 unit area among 10 000 objects (collect the bins, walk
// their objects, test each rectangle) against testing every object's rectangle.
#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

#include "gameobj_host/proximity.h"

namespace
{
// A stand-in for a module object: the BaseObject fields, then the bin, then its rectangle.
struct BenchObj : BaseObject
{
  int bin = -1;
  float rect[4];
};

constexpr int NUM_OBJS = 10000, NUM_QUERIES = 64;

bool overlaps(const float *a, const float *b)
{
  return a[0] <= b[2] && a[2] >= b[0] && a[1] <= b[3] && a[3] >= b[1];
}

struct World
{
  std::vector<BenchObj> objs{NUM_OBJS};
  std::vector<std::array<float, 4>> queries;

  World()
  {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> pos(0.f, 240.f), size(0.2f, 3.f);
    for (BenchObj &o : objs)
    {
      float x = pos(rng), z = pos(rng), s = rng() % 50 == 0 ? 30.f : size(rng);
      o.rect[0] = x, o.rect[1] = z, o.rect[2] = x + s, o.rect[3] = z + s;
      update_proximity(reinterpret_cast<GameObj *>(&o), v_make(x, z, x + s, z + s));
    }
    for (int i = 0; i < NUM_QUERIES; i++)
    {
      float x = pos(rng), z = pos(rng);
      queries.push_back({x, z, x + 16.f, z + 16.f});
    }
  }
  ~World() { release_proximity(); }
};

void BM_ProximityQuery(benchmark::State &state)
{
  World w;
  ProximityQuery q;
  int qi = 0;
  for (auto _ : state)
  {
    const float *r = w.queries[qi++ % NUM_QUERIES].data();
    q.proximityQuery(v_make(r[0], r[1], r[2], r[3]), false);
    int found = 0;
    for (int bin : q.bins)
      for (GameObj *g : proximity[bin])
        found += overlaps(reinterpret_cast<BenchObj *>(g)->rect, r);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_ProximityQuery);

void BM_ProximityBruteForce(benchmark::State &state)
{
  World w;
  int qi = 0;
  for (auto _ : state)
  {
    const float *r = w.queries[qi++ % NUM_QUERIES].data();
    int found = 0;
    for (const BenchObj &o : w.objs)
      found += overlaps(o.rect, r);
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_ProximityBruteForce);
}  // namespace
