// Generation functions, masks and ramps on a small budget.
function generate_world(name)
{
  reseed_noise()
  add_fast_noise(0, 10, null, GT_NONE, 255, 0.5)
  add_simplex_noise(0, 8, 2, 3, 0.5)
  add_voronoi_hills(4, 1, 6, 0.5)
  gen_fault(hmfrnd(), hmfrnd(), srnd(), srnd(), 8.0, 0.7, 3.0, null, GT_NONE)
  gen_crater(64, 64, 10, 0.4)
  local m = HmapMask.fromSimplexNoise(1.0, 2, 3, null, 0.5)
  apply_height_mask(m, function(h, k) { return h + k * 4.0 })
  apply_water_mask(HmapMask.fromHeight(), function(d, h) { return h < 2 ? 2 - h : 0.0 })
  recolor_by_height(ColorRamp(function(t) { return lerpcolor(0xFF404040, 0xFFA0A0A0, t) }), null)
  local f = FloatRamp(function(t) { return t * t })
  flatten_circle(100, 100, 8, get_average_circle_height(100, 100, 4), 1.0, 3.0)
  gen_droplet_erosion(200, { Kq = 8.0, Kr = 0.6, Kd = 0.05, Ki = 0.2, minSlope = 0.02 })
  recenter_hmap()
  place_house(100, 100, -1)
}
