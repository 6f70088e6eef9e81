#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "erosion_reference.h"
#include "terrain/erosion_detail.h"
#include "terrain/game_rnd.h"
#include "terrain/hmap_data.h"
#include "terrain_test_util.h"

using HD = HeightmapData;

namespace
{
HD::Reaction make_reaction(const float from[4], const float to[4], float rate)
{
  HD::Reaction r;
  for (int ch = 0; ch < 4; ch++)
  {
    r.delta[ch] = rate * (to[ch] - from[ch]);
    r.order[ch] = int(std::lround(from[ch]));
  }
  return r;
}

struct WorldCopy
{
  std::vector<float> h{HD::hmap, HD::hmap + HMAP_CELLS};
  std::vector<HD::Surface> s{HD::surface, HD::surface + HMAP_CELLS};
  void restore() const
  {
    memcpy(HD::hmap, h.data(), sizeof(HD::hmap));
    memcpy(HD::surface, s.data(), sizeof(HD::surface));
  }
};

// Runs the optimised erosion and the plain one from the same state; both worlds must match.
void expect_same_as_reference(unsigned droplets, HD::ErosionParams &p, uint64_t seed)
{
  WorldCopy start;
  game_rnd_seed = seed;
  RefErosionStats ref = ref_droplet_erosion(droplets, p);
  uint64_t ref_seed = game_rnd_seed;
  WorldCopy expected;
  start.restore();
  game_rnd_seed = seed;
  testing::internal::CaptureStdout();
  HD::genDropletErosion(droplets, p);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(game_rnd_seed, ref_seed);
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    ASSERT_EQ(float_bits(HD::hmap[i]), float_bits(expected.h[i])) << i;
    ASSERT_EQ(memcmp(&HD::surface[i], &expected.s[i], sizeof(HD::Surface)), 0) << i;
  }
  char line[160];
  snprintf(line, sizeof(line), "  %.2f average path length, %llu long paths cut, %llu random directions picked",
           double(ref.total_steps) / droplets, (unsigned long long)ref.long_paths,
           (unsigned long long)ref.random_dirs);
  EXPECT_NE(log.find(line), std::string::npos) << log;
}
}  // namespace

TEST(DropletErosion, MatchesPlainReferenceWithAndWithoutReactions)
{
  make_rough_world(11);
  HD::ErosionParams p;
  expect_same_as_reference(1500, p, 99);
  float sum_change = 0;
  WorldCopy before;
  make_rough_world(11);
  for (int i = 0; i < HMAP_CELLS; i++)
    sum_change += std::fabs(before.h[i] - HD::hmap[i]);
  EXPECT_GT(sum_change, 1.f);  // the droplets really cut and filled

  const float red[4] = {1, 0, 0, 0}, green[4] = {0, 1, 0, 0}, blue[4] = {0, 0, 1, 1};
  const float second_order[4] = {2, 0, 3, 0};
  p.reactions.push_back(make_reaction(red, green, 0.05f));
  p.reactions.push_back(make_reaction(blue, red, 0.01f));
  p.reactions.push_back(make_reaction(second_order, blue, 0.02f));
  p.Kq = 0.1f;  // the development key's settings
  p.Kd = 0.9f;
  expect_same_as_reference(1500, p, 1234);
}

namespace
{
// The reactions of bin/gen/main.nut: grey sediment ages into brown soil.
void add_shipped_reactions(HD::ErosionParams &p)
{
  const float blue[4] = {0, 0, 1, 0}, half_blue[4] = {0, 0, 0.5f, 0};
  const float green[4] = {0, 1, 0, 0}, most_green[4] = {0, 0.85f, 0, 0};
  p.reactions.push_back(make_reaction(blue, half_blue, 0.003f));
  p.reactions.push_back(make_reaction(green, most_green, 0.003f));
}
}  // namespace

TEST(DropletErosion, MatchesPlainReferenceWithTheShippedSettingsOverALongRun)
{
  make_rough_world(21);
  HD::ErosionParams p;
  p.Kq = 8;
  p.Kr = 0.6f;
  p.Kd = 0.05f;
  p.Ki = 0.2f;
  p.minSlope = 0.02f;
  p.depositBlend = 1.5f;
  p.reactionTime = 60;
  add_shipped_reactions(p);
#ifdef __SANITIZE_ADDRESS__
  expect_same_as_reference(3000, p, 7);  // the sanitizer build is about ten times slower
#else
  expect_same_as_reference(30000, p, 7);
#endif
}

TEST(DropletErosion, MatchesPlainReferenceWithHostileSettings)
{
  // Settings a script may pass that drive colours out of 0..1, loads below 0 and reactions
  // into their step limit, where lanes of one deposit stop their integration at different
  // steps; the optimised rules must still follow the plain ones exactly.
  struct Case
  {
    const char *name;
    float Kd, depositBlend, reactionTime, rate;
  } const cases[] = {
    {"overshooting blend", 0.05f, -3, 100, 0.05f},
    {"deposits beyond the surplus", 3, 2, 100, 0.05f},
    {"fast reactions cut at zero", 0.5f, 2, 100, 40},
    {"long reactions", 0.5f, 4, 1e6f, 0.3f},
  };
  const float red[4] = {1, 0, 0, 0}, green[4] = {0, 1, 0, 0}, blue[4] = {0, 0, 1, 1};
  const float second_order[4] = {2, 0, 3, 0}, nothing[4] = {0, 0, 0, 0};
  for (const Case &c : cases)
  {
    SCOPED_TRACE(c.name);
    make_rough_world(31);
    HD::ErosionParams p;
    p.Kd = c.Kd;
    p.depositBlend = c.depositBlend;
    p.reactionTime = c.reactionTime;
    p.reactions.push_back(make_reaction(red, green, c.rate));
    p.reactions.push_back(make_reaction(blue, red, c.rate / 3));
    p.reactions.push_back(make_reaction(second_order, nothing, c.rate));
    add_shipped_reactions(p);
    expect_same_as_reference(400, p, 5);
  }
}

TEST(DropletErosion, FlatMapKeepsHeightsAndClearsOverlays)
{
  HD::reset();
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    HD::surface[i].top_color = 0x80FFFFFFu;
    HD::surface[i].surface_type = (i & 1) ? ST_GRASS : ST_SNOW;
  }
  HD::ErosionParams p;
  game_rnd_seed = 5;
  testing::internal::CaptureStdout();
  HD::genDropletErosion(40, p);
  std::string log = testing::internal::GetCapturedStdout();
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_EQ(float_bits(HD::hmap[i]), 0u) << i;
  int cleared = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const HD::Surface &s = HD::surface[i];
    EXPECT_EQ(s.color, 0xFF808080u);  // empty load and no reactions: colours unchanged
    if (s.surface_type == ST_NONE)
    {
      cleared++;
      EXPECT_EQ(s.top_color, 0u);
      EXPECT_EQ(i & 1, 0) << "grass grows through deposits";
    }
  }
  EXPECT_GT(cleared, 0);
  EXPECT_NE(log.find("computed      40 erosion droplets in "), std::string::npos) << log;
  EXPECT_NE(log.find("  0.00 average path length, 0 long paths cut, 40 random directions picked"),
            std::string::npos)
    << log;
}

namespace
{
// What the droplet's end left: the map just before its final deposit, and where and how much.
struct DropletEnd
{
  int calls = 0, ix = 0, iz = 0;
  float fx = 0, fz = 0, load = 0;
  std::vector<float> before;
} droplet_end;

void record_droplet_end(int ix, int iz, float fx, float fz, float load)
{
  droplet_end.calls++;
  droplet_end = {droplet_end.calls, ix, iz, fx, fz, load, {HD::hmap, HD::hmap + HMAP_CELLS}};
}

int torus_dist(int a, int b)
{
  const int d = (a - b) & 255;
  return d < 128 ? d : 256 - d;
}
}  // namespace

TEST(DropletErosion, PitIsFilledByExactlyTheLoad)
{
  // A cone falling towards (40, 200) with a deep one-sample pit at its tip. A droplet started
  // on the flank cuts material on its way down, runs into the pit, cannot climb out with its
  // load and leaves all of it there: the corners of its last cell rise by exactly the load,
  // and nothing else changes at the end.
  const int px = 40, pz = 200;
  HD::reset();
  for (int z = 0; z < HMAP_SIZE; z++)
    for (int x = 0; x < HMAP_SIZE; x++)
    {
      const float dx = float(torus_dist(x, px)), dz = float(torus_dist(z, pz));
      HD::hmap[hmap_idx(x, z)] = 0.5f * sqrtf(dx * dx + dz * dz);
    }
  HD::hmap[hmap_idx(px, pz)] = -30;
  // A seed whose droplet starts 10 to 20 samples from the pit.
  uint64_t seed = 1;
  for (;; seed++)
  {
    game_rnd_seed = seed;
    const int sx = int(game_rnd() & 255), sz = int(game_rnd() & 255);
    const int d = std::max(torus_dist(sx, px), torus_dist(sz, pz));
    if (d >= 10 && d <= 20)
      break;
  }
  HD::ErosionParams p;
  game_rnd_seed = seed;
  droplet_end = {};
  erosion_stop_hook = record_droplet_end;
  testing::internal::CaptureStdout();
  HD::genDropletErosion(1, p);
  testing::internal::GetCapturedStdout();
  erosion_stop_hook = nullptr;

  const DropletEnd &e = droplet_end;
  ASSERT_EQ(e.calls, 1);
  EXPECT_EQ(last_erosion_stats.long_paths, 0u);
  EXPECT_GT(last_erosion_stats.total_steps, 5u);
  EXPECT_GT(e.load, 0.01f) << "the droplet carried material into the pit";
  EXPECT_LT(e.load, 30.f) << "the pit is deeper than the load";
  // The last cell has the pit as one of its corners.
  EXPECT_TRUE(torus_dist(e.ix, px) + torus_dist(e.ix + 1, px) == 1 && torus_dist(e.iz, pz) + torus_dist(e.iz + 1, pz) == 1)
    << e.ix << "," << e.iz;
  const int corners[4] = {hmap_idx(e.ix, e.iz), hmap_idx(e.ix + 1, e.iz), hmap_idx(e.ix, e.iz + 1),
                          hmap_idx(e.ix + 1, e.iz + 1)};
  double added = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
  {
    const bool corner = std::find(corners, corners + 4, i) != corners + 4;
    if (corner)
    {
      EXPECT_GE(HD::hmap[i], e.before[i]);
      added += double(HD::hmap[i]) - double(e.before[i]);
    }
    else
      ASSERT_EQ(float_bits(HD::hmap[i]), float_bits(e.before[i])) << i;
  }
  EXPECT_NEAR(added, e.load, 2e-6 * 32) << "rounding of four float additions near the pit's depth";
  EXPECT_GT(HD::hmap[hmap_idx(px, pz)], -30.f);
}

TEST(DropletErosion, ZeroDropletsOnlyLog)
{
  make_rough_world(3);
  WorldCopy before;
  uint64_t seed = game_rnd_seed;
  HD::ErosionParams p;
  testing::internal::CaptureStdout();
  HD::genDropletErosion(0, p);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_EQ(game_rnd_seed, seed);
  EXPECT_EQ(memcmp(before.h.data(), HD::hmap, sizeof(HD::hmap)), 0);
  EXPECT_NE(log.find("computed       0 erosion droplets in "), std::string::npos) << log;
  EXPECT_NE(log.find("  0.00 average path length, 0 long paths cut, 0 random directions picked"),
            std::string::npos)
    << log;
}

TEST(DropletErosion, ReactionStopsWhereAChannelRunsOut)
{
  // Flat map: deposits are empty, so only the reaction changes colours. Red turns into green at
  // rate 1 per unit of red over 100 time units; the step is cut where red reaches 0, so the
  // green gained is exactly the red lost instead of a hundred times it.
  HD::reset();
  for (HD::Surface &s : HD::surface)
    s.color = 0xFFC80A00u;  // red 200, green 10
  HD::ErosionParams p;
  const float red[4] = {1, 0, 0, 0}, green[4] = {0, 1, 0, 0};
  p.reactions.push_back(make_reaction(red, green, 1));
  game_rnd_seed = 8;
  testing::internal::CaptureStdout();
  HD::genDropletErosion(3, p);
  testing::internal::GetCapturedStdout();
  int reacted = 0;
  for (const HD::Surface &s : HD::surface)
    if (s.color != 0xFFC80A00u)
    {
      reacted++;
      EXPECT_EQ(s.color, 0xFF00D200u) << std::hex << s.color;
    }
  EXPECT_GE(reacted, 4);
}

TEST(DropletErosion, HugeReactionOrdersStayCheap)
{
  // Orders come from script colours; one of a billion must neither hang nor misbehave: with
  // every red below 1, red raised to it is 0, so the reaction never runs.
  make_rough_world(4);
  for (HD::Surface &s : HD::surface)
    s.color &= 0xFF7FFFFFu;
  HD::ErosionParams p;
  const float from[4] = {1e9f, 0, 0, 0}, to[4] = {0, 1, 0, 0};
  p.reactions.push_back(make_reaction(from, to, 1));
  HD::ErosionParams plain;
  WorldCopy start;
  game_rnd_seed = 6;
  testing::internal::CaptureStdout();
  HD::genDropletErosion(200, p);
  WorldCopy with_reaction;
  start.restore();
  game_rnd_seed = 6;
  HD::genDropletErosion(200, plain);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(memcmp(with_reaction.h.data(), HD::hmap, sizeof(HD::hmap)), 0);
  int differing = 0;
  for (int i = 0; i < HMAP_CELLS; i++)
    differing += with_reaction.s[i].color != HD::surface[i].color;
  EXPECT_EQ(differing, 0);
}

namespace
{
std::string progress_msg;
float progress_share = 0;
int progress_calls = 0;
void record_progress(const char *msg, float share)
{
  progress_msg = msg;
  progress_share = share;
  progress_calls++;
}
}  // namespace

TEST(DropletErosion, StepLimitEndsBrokenTerrainAndProgressIsReported)
{
  HD::reset();
  for (float &h : HD::hmap)
    h = NAN;  // nothing ever climbs on NaN: only the step limit stops the droplet
  HD::ErosionParams p;
  game_rnd_seed = 1;
  testing::internal::CaptureStdout();
  HD::genDropletErosion(1, p);
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("droplet #0 path is too long!"), std::string::npos) << log;
  EXPECT_NE(log.find("1024.00 average path length, 1 long paths cut"), std::string::npos) << log;

  HD::reset();
  p.progress = record_progress;
  testing::internal::CaptureStdout();
  HD::genDropletErosion(16385, p);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(progress_calls, 1);
  EXPECT_EQ(progress_msg, "Calculating erosion");
  EXPECT_FLOAT_EQ(progress_share, 16384.5f / 16385);
}
