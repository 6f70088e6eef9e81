// Blob shadows of objects, drawn per screen tile with NUMVEC balls an instance (8, 4, 2 or 1).
// Multiplies the bound target (cleared to white) by the sunlight each pixel keeps.
//
// Vertex: stream 0 POSITION0 the tile corner (0/1, 0/1); stream 1 POSITION1 the tile (column,
// row), TEXCOORD0.. the balls (centre, radius). vs_c[15] = (2/16, 2/9, -1, -1) maps tiles to clip
// space; vs_c[16] the screen mapping (0.5, -0.5, 0.5/width + 0.5, 0.5/height + 0.5); vs_c[17..19]
// the camera's rows scaled so that the world position is camera + depth * (x vs_c[17] +
// y vs_c[18] + vs_c[19]) for clip x, y and depth = view depth / 512.
// Pixel: s8 the view depth, s10 the normal of every pixel (D and A of gbuffer.inc); ps_c[0] the
// sun direction; ps_c[16] the camera position.
#include "sh_common.inc"
#include "gbuffer.inc"

#ifndef NUMVEC
#define NUMVEC 8
#endif

#ifdef VSH
layout(location = ATTR_POSITION) in vec2 in_corner;
layout(location = ATTR_POSITION1) in vec2 in_tile;
layout(location = ATTR_TEXCOORD0) in vec4 in_b0;
#if NUMVEC > 1
layout(location = ATTR_TEXCOORD1) in vec4 in_b1;
#endif
#if NUMVEC > 2
layout(location = ATTR_TEXCOORD2) in vec4 in_b2;
layout(location = ATTR_TEXCOORD3) in vec4 in_b3;
#endif
#if NUMVEC > 4
layout(location = ATTR_TEXCOORD4) in vec4 in_b4;
layout(location = ATTR_TEXCOORD5) in vec4 in_b5;
layout(location = ATTR_TEXCOORD6) in vec4 in_b6;
layout(location = ATTR_TEXCOORD7) in vec4 in_b7;
#endif
out vec2 v_tc;
out vec3 v_ray;
flat out vec4 v_balls[NUMVEC];

void vsh()
{
  vec2 clip = (in_tile + in_corner) * vs_c[15].xy + vs_c[15].zw;
  v_tc = clip * vs_c[16].xy + vs_c[16].zw;
  v_ray = clip.x * vs_c[17].xyz + clip.y * vs_c[18].xyz + vs_c[19].xyz;
  v_balls[0] = in_b0;
#if NUMVEC > 1
  v_balls[1] = in_b1;
#endif
#if NUMVEC > 2
  v_balls[2] = in_b2;
  v_balls[3] = in_b3;
#endif
#if NUMVEC > 4
  v_balls[4] = in_b4;
  v_balls[5] = in_b5;
  v_balls[6] = in_b6;
  v_balls[7] = in_b7;
#endif
  gl_Position = vec4(clip, 0.0, 1.0);
}
#endif

#ifdef PSH
in vec2 v_tc;
in vec3 v_ray;
flat in vec4 v_balls[NUMVEC];

void psh()
{
  vec3 p = ps_c[16].xyz + v_ray * gbuf_unpack_depth(texture(s8, v_tc).rgb);
  vec3 n = gbuf_normal(texture(s10, v_tc));
  vec3 sun = ps_c[0].xyz;
  float lit = 1.0;
  for (int i = 0; i < NUMVEC; i++)
  {
    vec3 d = v_balls[i].xyz - p;
    float r = v_balls[i].w;
    float along = dot(d, sun);  // how far towards the sun the ball's centre lies
    float off = length(d - sun * along);
    // the sphere's shadow: soft at its rim, its penumbra widening with the distance
    float pen = 0.35 * r + 0.12 * max(along, 0.0);
    float shade = 1.0 - smoothstep(r - pen, r + pen, off);
    shade *= smoothstep(-0.5 * r, 0.5 * r, along);
    shade *= smoothstep(0.9 * r, 1.4 * r, length(d));  // not on the surfaces the ball stands in for
    lit *= 1.0 - 0.8 * shade;
  }
  // surfaces facing away from the sun are in their own shade already; a low sun fades it out
  lit = lerp(1.0, lit, saturate(dot(n, sun) * 4.0 + 0.25) * saturate(sun.y * 6.0));
  oC0 = vec4(lit, lit, lit, 1.0);
}
#endif
