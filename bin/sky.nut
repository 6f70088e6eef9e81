// The sky's colours for the sun's position. The engine calls get_sky_colors(angle) with the
// sun's angle from the zenith in degrees (0 overhead, 90 on the horizon, 180 straight down) and
// blends the answers between simulation steps. The answer is ten triples, in this order (see
// sky.sh and docs/sky.md):
//   0 horizon colour (the fog colour of the land too)
//   1 zenith colour minus horizon colour, 2 gradient rate per channel:
//       sky(s) = [0] + [1] * exp(-[2] / s) for a view direction at sine s above the horizon
//   3 sun colour: the direct light on the land; tints the disc, the halo and the glow
//   4 (disc brightness, halo brightness, horizon glow brightness)
//   5 (disc radius in degrees, halo sharpness, horizon glow height in degrees)
//   6 (sky brightness, star brightness, fade below the horizon)
//   7 fog density per channel, in thousandths per world unit
//   8, 9 free (zeros)
// The look is a table of keys over the sun's elevation; between two keys every value eases
// from one to the other.

local keys = [
  // elevation, horizon, zenith, rate, sun colour, (disc, halo, glow), (radius, sharpness, glow height),
  // (brightness, stars, below), fog
  { e = -90, horizon = [0.070, 0.095, 0.180], zenith = [0.022, 0.042, 0.110], rate = [0.30, 0.30, 0.30],
    sun = [0.00, 0.00, 0.00], sun_look = [0.0, 0.0, 0.0], sun_shape = [1.2, 8.0, 12.0],
    sky_look = [1.0, 1.00, 0.55], fog = [1.6, 1.7, 2.0] },
  { e = -16, horizon = [0.075, 0.100, 0.190], zenith = [0.024, 0.045, 0.115], rate = [0.30, 0.30, 0.30],
    sun = [0.00, 0.00, 0.00], sun_look = [0.0, 0.0, 0.0], sun_shape = [1.2, 8.0, 12.0],
    sky_look = [1.0, 1.00, 0.55], fog = [1.6, 1.7, 2.0] },
  { e = -9, horizon = [0.110, 0.100, 0.180], zenith = [0.028, 0.045, 0.115], rate = [0.30, 0.26, 0.22],
    sun = [0.90, 0.38, 0.20], sun_look = [0.0, 0.0, 0.20], sun_shape = [1.6, 6.0, 9.0],
    sky_look = [1.0, 0.45, 0.50], fog = [1.8, 1.9, 2.2] },
  { e = -3, horizon = [0.330, 0.230, 0.260], zenith = [0.070, 0.110, 0.260], rate = [0.40, 0.28, 0.18],
    sun = [1.00, 0.42, 0.18], sun_look = [0.0, 0.25, 0.55], sun_shape = [1.6, 5.0, 8.0],
    sky_look = [1.0, 0.05, 0.45], fog = [2.0, 2.1, 2.3] },
  { e = 1, horizon = [0.700, 0.420, 0.300], zenith = [0.170, 0.270, 0.500], rate = [0.42, 0.26, 0.14],
    sun = [1.00, 0.45, 0.16], sun_look = [2.2, 0.30, 0.40], sun_shape = [1.6, 10.0, 7.0],
    sky_look = [1.0, 0.00, 0.55], fog = [2.0, 2.1, 2.3] },
  { e = 6, horizon = [0.900, 0.680, 0.500], zenith = [0.220, 0.360, 0.640], rate = [0.30, 0.20, 0.13],
    sun = [1.00, 0.60, 0.30], sun_look = [2.8, 0.35, 0.35], sun_shape = [1.45, 9.0, 8.0],
    sky_look = [1.0, 0.00, 0.55], fog = [1.8, 2.0, 2.3] },
  { e = 14, horizon = [0.840, 0.800, 0.760], zenith = [0.240, 0.420, 0.760], rate = [0.30, 0.24, 0.18],
    sun = [1.00, 0.82, 0.60], sun_look = [3.5, 0.45, 0.20], sun_shape = [1.35, 8.0, 10.0],
    sky_look = [1.0, 0.00, 0.55], fog = [1.5, 1.8, 2.4] },
  { e = 30, horizon = [0.700, 0.800, 0.920], zenith = [0.210, 0.420, 0.820], rate = [0.28, 0.24, 0.20],
    sun = [1.00, 0.93, 0.82], sun_look = [4.5, 0.40, 0.08], sun_shape = [1.3, 8.0, 12.0],
    sky_look = [1.0, 0.00, 0.55], fog = [1.3, 1.7, 2.5] },
  { e = 90, horizon = [0.660, 0.780, 0.950], zenith = [0.150, 0.360, 0.800], rate = [0.26, 0.22, 0.19],
    sun = [1.00, 0.97, 0.92], sun_look = [5.0, 0.40, 0.05], sun_shape = [1.3, 8.0, 12.0],
    sky_look = [1.0, 0.00, 0.55], fog = [1.2, 1.6, 2.5] },
]

local function mix3(a, b, t)
{
  return [a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t]
}

// The two keys around elevation e and the eased position between them.
local function find_keys(e)
{
  if (e <= keys[0].e)
    return [keys[0], keys[0], 0.0]
  for (local i = 1; i < keys.len(); i++)
  {
    if (e <= keys[i].e)
    {
      local t = (e - keys[i - 1].e) / (keys[i].e - keys[i - 1].e).tofloat()
      return [keys[i - 1], keys[i], t * t * (3.0 - 2.0 * t)]
    }
  }
  local last = keys[keys.len() - 1]
  return [last, last, 0.0]
}

function get_sky_colors(angle)
{
  local e = 90.0 - angle
  local k = find_keys(e)
  local a = k[0], b = k[1], t = k[2]
  local horizon = mix3(a.horizon, b.horizon, t)
  local zenith = mix3(a.zenith, b.zenith, t)
  local rate = mix3(a.rate, b.rate, t)
  // The gradient reaches exp(-rate) of the way at the zenith: scale so that it ends on the
  // zenith colour exactly.
  local rise = []
  for (local i = 0; i < 3; i++)
    rise.append((zenith[i] - horizon[i]) / exp(-rate[i]))
  return [
    horizon,
    rise,
    rate,
    mix3(a.sun, b.sun, t),
    mix3(a.sun_look, b.sun_look, t),
    mix3(a.sun_shape, b.sun_shape, t),
    mix3(a.sky_look, b.sky_look, t),
    mix3(a.fog, b.fog, t),
    [0.0, 0.0, 0.0],
    [0.0, 0.0, 0.0],
  ]
}
