// The house and castle pieces. Each piece covers one ground square, modelled in the unit square
// (u along x, v along z) with its low, outer side at v = 0 (and at u = 0 for corners). Heights are
// not modelled: every vertex names two points of the square whose ground heights it blends (A to
// B by t) and adds its own y offset, so a piece stands on whatever corner heights its square has
// (docs/meshes.md). Walls are coursed stone over dark mortar, tops are flagged, roofs tiled.
#include <algorithm>

#include "house_meshes.h"

namespace
{
enum class Top
{
  Wall,    // the high side is v = 1: tops take the height at (u, 1)
  Corner,  // the high corner is (1, 1)
};

const Rgb STONE{0.74f, 0.69f, 0.6f};
const Rgb STONE_DARK{0.58f, 0.54f, 0.48f};
const Rgb MORTAR{0.42f, 0.39f, 0.35f};
const Rgb MOSS{0.33f, 0.42f, 0.20f};
const Rgb ROOF{0.58f, 0.24f, 0.16f};
const Rgb ROOF_RIDGE{0.36f, 0.16f, 0.12f};
const Rgb WINDOW{0.07f, 0.06f, 0.06f};

void top_point(Top top, float u, float v, float &su, float &sv)
{
  su = top == Top::Wall ? std::clamp(u, 0.f, 1.f) : 1.f;
  sv = 1.f;
  (void)v;
}

// A vertex at (u, v) whose height blends from the ground at (au, av) to the top of the piece.
Vtx piece_vtx(float u, float v, float y, float au, float av, Top top, float t, Rgb c)
{
  Vtx x;
  x.p = {u, y, v};
  x.s[0] = std::clamp(au, 0.f, 1.f);
  x.s[1] = std::clamp(av, 0.f, 1.f);
  top_point(top, au, av, x.s[2], x.s[3]);
  x.t = t;
  x.c = pack_color(c);
  return x;
}

// A vertex resting on the top of the piece (or `own`: on the ground at its own place).
Vtx top_vtx(float u, float v, float y, Top top, Rgb c, bool own = false)
{
  Vtx x = piece_vtx(u, v, y, u, v, top, own ? 0.f : 1.f, c);
  if (own)
  {
    x.s[2] = x.s[0];
    x.s[3] = x.s[1];
  }
  return x;
}

Rgb vary(Rgb base, uint32_t seed, uint32_t a, uint32_t b)
{
  float k = 0.84f + 0.3f * hash01(seed, a, b);
  float warm = (hash01(seed + 1, a, b) - 0.5f) * 0.08f;
  return {base.r * k + warm, base.g * k, base.b * k - warm};
}

// Coursed stone on the vertical face over the ground edge (u0, v0)-(u1, v1), outward (nu, nv),
// from blend t0 to t1 of the way from the ground to the top. Blocks are staggered course by
// course and stand out of the mortar by a little each; the lowest course is a plinth.
void stone_face(Builder &b, float u0, float v0, float u1, float v1, float nu, float nv, Top top, float t0,
                float t1, int courses, int blocks, Rgb base, uint32_t seed, float moss = 0.f)
{
  const V3 n{nu, 0, nv};
  auto at = [&](float s, float t, float out, Rgb c) {
    float gu = u0 + (u1 - u0) * s, gv = v0 + (v1 - v0) * s;
    return piece_vtx(gu + nu * out, gv + nv * out, 0.f, gu, gv, top, t, c);
  };
  b.polygon({at(0, t0, 0, MORTAR), at(1, t0, 0, MORTAR), at(1, t1, 0, MORTAR), at(0, t1, 0, MORTAR)}, n);
  for (int k = 0; k < courses; k++)
  {
    float ta = t0 + (t1 - t0) * float(k) / float(courses), tb = t0 + (t1 - t0) * float(k + 1) / float(courses);
    float mt = (tb - ta) * 0.05f;
    float shift = (k & 1) ? 0.5f / float(blocks) : 0.f;
    for (int j = -1; j < blocks; j++)
    {
      float sa = std::max(0.f, float(j) / float(blocks) + shift), sb = std::min(1.f, float(j + 1) / float(blocks) + shift);
      if (sb - sa < 0.02f)
        continue;
      float ms = 0.008f;
      float out = (k == 0 ? 0.07f : 0.025f) + 0.02f * hash01(seed, uint32_t(k), uint32_t(j + 7));
      Rgb c = vary(k == 0 ? STONE_DARK : base, seed, uint32_t(k), uint32_t(j + 7));
      if (moss > 0)
        c = mix(c, MOSS, std::clamp(moss * (1.f - 2.f * float(k) / float(courses)) * hash01(seed + 9, uint32_t(k), uint32_t(j)), 0.f, 0.6f));
      b.polygon({at(sa + (sa > 0 ? ms : 0), ta + (k ? mt : 0), out, c), at(sb - (sb < 1 ? ms : 0), ta + (k ? mt : 0), out, c),
                 at(sb - (sb < 1 ? ms : 0), tb - mt, out, c), at(sa + (sa > 0 ? ms : 0), tb - mt, out, c)},
                n);
    }
  }
}

// An opening in the face at v = 0: a dark recess from s0 to s1 along u, t0 to t1 up, with a lighter
// lintel stone over it.
void window(Builder &b, float s0, float s1, float t0, float t1, Top top)
{
  const V3 n{0, 0, -1};
  auto at = [&](float u, float t, float out, Rgb c) { return piece_vtx(u, -out, 0.f, u, 0.f, top, t, c); };
  b.polygon({at(s0, t0, 0.05f, WINDOW), at(s1, t0, 0.05f, WINDOW), at(s1, t1, 0.05f, WINDOW), at(s0, t1, 0.05f, WINDOW)}, n);
  float l = (t1 - t0) * 0.18f;
  Rgb c = scale(STONE, 1.12f);
  b.polygon({at(s0 - 0.04f, t1, 0.07f, c), at(s1 + 0.04f, t1, 0.07f, c), at(s1 + 0.04f, t1 + l, 0.07f, c),
             at(s0 - 0.04f, t1 + l, 0.07f, c)},
            n);
}

// A box standing on the top of the piece: footprint [u0, u1] x [v0, v1], from y0 to y1 above it.
void top_box(Builder &b, float u0, float u1, float v0, float v1, float y0, float y1, Top top, Rgb c)
{
  auto p = [&](float u, float v, float y, Rgb k) { return top_vtx(u, v, y, top, k); };
  Rgb side = scale(c, 0.92f);
  b.polygon({p(u0, v0, y1, c), p(u1, v0, y1, c), p(u1, v1, y1, c), p(u0, v1, y1, c)}, {0, 1, 0});
  b.polygon({p(u0, v0, y0, side), p(u1, v0, y0, side), p(u1, v0, y1, side), p(u0, v0, y1, side)}, {0, 0, -1});
  b.polygon({p(u0, v1, y0, side), p(u1, v1, y0, side), p(u1, v1, y1, side), p(u0, v1, y1, side)}, {0, 0, 1});
  b.polygon({p(u0, v0, y0, side), p(u0, v1, y0, side), p(u0, v1, y1, side), p(u0, v0, y1, side)}, {-1, 0, 0});
  b.polygon({p(u1, v0, y0, side), p(u1, v1, y0, side), p(u1, v1, y1, side), p(u1, v0, y1, side)}, {1, 0, 0});
}

// Flagstones over the square at the top of the piece (or on its own ground), with a skirt
// below the edges so that no seam shows between neighbours.
void flagged_top(Builder &b, Top top, bool own, uint32_t seed, int n, Rgb base)
{
  auto p = [&](float u, float v, float y, Rgb c) { return top_vtx(u, v, y, top, c, own); };
  b.polygon({p(0, 0, 0, MORTAR), p(1, 0, 0, MORTAR), p(1, 1, 0, MORTAR), p(0, 1, 0, MORTAR)}, {0, 1, 0});
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
    {
      float u0 = float(i) / float(n) + 0.015f, u1 = float(i + 1) / float(n) - 0.015f;
      float v0 = float(j) / float(n) + 0.015f, v1 = float(j + 1) / float(n) - 0.015f;
      float y = 0.02f + 0.03f * hash01(seed, uint32_t(i), uint32_t(j));
      Rgb c = vary(base, seed, uint32_t(i), uint32_t(j));
      b.polygon({p(u0, v0, y, c), p(u1, v0, y, c), p(u1, v1, y, c), p(u0, v1, y, c)}, {0, 1, 0});
    }
  Rgb s = scale(base, 0.8f);
  b.polygon({p(0, 0, -0.6f, s), p(1, 0, -0.6f, s), p(1, 0, 0, s), p(0, 0, 0, s)}, {0, 0, -1});
  b.polygon({p(0, 1, -0.6f, s), p(1, 1, -0.6f, s), p(1, 1, 0, s), p(0, 1, 0, s)}, {0, 0, 1});
  b.polygon({p(0, 0, -0.6f, s), p(0, 1, -0.6f, s), p(0, 1, 0, s), p(0, 0, 0, s)}, {-1, 0, 0});
  b.polygon({p(1, 0, -0.6f, s), p(1, 1, -0.6f, s), p(1, 1, 0, s), p(1, 0, 0, s)}, {1, 0, 0});
}

// A solid block from the ground to the top of the piece: coursed faces on the outer sides, plain
// ends, a flagged top.
void block(Builder &b, Top top, uint32_t seed, Rgb base, float moss)
{
  stone_face(b, 0, 0, 1, 0, 0, -1, top, 0, 1, 7, 4, base, seed, moss);
  if (top == Top::Corner)
    stone_face(b, 0, 1, 0, 0, -1, 0, top, 0, 1, 7, 4, base, seed + 5, moss);
  else
    stone_face(b, 0, 1, 0, 0, -1, 0, top, 0, 1, 7, 2, base, seed + 5, 0);
  stone_face(b, 1, 0, 1, 1, 1, 0, top, 0, 1, 7, 2, base, seed + 6, 0);
  if (top == Top::Corner)
    stone_face(b, 1, 1, 0, 1, 0, 1, top, 0, 1, 7, 2, base, seed + 8, 0);
  flagged_top(b, top, false, seed + 11, 2, STONE_DARK);
}

// Merlons along the outer edge (and the left edge for corners).
void parapet(Builder &b, Top top)
{
  for (float u0 : {0.06f, 0.56f})
    top_box(b, u0, u0 + 0.34f, -0.06f, 0.2f, -0.05f, 0.85f, top, STONE);
  if (top == Top::Corner)
    top_box(b, -0.06f, 0.2f, 0.56f, 0.9f, -0.05f, 0.85f, top, STONE);
}

// A quarter of a pyramid roof: low at u = 0 and v = 0, rising by `rise` to the corner (1, 1),
// eaves hanging out past the low edges, a ridge along the diagonal and a finial at the top.
void roof_corner(Builder &b, uint32_t seed)
{
  const float rise = 2.6f, eave = 0.16f;
  const int n = 6;
  auto h = [&](float u, float v) { return rise * std::min(u, v); };
  auto p = [&](float u, float v, float y, Rgb c) {
    Vtx x = top_vtx(u, v, y, Top::Wall, c, true);
    return x;
  };
  auto cell = [&](float u0, float v0, float u1, float v1, int course, int tile) {
    Rgb c = vary(course & 1 ? scale(ROOF, 0.9f) : ROOF, seed, uint32_t(course), uint32_t(tile));
    // split along the diagonal where the cell crosses it, so the ridge stays straight
    Vtx a = p(u0, v0, h(u0, v0), c), bb = p(u1, v0, h(u1, v0), c), cc = p(u1, v1, h(u1, v1), c),
        d = p(u0, v1, h(u0, v1), c);
    for (auto t : {std::array<Vtx, 3>{a, bb, cc}, std::array<Vtx, 3>{a, cc, d}})
    {
      V3 nn = normalize(cross(t[1].p - t[0].p, t[2].p - t[0].p));
      if (nn.y < 0)
        nn = nn * -1.f;
      b.polygon({t[0], t[1], t[2]}, nn);
    }
  };
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++)
    {
      float u0 = float(i) / n, u1 = float(i + 1) / n, v0 = float(j) / n, v1 = float(j + 1) / n;
      cell(u0, v0, u1, v1, std::min(i, j), i + j);
    }
  // eaves: the two outer strips continued down past the edges
  for (int i = 0; i < n; i++)
  {
    float a = float(i) / n, c = float(i + 1) / n;
    cell(a, -eave, c, 0, -1, i);
    cell(-eave, a, 0, c, -1, i + 9);
  }
  cell(-eave, -eave, 0, 0, -1, 20);
  // ridge: a raised strip along the diagonal
  for (int i = 0; i < n; i++)
  {
    float a = float(i) / n, c = float(i + 1) / n, w = 0.05f;
    Rgb k = vary(ROOF_RIDGE, seed + 3, uint32_t(i), 0);
    b.polygon({p(a - w, a + w, h(a, a) + 0.08f, k), p(a + w, a - w, h(a, a) + 0.08f, k), p(c + w, c - w, h(c, c) + 0.08f, k),
               p(c - w, c + w, h(c, c) + 0.08f, k)},
              {0, 1, 0});
  }
  // finial
  Rgb f = ROOF_RIDGE;
  float top = rise + 0.9f, w = 0.06f;
  auto fp = [&](float u, float v, float y) { return p(u, v, y, f); };
  b.polygon({fp(1 - w, 1 - w, rise), fp(1 + w, 1 - w, rise), fp(1, 1, top)}, {0, 0.2f, -1});
  b.polygon({fp(1 - w, 1 - w, rise), fp(1 - w, 1 + w, rise), fp(1, 1, top)}, {-1, 0.2f, 0});
  b.polygon({fp(1 + w, 1 + w, rise), fp(1 + w, 1 - w, rise), fp(1, 1, top)}, {1, 0.2f, 0});
  b.polygon({fp(1 + w, 1 + w, rise), fp(1 - w, 1 + w, rise), fp(1, 1, top)}, {0, 0.2f, 1});
}

MeshFile finish(const Builder &b)
{
  return pack_mesh(b, Layout::Building, "inst_building.sh", "inst_building_dr.sh", {{0.5f, 0.5f, 0.5f, 0.55f}});
}
}  // namespace

std::vector<NamedMesh> build_house_meshes()
{
  std::vector<NamedMesh> out;
  auto add = [&](const char *name, Builder b) { out.push_back({name, finish(b)}); };
  Builder b;

  // a: the tower roofs, four of them to a tower
  b = {};
  roof_corner(b, 11);
  add("roof_corner", b);
  // b: tower corners, with merlons on both outer edges and a buttressed foot
  b = {};
  block(b, Top::Corner, 21, STONE, 0.5f);
  parapet(b, Top::Corner);
  add("tower_corner", b);
  // c, d: tower walls, one with a window, one with an arrow slit
  b = {};
  block(b, Top::Wall, 31, STONE, 0.4f);
  parapet(b, Top::Wall);
  window(b, 0.36f, 0.64f, 0.55f, 0.78f, Top::Wall);
  add("tower_wall1", b);
  b = {};
  block(b, Top::Wall, 41, STONE, 0.4f);
  parapet(b, Top::Wall);
  window(b, 0.46f, 0.54f, 0.45f, 0.75f, Top::Wall);
  add("tower_wall2", b);
  // e: the wall walk
  b = {};
  flagged_top(b, Top::Wall, true, 51, 3, STONE_DARK);
  add("castle_walk", b);
  // f: a merlon's top, capped with a wider stone
  b = {};
  flagged_top(b, Top::Wall, true, 61, 2, STONE);
  {
    auto p = [&](float u, float v, float y, Rgb c) { return top_vtx(u, v, y, Top::Wall, c, true); };
    Rgb c = scale(STONE, 1.1f), s = scale(STONE, 0.95f);
    const float o = 0.05f, y = 0.16f;
    b.polygon({p(-o, -o, y, c), p(1 + o, -o, y, c), p(1 + o, 1 + o, y, c), p(-o, 1 + o, y, c)}, {0, 1, 0});
    b.polygon({p(-o, -o, 0, s), p(1 + o, -o, 0, s), p(1 + o, -o, y, s), p(-o, -o, y, s)}, {0, 0, -1});
    b.polygon({p(-o, 1 + o, 0, s), p(1 + o, 1 + o, 0, s), p(1 + o, 1 + o, y, s), p(-o, 1 + o, y, s)}, {0, 0, 1});
    b.polygon({p(-o, -o, 0, s), p(-o, 1 + o, 0, s), p(-o, 1 + o, y, s), p(-o, -o, y, s)}, {-1, 0, 0});
    b.polygon({p(1 + o, -o, 0, s), p(1 + o, 1 + o, 0, s), p(1 + o, 1 + o, y, s), p(1 + o, -o, y, s)}, {1, 0, 0});
  }
  add("merlon_top", b);
  // g, h, i: the sides of merlons: a corner and two walls
  b = {};
  block(b, Top::Corner, 71, STONE, 0);
  add("merlon_corner", b);
  b = {};
  block(b, Top::Wall, 81, STONE, 0);
  add("merlon_wall1", b);
  b = {};
  block(b, Top::Wall, 91, scale(STONE, 0.96f), 0);
  add("merlon_wall2", b);
  // j..m: curtain walls (high and low), n..q: where their top changes height
  const char *walls[8] = {"castle_wall1", "castle_wall2", "castle_wall3", "castle_wall4",
                          "castle_slant1", "castle_slant2", "castle_slant3", "castle_slant4"};
  for (int i = 0; i < 8; i++)
  {
    b = {};
    block(b, Top::Wall, 101 + uint32_t(i) * 10, i & 1 ? scale(STONE, 0.95f) : STONE, 0.6f + 0.1f * float(i & 2));
    if (i == 1)  // a buttress
    {
      stone_face(b, 0.38f, -0.12f, 0.62f, -0.12f, 0, -1, Top::Wall, 0, 0.7f, 4, 1, STONE_DARK, 7);
      stone_face(b, 0.38f, 0, 0.38f, -0.12f, -1, 0, Top::Wall, 0, 0.7f, 4, 1, STONE_DARK, 8);
      stone_face(b, 0.62f, -0.12f, 0.62f, 0, 1, 0, Top::Wall, 0, 0.7f, 4, 1, STONE_DARK, 9);
    }
    if (i == 2)
      window(b, 0.47f, 0.53f, 0.35f, 0.7f, Top::Wall);
    add(walls[i], b);
  }
  // r, s: where towers meet the curtain walls
  b = {};
  block(b, Top::Wall, 201, STONE, 0.5f);
  add("castle_corner1", b);
  b = {};
  block(b, Top::Corner, 211, STONE, 0.5f);
  add("castle_corner2", b);
  return out;
}
