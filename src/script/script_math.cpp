// "vec4f", vector and colour functions, and the random and wrap functions on `game_rnd_seed`.
#include "script/script_math.h"

#include <cmath>

#include "platform/timer.h"
#include "script/sq_vec4f.h"
#include "support/color.h"
#include "terrain/game_rnd.h"

namespace
{
constexpr float two_pi = 6.28318531f;

// "vec4f"(x, y, z, w) or "vec4f"(x): with exactly four arguments the four values, otherwise x
// in every component. The first argument is always required.
vec4f make4f_args(HSQUIRRELVM v, float x)
{
  if (sq_gettop(v) != 5)
    return v_splats(x);
  using A = sqbind::SqArg<float>;
  return v_make(x, A::get(v, 3), A::get(v, 4), A::get(v, 5));
}

void vec4f_ctor(HSQUIRRELVM v, float x)
{
  SqVec4f *p = new SqVec4f{make4f_args(v, x)};
  try
  {
    sqbind::init_instance(p, v, &sqbind::SqClassInfo<SqVec4f>::release);
  }
  catch (const sqbind::SquirrelError &)
  {
    delete p;
    throw;
  }
}

vec4f make4f(HSQUIRRELVM v, float x) { return make4f_args(v, x); }
vec4f cross(vec4f a, vec4f b) { return v_cross3(a, b); }
vec4f dot3(vec4f a, vec4f b) { return v_dot3(a, b); }
vec4f len3Sq(vec4f a) { return v_length3_sq(a); }
vec4f len3(vec4f a) { return v_length3(a); }
vec4f norm3(vec4f a)
{
  vec4f l = v_length3(a);
  return v_extract_x(l) == 0.0f ? v_zero() : a / l;
}
vec4f norm3a(vec4f a) { return a * v_rsqrt_est(v_length3_sq(a)); }
float getx(vec4f a) { return v_extract_x(a); }
float gety(vec4f a) { return v_extract_y(a); }
float getz(vec4f a) { return v_extract_z(a); }
vec4f make_dir_2d(vec4f u, vec4f v, float t)
{
  float a = two_pi * t;
  return u * cosf(a) + v * sinf(a);
}
vec4f make_dir_xz(float t)
{
  float a = two_pi * t;
  return v_make(cosf(a), 0.0f, sinf(a), 0.0f);
}

vec4f lerpcolor(ColorValue a, ColorValue b, float t) { return a.v + (b.v - a.v) * t; }
vec4f mix3colors(ColorValue c1, float w1, ColorValue c2, float w2, ColorValue c3, float w3)
{
  return c1.v * w1 + c2.v * w2 + c3.v * w3;
}
vec4f mix4colors(ColorValue c1, float w1, ColorValue c2, float w2, ColorValue c3, float w3, ColorValue c4, float w4)
{
  return c1.v * w1 + c2.v * w2 + c3.v * w3 + c4.v * w4;
}
vec4f script_hsv2rgba(float h, float s, float v, float a) { return hsv2rgba(h, s, v, a); }
vec4f script_lch2rgba(float L, float C, float h, float a) { return lch2rgba(L, C, h, a); }

// r / 2^32 of the next draw in extended precision; each function rounds its whole expression
// to float once.
long double draw_unit() { return (long double)game_rnd() * 0x1p-32L; }

SQInteger irnd() { return SQInteger(game_rnd() & 0x7FFFFFFFu); }
SQInteger hmrnd() { return SQInteger(game_rnd() & 0xFFu); }
float frnd() { return float(draw_unit()); }
float srnd() { return float(draw_unit() * 2 - 1); }
float hmfrnd() { return float(draw_unit() * 256); }
float hmsrnd() { return float((draw_unit() * 2 - 1) * 128); }
float rndf(float a, float b) { return float(a + draw_unit() * ((long double)b - a)); }
void set_rnd_seed(SQInteger n) { game_rnd_seed = uint64_t(n); }
void randomize_rnd_seed() { game_rnd_seed = uint64_t(get_ref_time()); }
float wrap(float x)
{
  float q = x / 256.0f;
  q = (q - std::trunc(q)) * 256.0f;
  if (q > 128.0f)
    q -= 256.0f;
  else if (q <= -128.0f)
    q += 256.0f;
  return q;
}
}  // namespace

void register_script_math(HSQUIRRELVM v)
{
  using namespace sqbind;
  SqObject root = root_table(v);
  SqObject cls = create_class(v, "vec4f", nullptr, tag_of<SqVec4f>());
  bind_ctor(cls, &vec4f_ctor);
  bind_method(cls, "_get", &SqVec4f::_get);
  bind_method(cls, "_set", &SqVec4f::_set);
  bind_method(cls, "_add", &SqVec4f::_add);
  bind_method(cls, "_sub", &SqVec4f::_sub);
  bind_method(cls, "_mul", &SqVec4f::_mul);
  bind_method(cls, "_div", &SqVec4f::_div);
  bind_method(cls, "_unm", &SqVec4f::_unm);

  bind_function(v, root, "make4f", &make4f);
  bind_function(v, root, "cross", &cross);
  bind_function(v, root, "dot3", &dot3);
  bind_function(v, root, "len3Sq", &len3Sq);
  bind_function(v, root, "len3", &len3);
  bind_function(v, root, "norm3", &norm3);
  bind_function(v, root, "norm3a", &norm3a);
  bind_function(v, root, "getx", &getx);
  bind_function(v, root, "gety", &gety);
  bind_function(v, root, "getz", &getz);
  bind_function(v, root, "make_dir_2d", &make_dir_2d);
  bind_function(v, root, "make_dir_xz", &make_dir_xz);

  bind_function(v, root, "lerpcolor", &lerpcolor);
  bind_function(v, root, "mix3colors", &mix3colors);
  bind_function(v, root, "mix4colors", &mix4colors);
  bind_function(v, root, "hsv2rgba", &script_hsv2rgba);
  bind_function(v, root, "lch2rgba", &script_lch2rgba);

  bind_function(v, root, "irnd", &irnd);
  bind_function(v, root, "hmrnd", &hmrnd);
  bind_function(v, root, "frnd", &frnd);
  bind_function(v, root, "srnd", &srnd);
  bind_function(v, root, "hmfrnd", &hmfrnd);
  bind_function(v, root, "hmsrnd", &hmsrnd);
  bind_function(v, root, "rndf", &rndf);
  bind_function(v, root, "set_rnd_seed", &set_rnd_seed);
  bind_function(v, root, "randomize_rnd_seed", &randomize_rnd_seed);
  bind_function(v, root, "wrap", &wrap);
}
