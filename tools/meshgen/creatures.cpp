// Stones, menhirs, the mana gatherer, the bird and the wyvern. Sizes are world units (a ground
// square is 1); objects stand on y = 0 and face +z. Rock is faceted (flat triangles of a noisy
// rounded shape), creatures are smoother.
#include <algorithm>
#include <functional>

#include "house_meshes.h"

namespace
{
constexpr float PI = 3.14159265f;

using ColorFn = std::function<Rgb(V3 dir, V3 pos)>;
using ShapeFn = std::function<V3(V3 dir)>;  // a point of the surface for a unit direction

// A closed surface over the six faces of a cube, n x n cells a face. Faceted: one normal a
// triangle; smooth: the normal of the surface at each vertex (by finite differences).
void cube_surface(Builder &b, int n, const ShapeFn &shape, const ColorFn &color, bool faceted)
{
  static const V3 axes[6][3] = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                                {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                                {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}};
  for (const auto &ax : axes)
  {
    auto dir = [&](float a, float c) { return normalize(ax[0] + ax[1] * a + ax[2] * c); };
    auto point = [&](int i, int j) {
      float a = -1 + 2 * float(i) / float(n), c = -1 + 2 * float(j) / float(n);
      return dir(a, c);
    };
    for (int i = 0; i < n; i++)
      for (int j = 0; j < n; j++)
      {
        V3 d[4] = {point(i, j), point(i + 1, j), point(i + 1, j + 1), point(i, j + 1)};
        V3 p[4];
        for (int k = 0; k < 4; k++)
          p[k] = shape(d[k]);
        V3 mid = normalize(d[0] + d[1] + d[2] + d[3]);
        V3 out = shape(mid) - shape(mid * 0.5f);
        for (int tri = 0; tri < 2; tri++)
        {
          int ids[3] = {0, tri ? 2 : 1, tri ? 3 : 2};
          std::vector<Vtx> pts;
          V3 cd = normalize(d[ids[0]] + d[ids[1]] + d[ids[2]]);
          for (int id : ids)
          {
            Vtx x;
            x.p = p[id];
            x.c = pack_color(color(faceted ? cd : d[id], p[id]));
            if (!faceted)
            {
              V3 t1 = normalize(cross(d[id], V3{0.31f, 0.95f, 0.07f})), t2 = cross(d[id], t1);
              const float e = 0.01f;
              x.n = normalize(cross(shape(normalize(d[id] + t1 * e)) - p[id], shape(normalize(d[id] + t2 * e)) - p[id]));
              if (dot(x.n, d[id]) < 0)
                x.n = x.n * -1.f;
            }
            pts.push_back(x);
          }
          V3 fn = normalize(cross(pts[1].p - pts[0].p, pts[2].p - pts[0].p));
          if (dot(fn, out) < 0)
            fn = fn * -1.f;
          b.polygon(pts, fn, !faceted);
        }
      }
  }
}

// An ellipsoid with radii r about c, roughened by noise of amplitude `amp`.
ShapeFn rough_ellipsoid(V3 c, V3 r, float amp, uint32_t seed, float freq = 1.7f)
{
  return [=](V3 d) { return c + mul(d, r) * (1.f + amp * fractal_noise(d * freq + V3{3.1f, 7.7f, 1.3f}, seed, 3)); };
}

// A rounded box (superellipsoid, exponent e: small is boxy) with half sizes r about c, tapering
// by `taper` from bottom to top, roughened by noise.
ShapeFn rough_block(V3 c, V3 r, float e, float taper, float amp, uint32_t seed)
{
  return [=](V3 d) {
    auto f = [&](float v) { return std::copysign(std::pow(std::fabs(v), e), v); };
    V3 q{f(d.x), f(d.y), f(d.z)};
    float k = 1.f - taper * (q.y * 0.5f + 0.5f);
    V3 p{q.x * r.x * k, q.y * r.y, q.z * r.z * k};
    return c + p * (1.f + amp * fractal_noise(d * 2.1f + V3{5.5f, 1.1f, 9.2f}, seed, 3));
  };
}

Rgb rock_color(V3 d, V3 p, uint32_t seed, Rgb base, float moss_height)
{
  float n = fractal_noise(p * 2.3f, seed, 3);
  Rgb c = scale(base, 0.86f + 0.28f * n);
  float lichen = fractal_noise(p * 1.6f + V3{9, 9, 9}, seed + 3, 2);
  if (d.y > 0.25f && lichen > 0.15f)
    c = mix(c, Rgb{0.62f, 0.6f, 0.34f}, std::min(1.f, (lichen - 0.15f) * 3.f));
  if (p.y < moss_height)
    c = mix(c, Rgb{0.28f, 0.36f, 0.18f}, std::clamp((moss_height - p.y) / moss_height * (0.7f + 0.6f * n), 0.f, 0.8f));
  if (d.y < -0.5f)
    c = scale(c, 0.75f);
  return c;
}

// A flat plate given as a polygon, made two-sided with a little thickness; `morph` gives each
// corner's offset to the second pose.
void plate(Builder &b, std::vector<V3> pts, std::vector<V3> morph, Rgb top, Rgb bottom, float thick)
{
  V3 n = normalize(cross(pts[1] - pts[0], pts[2] - pts[0]));
  if (n.y < 0)
    n = n * -1.f;
  for (int side = 0; side < 2; side++)
  {
    std::vector<Vtx> v;
    for (size_t i = 0; i < pts.size(); i++)
    {
      Vtx x;
      x.p = pts[i] + n * (side ? -thick : thick);
      x.m = morph.empty() ? V3{} : morph[i];
      x.c = pack_color(side ? bottom : top);
      v.push_back(x);
    }
    b.polygon(v, side ? n * -1.f : n);
  }
}

// A cone (pyramid of `sides`) from the base centre a with radius r to the tip t.
void spike(Builder &b, V3 a, float r, V3 t, int sides, Rgb c)
{
  V3 axis = normalize(t - a);
  V3 s1 = normalize(cross(axis, V3{0.3f, 0.2f, 0.9f})), s2 = cross(axis, s1);
  for (int i = 0; i < sides; i++)
  {
    float a0 = 2 * PI * float(i) / float(sides), a1 = 2 * PI * float(i + 1) / float(sides);
    V3 p0 = a + (s1 * std::cos(a0) + s2 * std::sin(a0)) * r, p1 = a + (s1 * std::cos(a1) + s2 * std::sin(a1)) * r;
    Vtx x0, x1, xt;
    x0.p = p0;
    x1.p = p1;
    xt.p = t;
    x0.c = x1.c = pack_color(c);
    xt.c = pack_color(scale(c, 1.15f));
    V3 mid = normalize((p0 + p1) * 0.5f - a);
    b.polygon({x0, x1, xt}, normalize(mid + axis * 0.3f));
  }
}

// A tube along z from z0 to z1 (rings x sides), radius by z, flattened by `flat` in y.
void tube(Builder &b, float z0, float z1, int rings, int sides, const std::function<float(float)> &radius, float flat,
          const std::function<Rgb(float z, V3 dir)> &color)
{
  auto pt = [&](int i, int j, V3 &dir) {
    float z = z0 + (z1 - z0) * float(i) / float(rings);
    float a = 2 * PI * float(j) / float(sides);
    dir = V3{std::cos(a), std::sin(a), 0};
    float r = radius(z);
    return V3{dir.x * r, dir.y * r * flat, z};
  };
  for (int i = 0; i < rings; i++)
    for (int j = 0; j < sides; j++)
    {
      V3 d[4], p[4];
      p[0] = pt(i, j, d[0]);
      p[1] = pt(i + 1, j, d[1]);
      p[2] = pt(i + 1, j + 1, d[2]);
      p[3] = pt(i, j + 1, d[3]);
      std::vector<Vtx> v;
      for (int k = 0; k < 4; k++)
      {
        Vtx x;
        x.p = p[k];
        x.n = V3{d[k].x, d[k].y / flat, 0};
        x.c = pack_color(color(p[k].z, d[k]));
        v.push_back(x);
      }
      b.polygon(v, normalize(d[0] + d[2]), true);
    }
}

std::array<float, 4> sph(float x, float y, float z, float r) { return {x, y, z, r}; }
}  // namespace

std::vector<NamedMesh> build_creature_meshes()
{
  std::vector<NamedMesh> out;
  Builder b;

  // A boulder, half a unit in the ground.
  {
    const Rgb grey{0.55f, 0.54f, 0.51f};
    cube_surface(b, 5, rough_ellipsoid({0, 0.35f, 0}, {1.0f, 0.72f, 0.86f}, 0.17f, 101),
                 [&](V3 d, V3 p) { return rock_color(d, p, 101, grey, 0.25f); }, true);
    out.push_back({"stone1", pack_mesh(b, Layout::Simple, "inst_simple.sh", "inst_simple_dr.sh", {sph(0, 0.4f, 0, 0.9f)})});
  }
  // A tall standing stone, leaning a little.
  {
    b = {};
    const Rgb grey{0.5f, 0.52f, 0.53f};
    ShapeFn s = rough_block({0, 1.85f, 0}, {0.7f, 2.15f, 0.45f}, 0.3f, 0.4f, 0.16f, 111);
    cube_surface(b, 4, [&](V3 d) { V3 p = s(d); p.x += 0.08f * p.y; return p; },
                 [&](V3 d, V3 p) { return rock_color(d, p, 111, grey, 0.9f); }, true);
    out.push_back({"menhir1", pack_mesh(b, Layout::Simple, "inst_simple.sh", "inst_simple_dr.sh",
                                        {sph(0.05f, 0.6f, 0, 0.6f), sph(0.15f, 1.8f, 0, 0.5f), sph(0.25f, 3.0f, 0, 0.4f)})});
  }
  // A broad slab with a cut top and a row of glowing runes on both faces.
  {
    b = {};
    const Rgb grey{0.56f, 0.53f, 0.5f};
    ShapeFn s = rough_block({0, 1.25f, 0}, {1.05f, 1.5f, 0.34f}, 0.4f, 0.15f, 0.06f, 121);
    cube_surface(b, 6, [&](V3 d) { V3 p = s(d); if (p.y > 1.6f) p.y -= (p.y - 1.6f) * 0.45f * (p.x + 1.1f); return p; },
                 [&](V3 d, V3 p) { return rock_color(d, p, 121, grey, 0.6f); }, true);
    // runes cut into both faces: a row of glyphs of two or three strokes each, glowing
    for (float side : {-1.f, 1.f})
      for (int g = 0; g < 5; g++)
      {
        const float gx = -0.6f + 0.3f * float(g), gy = 1.3f, z = side * 0.42f;
        const int strokes = 2 + int(hash01(uint32_t(g), 7, side > 0) * 2);
        for (int k = 0; k < strokes; k++)
        {
          const float a = (hash01(uint32_t(g), uint32_t(k), 31 + (side > 0)) - 0.5f) * 2.4f;
          const V3 c{gx + (hash01(uint32_t(g), uint32_t(k), 41) - 0.5f) * 0.1f, gy + (float(k) - 1.f) * 0.06f, z};
          const V3 along{std::sin(a) * 0.11f, std::cos(a) * 0.11f, 0}, across{std::cos(a) * 0.018f, -std::sin(a) * 0.018f, 0};
          const Rgb rune{0.45f, 0.75f, 1.0f, 0.85f};
          Vtx v[4];
          const V3 q[4] = {c - along - across, c + along - across, c + along + across, c - along + across};
          for (int i = 0; i < 4; i++)
          {
            v[i].p = q[i];
            v[i].c = pack_color(rune);
          }
          b.polygon({v[0], v[1], v[2], v[3]}, {0, 0, side});
        }
      }
    out.push_back({"menhir2", pack_mesh(b, Layout::Simple, "inst_simple.sh", "inst_simple_dr.sh",
                                        {sph(-0.45f, 0.7f, 0, 0.6f), sph(0.45f, 0.7f, 0, 0.6f), sph(0, 1.9f, 0, 0.6f)})});
  }
  // The mana gatherer: a stone pedestal with a bowl, five bronze petals that open (second pose)
  // around the eye, which is a mesh of its own.
  {
    b = {};
    const Rgb stone{0.38f, 0.36f, 0.4f}, bronze{0.72f, 0.5f, 0.24f}, vein{0.4f, 0.85f, 1.0f};
    const float prof[][2] = {{0.95f, -0.2f}, {1.0f, 0.12f}, {0.78f, 0.3f}, {0.5f, 0.75f}, {0.46f, 1.1f},
                             {0.7f, 1.35f}, {0.92f, 1.5f}, {0.8f, 1.6f}, {0.3f, 1.5f}, {0.f, 1.45f}};
    const int sides = 10, np = sizeof(prof) / sizeof(prof[0]);
    for (int i = 0; i + 1 < np; i++)
      for (int j = 0; j < sides; j++)
      {
        float a0 = 2 * PI * float(j) / sides, a1 = 2 * PI * float(j + 1) / sides;
        auto p = [&](int k, float a) { return V3{prof[k][0] * std::cos(a), prof[k][1], prof[k][0] * std::sin(a)}; };
        Rgb c = scale(stone, 0.85f + 0.3f * hash01(uint32_t(i), uint32_t(j), 131));
        if (i == 5 || i == 6)
          c = mix(c, vein, 0.35f);
        Vtx v[4];
        V3 q[4] = {p(i, a0), p(i + 1, a0), p(i + 1, a1), p(i, a1)};
        for (int k = 0; k < 4; k++)
        {
          v[k].p = q[k];
          v[k].c = pack_color(c);
        }
        V3 out_dir = normalize(V3{std::cos((a0 + a1) / 2), 0.2f * (prof[i][0] - prof[i + 1][0]) * 5, std::sin((a0 + a1) / 2)});
        if (i >= 7)
          out_dir = {0, 1, 0};
        b.polygon({v[0], v[1], v[2], v[3]}, out_dir);
      }
    for (int k = 0; k < 5; k++)
    {
      float a = 2 * PI * float(k) / 5 + 0.3f;
      V3 radial{std::cos(a), 0, std::sin(a)}, side{-std::sin(a), 0, std::cos(a)};
      // closed: leaning in over the eye; open: spread out and down
      auto closed = [&](float s, float w) { return radial * (0.85f - 0.45f * s * s) + V3{0, 1.5f + 1.15f * s, 0} + side * w; };
      auto opened = [&](float s, float w) { return radial * (0.85f + 0.9f * s) + V3{0, 1.5f + 0.55f * s - 0.3f * s * s, 0} + side * w; };
      const int seg = 4;
      for (int i = 0; i < seg; i++)
      {
        float s0 = float(i) / seg, s1 = float(i + 1) / seg;
        float w0 = 0.32f * std::sin(PI * (0.15f + 0.85f * s0)), w1 = 0.32f * std::sin(PI * (0.15f + 0.85f * s1));
        std::vector<V3> pts = {closed(s0, -w0), closed(s1, -w1), closed(s1, w1), closed(s0, w0)};
        std::vector<V3> mo = {opened(s0, -w0) - pts[0], opened(s1, -w1) - pts[1], opened(s1, w1) - pts[2],
                              opened(s0, w0) - pts[3]};
        Rgb c = i == seg - 1 ? Rgb{0.55f, 0.7f, 0.65f, 0.5f} : bronze;
        plate(b, pts, mo, c, scale(bronze, 0.7f), 0.02f);
      }
    }
    out.push_back({"gatherer_body", pack_mesh(b, Layout::Morph, "inst_morph.sh", "inst_morph_dr.sh",
                                              {sph(0, 0.6f, 0, 0.85f), sph(0, 1.9f, 0, 0.75f)})});
  }
  // The gatherer's eye: a glowing orb with a dark pupil looking along +z.
  {
    b = {};
    cube_surface(b, 6, rough_ellipsoid({0, 0, 0}, {0.32f, 0.32f, 0.32f}, 0.f, 0),
                 [](V3 d, V3) {
                   if (d.z > 0.9f)
                     return Rgb{0.05f, 0.08f, 0.15f};
                   if (d.z > 0.7f)
                     return Rgb{0.2f, 0.55f, 1.0f, 0.9f};
                   return Rgb{0.75f, 0.95f, 1.0f, 0.9f};
                 },
                 false);
    out.push_back({"gatherer_eye", pack_mesh(b, Layout::Simple, "inst_simple.sh", "inst_simple_dr.sh", {sph(0, 0, 0, 0.32f)})});
  }
  // A bird the size of a raven, wings spread; the second pose folds them down (a flap).
  {
    b = {};
    const Rgb back{0.32f, 0.24f, 0.17f}, belly{0.74f, 0.66f, 0.52f}, tip{0.12f, 0.1f, 0.09f};
    cube_surface(b, 4, rough_ellipsoid({0, 0, 0}, {0.16f, 0.14f, 0.38f}, 0.03f, 141),
                 [&](V3 d, V3) { return d.y < -0.25f ? belly : back; }, false);
    cube_surface(b, 3, rough_ellipsoid({0, 0.08f, 0.36f}, {0.11f, 0.11f, 0.13f}, 0.f, 0),
                 [&](V3 d, V3) { return d.z > 0.5f && std::fabs(d.x) > 0.5f && d.y > 0 ? tip : back; }, false);
    spike(b, {0, 0.06f, 0.46f}, 0.04f, {0, 0.03f, 0.62f}, 4, {0.85f, 0.6f, 0.2f});
    plate(b, {{-0.06f, 0.02f, -0.3f}, {0.06f, 0.02f, -0.3f}, {0.17f, 0.03f, -0.58f}, {-0.17f, 0.03f, -0.58f}}, {}, back,
          scale(back, 0.7f), 0.01f);
    for (float sx : {-1.f, 1.f})
    {
      auto P = [&](float x, float y, float z) { return V3{sx * x, y, z}; };
      auto down = [&](V3 p, float k) { float x = std::fabs(p.x); return V3{-sx * 0.25f * x * k, -(x - 0.1f) * k, 0}; };
      std::vector<V3> inner = {P(0.1f, 0.05f, 0.16f), P(0.55f, 0.09f, 0.13f), P(0.55f, 0.06f, -0.28f), P(0.1f, 0.04f, -0.2f)};
      std::vector<V3> outer = {P(0.55f, 0.09f, 0.13f), P(1.0f, 0.06f, -0.1f), P(0.85f, 0.05f, -0.32f), P(0.55f, 0.06f, -0.28f)};
      std::vector<V3> mi, mo;
      for (V3 p : inner)
        mi.push_back(down(p, 0.55f));
      for (V3 p : outer)
        mo.push_back(down(p, 0.55f) + V3{0, -(std::fabs(p.x) - 0.55f) * 0.6f, 0});
      plate(b, inner, mi, back, belly, 0.012f);
      plate(b, outer, mo, tip, scale(tip, 1.4f), 0.01f);
    }
    out.push_back({"bird_body", pack_mesh(b, Layout::Morph, "inst_morph.sh", "inst_morph_dr.sh",
                                          {sph(0, 0, 0, 0.3f), sph(-0.6f, 0.05f, -0.05f, 0.25f), sph(0.6f, 0.05f, -0.05f, 0.25f)})});
  }
  // The wyvern's body along a curve: z runs from 0 at the tail's root to 1 at the neck; x and y
  // are the cross section and the wings in world units.
  {
    b = {};
    const Rgb scales{0.36f, 0.42f, 0.3f}, belly{0.68f, 0.62f, 0.45f}, membrane{0.5f, 0.22f, 0.18f};
    tube(b, 0, 1, 16, 10, [](float z) { return 0.22f + 0.34f * std::pow(std::sin(PI * (0.1f + 0.8f * z)), 0.8f); }, 0.85f,
         [&](float z, V3 d) { return d.y < -0.3f ? belly : scale(scales, 0.85f + 0.3f * hash01(uint32_t(z * 16), 151)); });
    for (int i = 1; i < 9; i++)
    {
      float z = 0.1f * float(i);
      float r = (0.22f + 0.34f * std::pow(std::sin(PI * (0.1f + 0.8f * z)), 0.8f)) * 0.85f;
      spike(b, {0, r - 0.03f, z}, 0.05f, {0, r + 0.22f, z - 0.06f}, 4, {0.8f, 0.76f, 0.6f});
    }
    for (float sx : {-1.f, 1.f})
    {
      auto P = [&](float x, float y, float z) { return V3{sx * x, y, z}; };
      plate(b, {P(0.3f, 0.15f, 0.62f), P(1.6f, 0.5f, 0.72f), P(1.2f, 0.25f, 0.42f), P(0.3f, 0.1f, 0.35f)}, {}, membrane,
            scale(membrane, 0.8f), 0.015f);
      plate(b, {P(1.6f, 0.5f, 0.72f), P(3.1f, 0.15f, 0.55f), P(2.3f, 0.1f, 0.38f), P(1.2f, 0.25f, 0.42f)}, {}, membrane,
            scale(membrane, 0.8f), 0.015f);
      spike(b, P(0.3f, 0.15f, 0.62f), 0.05f, P(1.6f, 0.5f, 0.72f), 4, {0.3f, 0.2f, 0.16f});
      spike(b, P(1.6f, 0.5f, 0.72f), 0.04f, P(3.1f, 0.15f, 0.55f), 4, {0.3f, 0.2f, 0.16f});
    }
    out.push_back({"wyvern_body", pack_mesh(b, Layout::Spline, "inst_spline.sh", "inst_spline_dr.sh",
                                            {sph(0, 0, 0.25f, 0.45f), sph(0, 0, 0.5f, 0.6f), sph(0, 0, 0.75f, 0.45f)})});
  }
  // The wyvern's head, looking along +z, horns swept back.
  {
    b = {};
    const Rgb scales{0.36f, 0.42f, 0.3f}, horn{0.85f, 0.8f, 0.66f};
    auto sc = [&](V3 d, V3 p) { return d.y < -0.4f ? Rgb{0.62f, 0.56f, 0.42f} : scale(scales, 0.85f + 0.3f * value_noise(p * 6.f, 161)); };
    cube_surface(b, 4, rough_ellipsoid({0, 0.1f, 0}, {0.3f, 0.28f, 0.38f}, 0.05f, 161), sc, true);
    cube_surface(b, 4, rough_ellipsoid({0, 0.02f, 0.42f}, {0.19f, 0.15f, 0.34f}, 0.04f, 162), sc, true);
    cube_surface(b, 3, rough_ellipsoid({0, -0.13f, 0.34f}, {0.16f, 0.08f, 0.34f}, 0.03f, 163), sc, true);
    for (float sx : {-1.f, 1.f})
    {
      spike(b, {sx * 0.16f, 0.3f, -0.1f}, 0.07f, {sx * 0.34f, 0.55f, -0.72f}, 5, horn);
      cube_surface(b, 2, rough_ellipsoid({sx * 0.2f, 0.2f, 0.22f}, {0.06f, 0.06f, 0.06f}, 0.f, 0),
                   [](V3, V3) { return Rgb{1.0f, 0.82f, 0.2f, 0.6f}; }, false);
    }
    out.push_back({"wyvern_head", pack_mesh(b, Layout::Simple, "inst_simple.sh", "inst_simple_dr.sh", {sph(0, 0.05f, 0.2f, 0.45f)})});
  }
  // The wyvern's tail, reaching back along -z to a spade.
  {
    b = {};
    const Rgb scales{0.36f, 0.42f, 0.3f}, belly{0.68f, 0.62f, 0.45f};
    tube(b, -2.4f, 0, 12, 8, [](float z) { return 0.05f + 0.25f * (z + 2.4f) / 2.4f; }, 0.85f,
         [&](float z, V3 d) { return d.y < -0.3f ? belly : scale(scales, 0.85f + 0.3f * hash01(uint32_t(-z * 5), 171)); });
    plate(b, {{0, 0.0f, -2.3f}, {0.32f, 0, -2.6f}, {0, 0, -3.0f}, {-0.32f, 0, -2.6f}}, {}, {0.45f, 0.2f, 0.16f},
          {0.35f, 0.16f, 0.13f}, 0.02f);
    for (int i = 0; i < 5; i++)
    {
      float z = -0.3f - 0.42f * float(i), r = (0.05f + 0.25f * (z + 2.4f) / 2.4f) * 0.85f;
      spike(b, {0, r - 0.02f, z}, 0.04f, {0, r + 0.14f, z - 0.08f}, 4, {0.8f, 0.76f, 0.6f});
    }
    out.push_back({"wyvern_tail", pack_mesh(b, Layout::Simple, "inst_simple.sh", "inst_simple_dr.sh",
                                            {sph(0, 0, -0.7f, 0.3f), sph(0, 0, -1.7f, 0.22f)})});
  }
  return out;
}
