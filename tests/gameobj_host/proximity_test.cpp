// The proximity grid against a brute-force search over the wrapping world, and its edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "gameobj_host/proximity.h"

namespace
{
// Stands in for a module object: the BaseObject fields, then the bin.
struct Filed : BaseObject
{
  int bin = -1;
  vec4f rect = v_zero();
  GameObj *obj() { return reinterpret_cast<GameObj *>(this); }
};

struct Proximity : testing::Test
{
  void SetUp() override
  {
    Filed f;
    ASSERT_EQ(reinterpret_cast<char *>(&f.bin) - reinterpret_cast<char *>(&f),
              ptrdiff_t(GAMEOBJ_PROXIMITY_BIN_OFFSET));
  }
  void TearDown() override { release_proximity(); }
};

// [a0, a1] and [b0, b1] overlap somewhere on the 256-unit ring (exact for float inputs).
bool ring_overlap(double a0, double a1, double b0, double b1)
{
  return std::ceil((b0 - a1) / 256) <= std::floor((b1 - a0) / 256);
}

bool overlaps(vec4f a, vec4f b)
{
  return ring_overlap(v_get(a, 0), v_get(a, 2), v_get(b, 0), v_get(b, 2)) &&
         ring_overlap(v_get(a, 1), v_get(a, 3), v_get(b, 1), v_get(b, 3));
}

vec4f rect(float x0, float z0, float x1, float z1) { return v_make(x0, z0, x1, z1); }

TEST_F(Proximity, EdgeCases)
{
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  struct Case
  {
    vec4f r;
    int bin;
  } cases[] = {
    {rect(1, 1, 3, 3), 0},
    {rect(6, 1, 10, 3), 1024},                 // x corners share the coarse cell [-4, 12)
    {rect(1, 1, 30, 3), 1280},
    {rect(255, 1, 255.5f, 3), 31},
    {rect(256.5f, 1, 257, 3), 0},              // past the world's edge: the bin of x = 0
    {rect(-3, -3, -1, -1), 1023},
    {rect(-4, 12, 11.9f, 27), 1024 + 16},
    {rect(1, 1, 257, 3), 1280},                // a world wide: same cell number only after wrapping
    {rect(nan, 1, 3, 3), 1280},
    {rect(1, 1, inf, 3), 1280},
    {rect(-inf, -inf, -inf, -inf), 1280},
    {rect(1e30f, 1e30f, 1e30f, 1e30f), 1280},
    {rect(-3e6f, 1, -3e6f, 1), 1280},
  };
  for (const Case &c : cases)
    EXPECT_EQ(proximity_bin_of_rect(c.r), c.bin) << v_get(c.r, 0) << " " << v_get(c.r, 2);

  // Moving within a bin changes nothing; across the edge it moves to the bin of x = 0.
  Filed a, b, c;
  update_proximity(a.obj(), rect(1, 1, 3, 3));
  update_proximity(b.obj(), rect(2, 2, 4, 4));
  update_proximity(a.obj(), rect(5, 5, 7, 7));
  ASSERT_EQ(proximity[0].size(), 2);
  EXPECT_EQ(proximity[0][0], a.obj());
  update_proximity(c.obj(), rect(255, 1, 255.5f, 3));
  update_proximity(c.obj(), rect(256.5f, 1, 257, 3));
  EXPECT_EQ(c.bin, 0);
  EXPECT_TRUE(proximity[31].empty());
  ASSERT_EQ(proximity[0].size(), 3);

  // A query across the seam collects fine cells 31 and 0 of each row, each once.
  Filed rows[8];
  for (int r = 0; r < 4; r++)
  {
    update_proximity(rows[2 * r].obj(), rect(250, 8.f * r + 1, 251, 8.f * r + 2));
    update_proximity(rows[2 * r + 1].obj(), rect(1, 8.f * r + 1, 2, 8.f * r + 2));
  }
  Filed big;
  update_proximity(big.obj(), rect(0, 0, 100, 100));
  ProximityQuery q;
  q.proximityQuery(rect(250, 0, 260, 31), false);
  std::vector<int> expect;
  for (int r = 0; r < 4; r++)
    expect.insert(expect.end(), {32 * r + 31, 32 * r});
  expect.push_back(1280);
  EXPECT_EQ(std::vector<int>(q.bins.begin(), q.bins.end()), expect);
  EXPECT_EQ(q.curBin, 0);
  EXPECT_EQ(q.curIndex, -1);
  q.proximityQuery(rect(-inf, -inf, inf, inf), true);
  for (int bin : q.bins)
    EXPECT_NE(bin, 1280);

  // Removal: null, never filed, a recorded bin that does not hold it or is out of range.
  remove_proximity_object(nullptr);
  Filed stray;
  remove_proximity_object(stray.obj());
  EXPECT_EQ(stray.bin, -1);
  for (int wrong : {1, 1280, 5000, -7})
  {
    stray.bin = wrong;
    remove_proximity_object(stray.obj());
    EXPECT_EQ(stray.bin, -1);
  }
  stray.bin = 0;  // claims bin 0 without being there: its objects stay
  update_proximity(stray.obj(), rect(9, 1, 10, 2));
  EXPECT_EQ(proximity[0].size(), 4);
  EXPECT_EQ(proximity[1].size(), 1);
  stray.bin = 9999;
  update_proximity(stray.obj(), rect(9, 1, 10, 2));  // files it once more
  EXPECT_EQ(proximity[1].size(), 2);
}

// Random objects and queries, including the seam, rectangles of the whole world and beyond,
// inverted and non-finite ones: after testing the objects of the collected bins, the grid finds
// exactly the objects the brute-force search finds, each once.
TEST_F(Proximity, MatchesBruteForce)
{
  std::mt19937 rng(5);
  const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
  auto coord = [&](int kind) {
    std::uniform_real_distribution<float> u(-300.f, 600.f);
    switch (kind)
    {
    case 0: return std::floor(u(rng) * 4) / 4;  // quarter units: hits cell boundaries and x = 256
    case 1: return u(rng);
    default:
    {
      const float odd[] = {nan, inf, -inf, 1e30f, -1e30f, 2e6f, 0.f, 256.f, 252.f, 4.f, -4.f};
      return odd[rng() % 11];
    }
    }
  };
  auto random_rect = [&]() {
    float x = coord(rng() % 2), z = coord(rng() % 2);
    float size = rng() % 4 == 0 ? 300.f : rng() % 2 ? 20.f : 6.f;
    std::uniform_real_distribution<float> s(-0.2f * size, size);  // a few inverted
    vec4f r = rect(x, z, x + s(rng), z + s(rng));
    if (rng() % 16 == 0)
      r = v_set(r, rng() % 4, coord(2));
    return r;
  };

  std::vector<Filed> objs(3000);
  ProximityQuery q;
  for (int round = 0; round < 3; round++)
  {
    for (Filed &o : objs)
      if (round == 0 || rng() % 3 == 0)
      {
        o.rect = random_rect();
        update_proximity(o.obj(), o.rect);
      }
    for (int i = 0; i < 200; i++)
      remove_proximity_object(objs[rng() % objs.size()].obj());
    int filed = 0;
    for (const auto &b : proximity)
      filed += b.size();
    int expectFiled = 0;
    for (Filed &o : objs)
      expectFiled += o.bin >= 0;
    ASSERT_EQ(filed, expectFiled);

    for (int t = 0; t < 300; t++)
    {
      vec4f r = random_rect();
      bool skip = t % 5 == 0;
      q.proximityQuery(r, skip);
      std::vector<int> seen(objs.size(), 0);
      for (int bin : q.bins)
        for (GameObj *g : proximity[bin])
          seen[reinterpret_cast<Filed *>(g) - objs.data()]++;
      for (size_t i = 0; i < objs.size(); i++)
      {
        Filed &o = objs[i];
        ASSERT_LE(seen[i], 1) << "object " << i << " found twice";
        bool want = o.bin >= 0 && overlaps(o.rect, r) && !(skip && o.bin == PROXIMITY_OVERFLOW_BIN);
        ASSERT_EQ(seen[i] && overlaps(o.rect, r), want)
            << "object " << i << " bin " << o.bin << " query " << v_get(r, 0) << " " << v_get(r, 1)
            << " " << v_get(r, 2) << " " << v_get(r, 3);
      }
    }
  }
}
}  // namespace
