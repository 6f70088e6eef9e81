// The sky: one quad in front of the camera, coloured per pixel from its view direction and the
// sky registers (docs/sky.md). Drawn behind everything, with depth test and writes off.
//
// Vertex: POSITION0 float3, the quad's corner in the world. vs_c[0..3] the view-projection
// (rows), vs_c[4] the camera position.
// Pixel: ps_c[0] = (sun direction, cos 20 degrees); ps_c[1..12] the twelve sky vectors:
//   1 horizon colour               2 zenith colour minus horizon colour
//   3 gradient rate per channel: sky(s) = c1 + c2 exp(-c3 / s), s the sine of the elevation
//   4 sun colour (the direct light; tints the disc, the halo and the glow)
//   5 (disc brightness, halo brightness, horizon glow brightness)
//   6 (disc radius in degrees, halo sharpness, horizon glow height in degrees)
//   7 (sky brightness, star brightness, fade below the horizon)
//   8 fog density per channel (read by the land and water)   9, 10 free
//   11 sky at s = 0.2, 12 sky at the zenith (the engine derives both from 1..3)
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec3 in_pos;
out vec3 v_dir;

void vsh()
{
  v_dir = in_pos - vs_c[4].xyz;
  gl_Position = mul_vs_c(vec4(in_pos, 1.0), 0);
}
#endif

#ifdef PSH
in vec3 v_dir;

const float DEG = 0.017453293;

vec3 gradient(float s) { return ps_c[1].rgb + ps_c[2].rgb * exp(-ps_c[3].rgb / max(s, 1e-3)); }

float hash13(vec3 p)
{
  p = fract(p * vec3(0.1031, 0.1030, 0.0973));
  p += dot(p, p.yzx + 33.33);
  return fract((p.x + p.y) * p.z);
}

float hash12(vec2 p)
{
  vec3 q = fract(vec3(p.xyx) * 0.1031);
  q += dot(q, q.yzx + 33.33);
  return fract((q.x + q.y) * q.z);
}

// A sparse field of stars fixed to the sky: one cell in 125 of a grid on the sphere holds one.
vec3 stars(vec3 d)
{
  vec3 p = d * 240.0;
  vec3 cell = floor(p);
  float h = hash13(cell);
  if (h < 0.992)
    return vec3(0.0);
  vec3 jitter = vec3(hash13(cell + 1.7), hash13(cell + 3.1), hash13(cell + 5.3)) - 0.5;
  float dist = length(p - (cell + 0.5 + 0.5 * jitter));
  float magnitude = 0.25 + 0.75 * pow(fract(h * 137.0), 3.0);
  vec3 tint = lerp(vec3(0.72, 0.82, 1.0), vec3(1.0, 0.9, 0.75), fract(h * 71.0));
  return tint * magnitude * (1.0 - smoothstep(0.1, 0.45, dist));
}

// Colours stay as they are up to 0.8, brighter ones approach 1 smoothly instead of clipping, so
// the sun's disc and halo keep their hue.
vec3 roll_off(vec3 c)
{
  const float knee = 0.8;
  vec3 over = max(c - knee, 0.0);
  return min(c, knee) + (1.0 - knee) * (1.0 - exp(-over / (1.0 - knee)));
}

void psh()
{
  vec3 d = normalize(v_dir);
  vec3 sun = ps_c[0].xyz;
  float cos_sun = dot(d, sun);
  float s = d.y;

  // The sky dome: the gradient, the glow along the horizon on the sun's side, the stars.
  vec3 sky = gradient(s);
  float towards_sun = pow(saturate(0.5 + 0.5 * cos_sun), 3.0);
  float glow_height = max(ps_c[6].z * DEG, 1e-3);
  sky += ps_c[4].rgb * ps_c[5].z * towards_sun * exp(-abs(s) / glow_height);
  sky *= ps_c[7].x;
  sky += stars(d) * ps_c[7].y * saturate(s * 8.0);

  // The sun: a halo reaching 20 degrees over a faint wider aureole, and the disc with a soft rim
  // in front of the sky; the horizon hides them as the sun sets.
  float above = smoothstep(-0.003, 0.003, s);
  float t = saturate((cos_sun - ps_c[0].w) / (1.0 - ps_c[0].w));
  float aureole = 0.3 * pow(saturate(0.5 + 0.5 * cos_sun), 12.0);
  sky += ps_c[4].rgb * ps_c[5].y * (pow(t, max(ps_c[6].y, 1.0)) + aureole) * above;
  float radius = max(ps_c[6].x * DEG, 1e-4);
  float angle = acos(clamp(cos_sun, -1.0, 1.0));
  float disc = (1.0 - smoothstep(0.8 * radius, 1.1 * radius, angle)) * above;
  vec3 c = lerp(sky, ps_c[4].rgb * ps_c[5].x, disc);

  // Below the horizon: towards a dim haze between the horizon's and the zenith's colour.
  c = lerp(c, 0.3 * (ps_c[1].rgb + ps_c[12].rgb), ps_c[7].z * saturate(-s * 10.0));
  c = roll_off(max(c, 0.0));
  // Half a step of 8-bit noise keeps the long gradients free of bands.
  c += (hash12(gl_FragCoord.xy) - 0.5) / 255.0;
  oC0 = vec4(c, 1.0);
}
#endif
