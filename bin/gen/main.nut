// The world script: builds every world the game shows and receives the game's world events.
//
// generate_world(name) is called with "main_menu" (the landscape behind the menu) or "game" (a
// new world to play in). It starts from a flat grey world and composes heights, colours, water
// and buildings from the generation functions. All randomness comes from the seeded generator,
// so one seed always gives the same world.
//
// Order of work for every world:
//   1. shape the heights (noise, Voronoi plateaus and hills, faults, craters)
//   2. colour the bare rock by height so that erosion has something to carry
//   3. erode with droplets; deposits age from fresh sediment into soil
//   4. fill the low ground with water and carve a river
//   5. level building sites, paint grass, sand, rock and snow, then place the buildings

// The worlds generate_world builds; the world tool refuses any other name.
world_names <- ["main_menu", "game"]

// ---------------------------------------------------------------------------------------------
// Colours (0xAARRGGBB)

const ROCK_DARK   = 0xFF4A4642
const ROCK_LIGHT  = 0xFF9A938A
const SAND        = 0xFFD8C595
const WET_SAND    = 0xFF9C8A66
const GRASS_LUSH  = 0xFF3F7A2A
const GRASS_DRY   = 0xFF8A9440
const SNOW        = 0xFFF2F5FA

// ---------------------------------------------------------------------------------------------
// Small helpers

function min(a, b) { return a < b ? a : b }
function max(a, b) { return a > b ? a : b }
function clamp(v, lo, hi) { return v < lo ? lo : (v > hi ? hi : v) }
function smoothstep(a, b, v) { local t = clamp((v - a) / (b - a), 0.0, 1.0); return t * t * (3 - 2 * t) }

// The height below which `fraction` of the world lies (a sorted sample of every 4th row/column).
function height_percentile(heights, fraction)
{
  local values = []
  for (local z = 0; z < HMAP_SIZE; z += 4)
    for (local x = 0; x < HMAP_SIZE; x += 4)
      values.append(heights.getraw(x, z))
  values.sort()
  return values[clamp((values.len() * fraction).tointeger(), 0, values.len() - 1)]
}

// Rock colours by height: dark at the foot, lighter towards the peaks.
function paint_bare_rock()
{
  recolor_by_height(ColorRamp(function(t) { return lerpcolor(ROCK_DARK, ROCK_LIGHT, t) }), null)
}

// Droplet erosion; the grey sediment it lays down turns into brown soil over time: blue fades
// fastest, green a little, red stays.
function erode(droplets)
{
  gen_droplet_erosion(droplets, {
    Kq = 8.0, Kr = 0.6, Kd = 0.05, Ki = 0.2, minSlope = 0.02, depositBlend = 1.5, reactionTime = 60.0,
    reactions = [
      [[0, 0, 1, 0], [0, 0, 0.5, 0], 0.003],
      [[0, 1, 0, 0], [0, 0.85, 0, 0], 0.003],
    ]
  })
}

// ---------------------------------------------------------------------------------------------
// Water

// Fills everything below `level` with water.
function flood_below(level)
{
  apply_water_mask(HmapMask.fromHeight(), function(depth, h) { return h < level ? level - h : 0.0 })
}

// Follows the land downhill from (x, z) in steps of two units until the river bed reaches the
// water at `sea`; returns the points [x, z, bed height]. Nothing is changed yet.
function trace_river(heights, x, z, sea, max_steps)
{
  local points = []
  local bed = heights.get(x, z) - 0.5
  local dx = 0.0, dz = 0.0
  for (local i = 0; i < max_steps && bed > sea - 0.5; i++)
  {
    // The lowest of 16 directions, keeping some of the last heading so that the river meanders
    // instead of zig-zagging.
    local best = null, bestx = 0.0, bestz = 0.0
    for (local k = 0; k < 16; k++)
    {
      local a = k * PI / 8
      local cx = cos(a), cz = sin(a)
      local h = heights.get(x + 2 * cx, z + 2 * cz) - 0.8 * (cx * dx + cz * dz)
      if (best == null || h < best) { best = h; bestx = cx; bestz = cz }
    }
    dx = bestx; dz = bestz
    x += 2 * dx; z += 2 * dz
    bed = min(bed - 0.08, heights.get(x, z) - 0.6)
    points.append([x, z, bed])
  }
  return points
}

// Of a dozen random springs above the lakes, the one with the longest way down that reaches them.
function find_river(heights, sea, max_steps)
{
  local best = []
  for (local i = 0; i < 12; i++)
  {
    local x = hmfrnd(), z = hmfrnd()
    if (heights.get(x, z) < sea + 4)
      continue
    local points = trace_river(heights, x, z, sea, max_steps)
    if (points.len() > best.len() && points.len() < max_steps)
      best = points
  }
  return best
}

// Digs the river bed along the points.
function carve_river(points)
{
  foreach (p in points)
    flatten_circle(p[0], p[1], 3.0, p[2], 0.9, 1.5)
}

// Water along the river bed.
function fill_river(points)
{
  local heights = HmapMask.fromHeight()
  apply_water_mask(HmapMask(function(x, z) {
    foreach (p in points)
    {
      local ddx = wrap(x - p[0]), ddz = wrap(z - p[1])
      if (ddx * ddx + ddz * ddz < 4.0)
        return max(0.0, p[2] + 0.7 - heights.getraw(x, z))
    }
    return 0.0
  }), null)
}

// The river is kept flowing while the game runs: each step a spring at its head adds water and
// the same amount drains away through the lake floors (see update_script below).
river_spring <- null
river_drain <- null

function make_river_spring(points, sea)
{
  if (points.len() < 4)
  {
    river_spring = river_drain = null
    return
  }
  local head = points[0]
  local flow = 0.15   // water per step and spring cell
  // Counted through a table: a function sees copies of the local variables it uses.
  local cells = { spring = 0, drain = 0 }
  local spring = HmapMask(function(x, z) {
    local dx = wrap(x - head[0]), dz = wrap(z - head[1])
    if (dx * dx + dz * dz < 4.0) { cells.spring++; return flow }
    return 0.0
  })
  local heights = HmapMask.fromHeight()
  // The drain is spread thinly over all deeper water, so that no lake level changes.
  local drain = HmapMask(function(x, z) {
    if (heights.getraw(x, z) < sea - 0.5) { cells.drain++; return 1.0 }
    return 0.0
  })
  if (cells.drain == 0)
  {
    river_spring = river_drain = null
    return
  }
  local out = -flow * cells.spring / cells.drain
  river_spring = spring
  river_drain = HmapMask(function(x, z) { return drain.getraw(x, z) * out })
}

// ---------------------------------------------------------------------------------------------
// Ground cover

function paint_ground(sea, snow_line)
{
  local heights = HmapMask.fromHeight()
  local slope = HmapMask.fromSlope()
  local variety = HmapMask.fromSimplexNoise(1.0, 8, 4, null, 0.5)
  repaint_land(function(x, z, color, top) {
    local h = heights.getraw(x, z)
    local flat = slope.getraw(x, z)            // 1 flat, towards 0 on cliffs
    local n = variety.getraw(x, z)
    if (h < sea + 0.4)
      return [lerpcolor(WET_SAND, color, 0.3), GT_SAND]
    if (h < sea + 1.6 + n && flat > 0.8)
      return [lerpcolor(SAND, color, 0.25), GT_SAND]
    if (h > snow_line + 4 * n && flat > 0.4)
    {
      local s = lerpcolor(SNOW, SNOW, 0)
      s[3] = clamp((flat - 0.4) * 4, 0.0, 0.95)
      return [color, GT_ROCK, s, ST_SNOW]
    }
    if (flat < 0.72)
      return [lerpcolor(color, lerpcolor(ROCK_DARK, ROCK_LIGHT, 0.5 + n), 0.55), GT_ROCK]
    local g = lerpcolor(GRASS_LUSH, GRASS_DRY, clamp(0.5 + n + (h - sea) / (snow_line - sea) * 0.6, 0.0, 1.0))
    g[3] = clamp((flat - 0.72) * 6, 0.0, 0.92)
    return [color, GT_SOIL, g, ST_GRASS]
  })
}

// ---------------------------------------------------------------------------------------------
// Buildings

// The flattest dry spots on a coarse grid, best first.
function find_building_sites(sea, snow_line, count, spacing)
{
  local heights = HmapMask.fromHeight()
  local slope = HmapMask.fromSlope()
  local candidates = []
  for (local z = 8; z < HMAP_SIZE; z += 8)
    for (local x = 8; x < HMAP_SIZE; x += 8)
    {
      local h = heights.getraw(x, z)
      if (h < sea + 2.5 || h > snow_line - 3)
        continue
      local flat = 0.0
      for (local k = -2; k <= 2; k++)
        flat += slope.getraw(x + 3 * k, z) + slope.getraw(x, z + 3 * k)
      candidates.append([flat + frnd() * 0.3, x, z])
    }
  candidates.sort(function(a, b) { return b[0] <=> a[0] })
  local sites = []
  foreach (c in candidates)
  {
    local ok = true
    foreach (s in sites)
      if (wrap(s[0] - c[1]) * wrap(s[0] - c[1]) + wrap(s[1] - c[2]) * wrap(s[1] - c[2]) < spacing * spacing)
        ok = false
    if (ok)
      sites.append([c[1], c[2]])
    if (sites.len() >= count)
      break
  }
  return sites
}

function level_site(x, z, radius)
{
  local h = get_average_circle_height(x, z, radius * 0.6)
  flatten_circle(x, z, radius, h, 1.0, 3.0)
}

// ---------------------------------------------------------------------------------------------
// The worlds

function shape_game_world()
{
  add_fast_noise(0, 10, null, GT_NONE, 255, 0.5)
  gen_voronoi_faults(4, 0, 14, 0.35, 2, 3, 1.6)
  add_voronoi_hills(8, 2, 9, 0.75)
  // A mountain range where a large-scale noise is high.
  local range = HmapMask.fromSimplexNoise(1.0, 2, 3, null, 0.5)
  apply_height_mask(range, function(h, m) { return h + clamp(m * 1.6, 0.0, 1.0) * 34.0 })
  for (local i = 0; i < 6; i++)
    gen_fault(hmfrnd(), hmfrnd(), srnd(), srnd(), rndf(6, 14), rndf(0.5, 1.0), rndf(2, 6), null, GT_NONE)
  for (local i = 0; i < 3; i++)
    gen_crater(hmfrnd(), hmfrnd(), rndf(6, 14), rndf(0.3, 0.6))
}

function shape_main_menu_world()
{
  add_fast_noise(0, 12, null, GT_NONE, 255, 0.45)
  gen_voronoi_faults(2, 0, 22, 0.4, 2, 3, 1.0)
  local peaks = HmapMask.fromSimplexNoise(1.0, 2, 4, null, 0.5)
  apply_height_mask(peaks, function(h, m) { return h + smoothstep(-0.1, 0.6, m) * 55.0 })
  for (local i = 0; i < 4; i++)
    gen_fault(hmfrnd(), hmfrnd(), srnd(), srnd(), rndf(10, 20), rndf(0.6, 1.0), rndf(3, 8), null, GT_NONE)
  gen_crater(hmfrnd(), hmfrnd(), 18, 0.5)
}

function build_world(shape, droplets, water_fraction, house_count)
{
  show_splash("Shaping the land", 0.05)
  shape()
  paint_bare_rock()
  show_splash("Calculating erosion", 0.0)
  erode(droplets)
  recenter_hmap()

  show_splash("Filling lakes and rivers", 0.8)
  local heights = HmapMask.fromHeight()
  local sea = height_percentile(heights, water_fraction)
  local snow_line = height_percentile(heights, 0.93)
  flood_below(sea)
  // The river starts high on the slopes and runs down into a lake.
  local river = find_river(heights, sea, 150)
  carve_river(river)
  fill_river(river)
  make_river_spring(river, sea)

  show_splash("Building", 0.9)
  local sites = find_building_sites(sea, snow_line, house_count + 1, 40)
  for (local i = 0; i < sites.len(); i++)
    level_site(sites[i][0], sites[i][1], i == 0 ? 16 : 8)
  paint_ground(sea, snow_line)
  for (local i = 0; i < sites.len(); i++)
    place_house(sites[i][0], sites[i][1], i == 0 ? -1 : i)
}

function generate_world(name)
{
  reseed_noise()
  if (name == "main_menu")
    build_world(shape_main_menu_world, 40000, 0.22, 2)
  else
    build_world(shape_game_world, 60000, 0.2, 5)
  show_splash("Done", 1.0)
}

// ---------------------------------------------------------------------------------------------
// World events

// Called with events of the game (a string or a table).
function process_event(event)
{
}

// Runs every simulation step (dt seconds).
function update_script(dt)
{
  if (river_spring != null)
  {
    apply_water_mask(river_spring, null)
    apply_water_mask(river_drain, null)
  }
}
