// Stamping of the house and castle templates.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "shaping_test_util.h"
#include "terrain/house_pieces.h"

using HD = HeightmapData;

namespace
{
struct Box
{
  int x0, z0, w, d;
};

// The squares a stamp turned into house ground, as a box relative to (cx, cz) and a count; the
// surface starts as fresh rock.
Box house_box(int cx, int cz, int *count)
{
  int minx = 1000, minz = 1000, maxx = -1000, maxz = -1000;
  *count = 0;
  for (int dz = -20; dz <= 20; dz++)
    for (int dx = -20; dx <= 20; dx++)
      if (HD::surface[hmap_idx(cx + dx, cz + dz)].ground_type == unsigned(GT_HOUSE))
      {
        minx = std::min(minx, dx);
        maxx = std::max(maxx, dx);
        minz = std::min(minz, dz);
        maxz = std::max(maxz, dz);
        ++*count;
      }
  return {minx, minz, maxx - minx + 1, maxz - minz + 1};
}
}  // namespace

TEST(PlaceHouse, TowerStampsHeightsAndPiecesAcrossTheWorldEdge)
{
  SavedWorld saved;
  for (HD::Surface &s : HD::surface)
  {
    s.top_color = 0x80FFFFFFu;
    s.surface_type = ST_GRASS;
    s.house_rot = 7;
    s.unused = 0xBEEF;
  }
  // Kind 0 is the tower (4 x 4 squares) centred on (0, 0): origin (-2, -2), i.e. (254, 254).
  HD::placeHouse(0, 0, 0, HD::hmap, false);
  // Height digits times 0.75 above the base 0; the far text row is the highest z.
  EXPECT_EQ(HD::hmap[hmap_idx(0, 0)], 6.75f);      // the centre '9'
  EXPECT_EQ(HD::hmap[hmap_idx(255, 255)], 6.0f);   // '8'
  EXPECT_EQ(HD::hmap[hmap_idx(1, 255)], 6.0f);
  EXPECT_EQ(HD::hmap[hmap_idx(254, 254)], 0.0f);
  EXPECT_EQ(HD::hmap[hmap_idx(2, 2)], 0.0f);

  struct Square
  {
    int x, z;
    unsigned piece, rot;
  } squares[] = {
    {254, 254, HP_TOWER_CORNER, 0},  // near row "bcdb" / "0003", first column
    {1, 254, HP_TOWER_CORNER, 3},
    {255, 0, HP_ROOF_CORNER, 5},     // row "caad" / "5563"
    {0, 255, HP_ROOF_CORNER, 3},     // row "daac" / "5033"
    {255, 1, HP_TOWER_WALL2, 6},     // far row "bdcb" / "5666"
    {1, 1, HP_TOWER_CORNER, 6},
  };
  for (const Square &q : squares)
  {
    const HD::Surface &s = HD::surface[hmap_idx(q.x, q.z)];
    EXPECT_EQ(s.ground_type, unsigned(GT_HOUSE)) << q.x << "," << q.z;
    EXPECT_EQ(s.surface_type, unsigned(ST_NONE));
    EXPECT_EQ(s.house_piece, q.piece) << q.x << "," << q.z;
    EXPECT_EQ(s.house_rot, q.rot) << q.x << "," << q.z;
    EXPECT_EQ(s.top_color, 0u);
    EXPECT_EQ(s.color, 0xFF808080u);
    EXPECT_EQ(s.unused, 0xBEEFu);
  }
  // Just outside the footprint nothing changes.
  for (auto [x, z] : {std::pair{2, 0}, {253, 0}, {0, 2}, {0, 253}})
  {
    EXPECT_EQ(HD::surface[hmap_idx(x, z)].ground_type, unsigned(GT_ROCK));
    EXPECT_EQ(HD::surface[hmap_idx(x, z)].house_rot, 7u);
  }
  EXPECT_EQ(HD::hmap[hmap_idx(3, 0)], 0.0f);

  // Coordinates are taken round the world, however large.
  std::vector<float> a(HMAP_CELLS, 1.0f), b(HMAP_CELLS, 1.0f);
  HD::placeHouse(256, -256, 0, a.data(), false);
  HD::placeHouse(INT_MIN, INT_MIN, 0, b.data(), false);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[hmap_idx(0, 0)], 7.75f);
}

TEST(PlaceHouse, KindPicksTheTemplate)
{
  SavedWorld saved;
  struct Case
  {
    int kind;
    Box box;
    int squares;
  } cases[] = {
    {-1, {-9, -9, 18, 18}, 18 * 18 - 60},  // the castle leaves 60 squares alone
    {0, {-2, -2, 4, 4}, 16},  {3, {-2, -2, 4, 4}, 16},
    {1, {-2, -5, 4, 10}, 40}, {4, {-2, -5, 4, 10}, 40},  // 4 mod 3 = 1: the house along z
    {2, {-5, -2, 10, 4}, 40}, {-2, {-5, -2, 10, 4}, 40},  // as unsigned, -2 mod 3 = 2
  };
  for (const Case &c : cases)
  {
    HD::reset();
    HD::placeHouse(100, 60, c.kind, HD::hmap, false);
    int n;
    Box b = house_box(100, 60, &n);
    EXPECT_EQ(b.x0, c.box.x0) << "kind " << c.kind;
    EXPECT_EQ(b.z0, c.box.z0) << "kind " << c.kind;
    EXPECT_EQ(b.w, c.box.w) << "kind " << c.kind;
    EXPECT_EQ(b.d, c.box.d) << "kind " << c.kind;
    EXPECT_EQ(n, c.squares) << "kind " << c.kind;
  }
  // The castle's centre tower around (100, 60): height rows "888" / "898" / "888"; the square at
  // the centre is in piece row ".jfied.caad.cehfk." / rotations "055303055630505330", the one
  // above it in ".qhgec.bdcb.degin." / "056603056660505630".
  HD::reset();
  HD::placeHouse(100, 60, -1, HD::hmap, false);
  EXPECT_EQ(HD::hmap[hmap_idx(100, 60)], 6.75f);
  EXPECT_EQ(HD::hmap[hmap_idx(99, 61)], 6.0f);
  EXPECT_EQ(HD::hmap[hmap_idx(97, 60)], 0.0f);
  EXPECT_EQ(HD::hmap[hmap_idx(91, 60)], 0.0f);
  EXPECT_EQ(HD::hmap[hmap_idx(92, 52)], 6.0f);  // a corner tower
  EXPECT_EQ(HD::surface[hmap_idx(100, 60)].house_piece, unsigned(HP_ROOF_CORNER));
  EXPECT_EQ(HD::surface[hmap_idx(100, 60)].house_rot, 6u);
  EXPECT_EQ(HD::surface[hmap_idx(100, 61)].house_piece, unsigned(HP_TOWER_WALL1));
  EXPECT_EQ(HD::surface[hmap_idx(100, 61)].house_rot, 6u);
  EXPECT_EQ(HD::surface[hmap_idx(98, 60)].house_piece, unsigned(HP_TOWER_WALL1));
  EXPECT_EQ(HD::surface[hmap_idx(98, 60)].house_rot, 5u);
  EXPECT_EQ(HD::surface[hmap_idx(92, 60)].house_piece, unsigned(HP_CASTLE_WALL1));  // 'j'
  EXPECT_EQ(HD::surface[hmap_idx(91, 60)].ground_type, unsigned(GT_ROCK));  // '.'
  EXPECT_EQ(HD::surface[hmap_idx(97, 60)].ground_type, unsigned(GT_ROCK));
}

TEST(PlaceHouse, BaseIsTheGroundMeanAndReplaceKeepsIt)
{
  SavedWorld saved;
  // A slope along x: the mean over the tower's vertices (x 48..52) is the height at x = 50.
  for (int z = 0; z < 256; z++)
    for (int x = 0; x < 256; x++)
      HD::target_hmap[hmap_idx(x, z)] = float(x) * 0.5f;
  HD::placeHouse(50, 60, 0, HD::target_hmap, false);
  EXPECT_EQ(HD::target_hmap[hmap_idx(48, 58)], 25.0f);
  EXPECT_EQ(HD::target_hmap[hmap_idx(50, 60)], 25.0f + 6.75f);
  EXPECT_EQ(HD::target_hmap[hmap_idx(47, 58)], 23.5f);

  // Stamping again without replace counts the house as ground and lifts it; with replace the
  // house stands where it stood.
  std::vector<float> once(HD::target_hmap, HD::target_hmap + HMAP_CELLS);
  HD::placeHouse(50, 60, 0, HD::target_hmap, true);
  for (int i = 0; i < HMAP_CELLS; i++)
    ASSERT_NEAR(HD::target_hmap[i], once[i], 1e-5f) << i;
  HD::placeHouse(50, 60, 0, HD::target_hmap, false);
  EXPECT_GT(HD::target_hmap[hmap_idx(48, 58)], 25.5f);
  // Only the given height array changes.
  for (float v : HD::hmap)
    ASSERT_EQ(v, 0.0f);
}
