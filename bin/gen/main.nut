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
//   4. find rivers from high springs down to the lowest ground, cut their channels and fill
//      the low ground and the channels with water
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

// Fills everything below `level` with water up to that level at least.
function flood_below(level)
{
  apply_water_mask(HmapMask.fromHeight(), function(depth, h) { return h < level && depth < level - h ? level - h : depth })
}

// ---------------------------------------------------------------------------------------------
// Rivers
//
// A river is found, not dug. It rises at a spring high on the slopes and runs from cell to cell
// down the levels at which water leaves the land (mask_fill_levels), to the neighbour the land
// falls to most steeply, until it reaches a lake or another river. Where the land holds it in a
// hollow, those levels lead it across to the hollow's lowest rim, and only there is its bed cut
// down, so that it never rises. Elsewhere the bed lies a channel's depth below the land.
//
// Cells are numbered (z << 8) | x. Each river is a table:
//   cells  the cells from the spring to the mouth (8-connected);
//   beds   the bed height of each cell, never rising;
//   joins  the index of the river it flows into (its last cell is one of that river's), or -1
//          when it ends in a lake (its last cell is under the lake's water);
//   lake   the cell in the lake where its water ends up.

rivers <- []
lake_level <- 0.0
river_cells <- {}   // cell -> [river index, position in its cells], for every river cell but the mouths

const RIVER_FLOW = 0.05           // water per step and spring cell
const RIVER_SPRING_RADIUS = 1.5   // 3 x 3 cells
const RIVER_MAX_CUT = 3.0         // deepest cut through a rim beyond the channel; a deeper one passes the spring over
const RIVER_MAX_CELLS = 1000

NEIGHBOUR_DX <- [1, -1, 0, 0, 1, 1, -1, -1]
NEIGHBOUR_DZ <- [0, 0, 1, -1, 1, -1, 1, -1]
NEIGHBOUR_STEP <- [1.0, 1.0, 1.0, 1.0, 1.4142, 1.4142, 1.4142, 1.4142]

// The cells from `spring` down the fill levels to the first cell in a lake (below `sea`) or on a
// river (a river beside it takes it in); null when the way is too long.
function trace_river(levels, heights, wander, spring, sea)
{
  local cells = [spring]
  local c = spring
  while (cells.len() < RIVER_MAX_CELLS)
  {
    local x = c & 255, z = c >> 8
    if (heights.getraw(x, z) < sea || c in river_cells)
      return cells
    // Of the neighbours on a lower level, the one the land falls to most steeply (or rises to
    // least, across a hollow).
    local level = levels.getraw(x, z), h = heights.getraw(x, z) + wander.getraw(x, z)
    local next = null, best = null
    for (local k = 0; k < 8; k++)
    {
      local nx = (x + NEIGHBOUR_DX[k]) & 255, nz = (z + NEIGHBOUR_DZ[k]) & 255
      local n = (nz << 8) | nx
      if (levels.getraw(nx, nz) >= level)
        continue
      if (n in river_cells)
      {
        next = n
        break
      }
      local fall = (h - heights.getraw(nx, nz) - wander.getraw(nx, nz)) / NEIGHBOUR_STEP[k]
      if (best == null || fall > best)
      {
        best = fall
        next = n
      }
    }
    cells.append(next)
    c = next
  }
  return null
}

// The depth of the channel below the land, growing downstream.
function channel_depth(i) { return 0.5 + 0.5 * min(1.0, i / 80.0) }

// Lowers the beds of river r from position `from` to its mouth, and those of the rivers it
// flows into, to at most `bed`.
function lower_beds(r, from, bed)
{
  while (true)
  {
    local river = rivers[r]
    for (local i = from; i < river.beds.len(); i++)
      if (river.beds[i] > bed)
        river.beds[i] = bed
    if (river.joins < 0)
      return
    local at = river_cells[river.cells.top()]
    r = at[0]
    from = at[1]
  }
}

// Adds the river along `cells` (traced with the current rivers) when no rim on its way must be
// cut deeper than RIVER_MAX_CUT; returns whether it was added.
function add_river(heights, cells)
{
  local n = cells.len()
  local mouth = cells[n - 1]
  local joins = mouth in river_cells ? river_cells[mouth][0] : -1
  local beds = []
  local bed = heights.getraw(cells[0] & 255, cells[0] >> 8)
  for (local i = 0; i < n; i++)
  {
    local c = cells[i]
    local h = heights.getraw(c & 255, c >> 8)
    local channel = i == n - 1 ? h : h - channel_depth(i)
    if (channel < bed)
      bed = channel
    else if (channel - bed > RIVER_MAX_CUT)
      return false
    beds.append(bed)
  }
  local lake = mouth
  if (joins >= 0)
  {
    local at = river_cells[mouth]
    local other = rivers[joins]
    beds[n - 1] = min(beds[n - 2], other.beds[at[1]])
    lower_beds(joins, at[1], beds[n - 1])
    lake = other.lake
  }
  local r = rivers.len()
  for (local i = 0; i < n - 1; i++)
    river_cells[cells[i]] <- [r, i]
  rivers.append({ cells = cells, beds = beds, joins = joins, lake = lake })
  return true
}

// Up to `count` rivers from springs above `spring_floor`, the longest first, their springs at
// least `spacing` apart.
function find_rivers(heights, sea, spring_floor, count, spacing)
{
  rivers = []
  river_cells = {}
  local levels = mask_fill_levels(heights, sea)
  // Gentle swells that only a river on flat ground notices: it meanders.
  local wander = HmapMask.fromSimplexNoise(1.5, 8, 2, null, 0.5)
  local ways = []
  for (local i = 0; i < 24 * count; i++)
  {
    local x = hmrnd(), z = hmrnd()
    if (heights.getraw(x, z) < spring_floor)
      continue
    local cells = trace_river(levels, heights, wander, (z << 8) | x, sea)
    if (cells != null)
      ways.append(cells)
  }
  ways.sort(function(a, b) { return b.len() <=> a.len() })
  foreach (way in ways)
  {
    if (rivers.len() >= count)
      break
    local s = way[0], near = false
    foreach (river in rivers)
    {
      local t = river.cells[0]
      local dx = wrap((s & 255) - (t & 255)), dz = wrap((s >> 8) - (t >> 8))
      near = near || dx * dx + dz * dz < spacing * spacing
    }
    if (near || s in river_cells)
      continue
    // Traced again: the rivers found so far may take it in.
    local cells = rivers.len() == 0 ? way : trace_river(levels, heights, wander, s, sea)
    if (cells != null && cells.len() >= 16)
      add_river(heights, cells)
  }
}

// The stamps of every river but its mouth: [x, z, value of f(river, position), radius].
function river_stamps(f, radius)
{
  local points = []
  foreach (river in rivers)
    for (local i = 0; i < river.cells.len() - 1; i++)
    {
      local c = river.cells[i]
      points.append([c & 255, c >> 8, f(river, i), radius(i)])
    }
  return points
}

function channel_radius(i) { return 1.4 + 1.0 * min(1.0, i / 100.0) }

// Cuts the channels, then makes sure that no river rises along its course: a cell that the
// channels of other cells left higher than the cell before it is lowered to that one's height
// (again until none is left, as a tributary's last cell lies on the river it joins and as
// rounding may leave a cell a hair too high).
function carve_rivers(heights)
{
  // Where channels overlap, the deepest cut holds.
  local cut = river_stamps(function(river, i) {
    local c = river.cells[i]
    return river.beds[i] - heights.getraw(c & 255, c >> 8)
  }, channel_radius)
  apply_height_mask(mask_from_points(cut, 1.0, 1.0), null)
  for (local risen = true; risen;)
  {
    risen = false
    local carved = HmapMask.fromHeight()
    foreach (river in rivers)
    {
      local bed = null
      foreach (c in river.cells)
      {
        local h = carved.getraw(c & 255, c >> 8)
        if (bed == null || h <= bed)
          bed = h
        else
        {
          flatten_circle(c & 255, c >> 8, 0.5, bed, 1.0, 1.0)
          risen = true
        }
      }
    }
  }
}

// Water in the channels to 0.65 of their depth: level across a channel, whose parabola is that
// deep at 0.8 of its radius.
function fill_rivers()
{
  local depth = river_stamps(function(river, i) { return 0.65 * channel_depth(i) },
                             function(i) { return 0.8 * channel_radius(i) })
  apply_water_mask(mask_from_points(depth, 1.0, 1.0), null)
}

// The rivers are kept flowing while the game runs: each step the springs add water and the same
// amount drains away through the lake floor beyond each river's mouth (see update_script).
river_spring <- null
river_drain <- null

// The lake cells at least 1 deep nearest to `mouth` (at most `count`).
// (The mouth itself when there are none.)
function drain_cells(heights, mouth, sea, count)
{
  local found = [[0, mouth]]
  local mx = mouth & 255, mz = mouth >> 8
  for (local reach = 6; reach <= 48; reach *= 2)
  {
    local deep = []
    for (local dz = -reach; dz <= reach; dz++)
      for (local dx = -reach; dx <= reach; dx++)
        if (heights.getraw(mx + dx, mz + dz) < sea - 1.0)
          deep.append([dx * dx + dz * dz, (((mz + dz) & 255) << 8) | ((mx + dx) & 255)])
    if (deep.len() > 0)
      found = deep
    if (deep.len() >= count)
      break
  }
  found.sort(function(a, b) { return a[0] <=> b[0] })
  return found.slice(0, min(count, found.len())).map(function(f) { return f[1] })
}

function make_river_springs(heights, sea)
{
  river_spring = river_drain = null
  if (rivers.len() == 0)
    return
  // A spring of radius 1.5 around a cell covers its 3 x 3 cells.
  local per_spring = 9 * RIVER_FLOW
  local springs = []
  local drains = {}
  foreach (river in rivers)
  {
    local s = river.cells[0]
    springs.append([s & 255, s >> 8, RIVER_FLOW])
    local cells = drain_cells(heights, river.lake, sea, 12)
    foreach (c in cells)
      drains[c] <- (c in drains ? drains[c] : 0.0) - per_spring / cells.len()
  }
  local points = []
  foreach (c, amount in drains)
    points.append([c & 255, c >> 8, amount])
  river_spring = mask_from_points(springs, RIVER_SPRING_RADIUS, 0.0)
  river_drain = mask_from_points(points, 0.5, 0.0)
}

// Lakes over the lowest `water_fraction` of the land and up to `river_count` rivers from springs
// on its highest quarter into them; returns the lakes' level.
function add_lakes_and_rivers(water_fraction, river_count)
{
  local heights = HmapMask.fromHeight()
  local sea = height_percentile(heights, water_fraction)
  lake_level = sea
  find_rivers(heights, sea, height_percentile(heights, 0.75), river_count, 40)
  carve_rivers(heights)
  fill_rivers()
  flood_below(sea)   // after the carving, whose channels reach into the lakes
  make_river_springs(heights, sea)
  return sea
}

// ---------------------------------------------------------------------------------------------
// Ground cover

function paint_ground(sea, snow_line)
{
  local heights = HmapMask.fromHeight()
  local slope = HmapMask.fromSlope()
  local variety = HmapMask.fromSimplexNoise(1.0, 8, 4, null, 0.5)
  local water = HmapMask.fromWater()
  repaint_land(function(x, z, color, top) {
    local h = heights.getraw(x, z)
    local flat = slope.getraw(x, z)            // 1 flat, towards 0 on cliffs
    local n = variety.getraw(x, z)
    if (h < sea + 0.4 || water.getraw(x, z) > 0.1)
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

// The flattest dry spots on a coarse grid, best first, the first (the castle's) at least 20 cells
// from every river and the others 12.
function find_building_sites(sea, snow_line, count, spacing)
{
  local heights = HmapMask.fromHeight()
  local slope = HmapMask.fromSlope()
  // 1 - d^2 / 20^2 for a river cell at distance d < 20.
  local river_points = []
  foreach (river in rivers)
    foreach (c in river.cells)
      river_points.append([c & 255, c >> 8])
  local river_near = mask_from_points(river_points, 20.0, 1.0)
  local candidates = []
  for (local z = 8; z < HMAP_SIZE; z += 8)
    for (local x = 8; x < HMAP_SIZE; x += 8)
    {
      local h = heights.getraw(x, z)
      if (h < sea + 2.5 || h > snow_line - 3 || river_near.getraw(x, z) > 1.0 - 12 * 12 / 400.0)
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
    local ok = sites.len() > 0 || river_near.getraw(c[1], c[2]) == 0.0
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

function build_world(shape, droplets, water_fraction, house_count, river_count)
{
  show_splash("Shaping the land", 0.05)
  shape()
  paint_bare_rock()
  show_splash("Calculating erosion", 0.0)
  erode(droplets)
  recenter_hmap()

  show_splash("Filling lakes and rivers", 0.8)
  local snow_line = height_percentile(HmapMask.fromHeight(), 0.93)
  local sea = add_lakes_and_rivers(water_fraction, river_count)

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
    build_world(shape_main_menu_world, 40000, 0.22, 2, 2)
  else
    build_world(shape_game_world, 60000, 0.2, 5, 3)
  show_splash("Done", 1.0)
}

// ---------------------------------------------------------------------------------------------
// World events

// Called with events of the game (a string or a table): "world_ready" once a world is generated
// and the player stands in it.
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
