// The game's named effects. The game object module runs one with
//   call_fx_script(name, a, b, c, d)
// where a, b, c are vectors and d a number; each function below says what it reads. Effects that
// last (fire, smoke, trails, dust) are called once per update step for as long as they last;
// the others once. Sprites: blendfx.dds and glowfx.dds, 8 x 4 cells of 64 texels
// (docs/assets.md).

// --- ramps over a particle's life (multiplying its colour and size) ---------------------------
fade_glow <- ColorRamp.fadeInOut(vec4f(1, 1, 1, 0), vec4f(1, 1, 1, 1), vec4f(1, 1, 1, 0), 0.1, 0.6)
fade_quick <- ColorRamp.fadeInOut(vec4f(1, 1, 1, 0), vec4f(1, 1, 1, 1), vec4f(1, 1, 1, 0), 0.02, 0.8)
fade_smoke <- ColorRamp.fadeInOut(vec4f(1, 1, 1, 0), vec4f(1, 1, 1, 1), vec4f(1, 1, 1, 0), 0.15, 0.7)
// a flame: white-yellow at the root, orange, then deep red as it fades
flame_colors <- ColorRamp(function(t) {
  local a = t < 0.1 ? t / 0.1 : 1.0 - (t - 0.1) / 0.9
  return lerpcolor(lerpcolor(vec4f(1, 0.95, 0.7, 1), vec4f(1, 0.55, 0.15, 1), t < 0.5 ? t * 2 : 1),
                   vec4f(0.7, 0.12, 0.03, 1), t < 0.5 ? 0 : (t - 0.5) * 2) * vec4f(1, 1, 1, a * a)
})
// hot then cooling: sparks and embers go from white through orange to dark red
cooling <- ColorRamp(function(t) {
  return lerpcolor(vec4f(1, 1, 0.9, 1), vec4f(1, 0.4, 0.05, 1), t < 0.4 ? t / 0.4 : 1) *
         vec4f(1 - t * 0.6, 1 - t, 1 - t, 1 - t * t)
})
grow_2 <- FloatRamp.linear(0.5, 2.0)
grow_3 <- FloatRamp.linear(0.6, 3.0)
shrink <- FloatRamp.linear(1.0, 0.2)
swell <- FloatRamp(function(t) { return 0.3 + 1.7 * (1 - (1 - t) * (1 - t)) })
spin <- FloatRamp.linear(0, 1)

// --- helpers ------------------------------------------------------------------------------------
// A random direction in a cone around +y (spread 0: straight up, 1: half a sphere).
function rnd_up(spread) {
  local d = make_dir_xz(frnd()) * (frnd() * spread)
  return norm3(d + vec4f(0, 1, 0, 0))
}
function rnd_ball() { return vec4f(srnd(), srnd(), srnd(), 0) }

// A particle description; `over` replaces some of its fields.
function part(mapU, mapV, life, size, color, over) {
  local p = { accel = vec4f(0, 0, 0, 0), life = life, delay = 0.0, size = size, mapU = mapU, mapV = mapV,
              mapSize = 64.0, startRoll = frnd() * 6.283, rollScale = 0.0, colorAnim = null, sizeAnim = null,
              rollAnim = null, color = color }
  foreach (k, v in over)
    p[k] = v
  return p
}
// Cells of the two animated rows (16 frames).
function frame_u(k) { return (k % 8) * 64.0 }
function frame_v(k) { return 128.0 + (k / 8) * 64.0 }

// --- fire: a = the fire's root, d = strength (1 a camp fire) -------------------------------------
function fire(a, b, c, d) {
  local s = d > 0 ? d : 1.0
  for (local i = 0; i < 4; i++) {
    local k = irnd() % 16
    local at = a + vec4f(srnd() * 0.3 * s, frnd() * 0.1, srnd() * 0.3 * s, 0)
    add_glow_particle(at, vec4f(srnd() * 0.2 * s, (1.2 + frnd() * 0.8) * s, srnd() * 0.2 * s, 1.5),
      part(frame_u(k), frame_v(k), 0.6 + frnd() * 0.4, (0.45 + frnd() * 0.2) * s, vec4f(1, 1, 1, 0.85),
           { accel = vec4f(0, 3.0 * s, 0, 0), colorAnim = flame_colors, sizeAnim = shrink,
             startRoll = srnd() * 0.3, delay = frnd() * 0.05 }))
  }
  add_glow_particle(a + vec4f(0, 0.35 * s, 0, 0), vec4f(0, 0.3, 0, 1),
    part(0, 0, 0.3, 1.3 * s, vec4f(1, 0.5, 0.15, 0.45), { colorAnim = fade_glow }))
  if (frnd() < 0.3)
    add_glow_particle(a + vec4f(srnd() * 0.2, 0.4, srnd() * 0.2, 0) * s,
      vec4f(srnd() * 0.6, 2.0 + frnd() * 1.5, srnd() * 0.6, 0.5),
      part(384, 0, 1.2 + frnd(), 0.08 * s, vec4f(1, 0.7, 0.3, 1), { colorAnim = cooling, accel = vec4f(0, -0.8, 0, 0) }))
  if (frnd() < 0.4)
    smoke(a + vec4f(0, 1.4 * s, 0, 0), vec4f(0.2, 0, 0, 0), null, 0.7 * s)
}

// --- smoke: a = where it rises from, b = wind, d = strength -------------------------------------
function smoke(a, b, c, d) {
  local s = d > 0 ? d : 1.0
  local wind = b == null ? vec4f(0, 0, 0, 0) : b
  local grey = 0.25 + frnd() * 0.2
  add_blend_particle(a + vec4f(srnd() * 0.2, 0, srnd() * 0.2, 0) * s,
    vec4f(srnd() * 0.2 * s, (1.0 + frnd() * 0.5) * s, srnd() * 0.2 * s, 0.3),
    part(64.0 * (1 + irnd() % 3), 0, 2.5 + frnd(), 0.45 * s, vec4f(grey, grey, grey * 1.05, 0.5),
         { accel = vec4f(getx(wind), 0.3 * s, getz(wind), 0), colorAnim = fade_smoke, sizeAnim = grow_3,
           rollScale = srnd() * 1.5, rollAnim = spin }))
}

// --- splash: a = where the water is hit, d = size ------------------------------------------------
function splash(a, b, c, d) {
  local s = d > 0 ? d : 1.0
  for (local i = 0; i < 24; i++) {
    local dir = rnd_up(0.8)
    add_blend_particle(a, dir * ((2.5 + frnd() * 2.5) * s) + vec4f(0, 0, 0, 0.3),
      part(384, 0, 0.8 + frnd() * 0.5, (0.12 + frnd() * 0.1) * s, vec4f(0.75, 0.88, 1, 0.9),
           { accel = vec4f(0, -9.8, 0, 0), colorAnim = fade_quick, startRoll = 0.0 }))
  }
  for (local i = 0; i < 6; i++)
    add_blend_particle(a + vec4f(srnd() * 0.3, 0.1, srnd() * 0.3, 0) * s, vec4f(0, 1.2 + frnd(), 0, 1.5) * s,
      part(0, 64, 0.9, 0.7 * s, vec4f(0.85, 0.93, 1, 0.7), { colorAnim = fade_quick, sizeAnim = grow_2, delay = i * 0.04 }))
  add_blend_particle(a + vec4f(0, 0.05, 0, 0), vec4f(0, 0, 0, 0),
    part(448, 0, 0.9, 0.6 * s, vec4f(0.8, 0.9, 1, 0.8), { colorAnim = fade_quick, sizeAnim = grow_3 }))
}

// --- sparks: a = where, b = the direction they fly (length: speed), c = colour (vec4f), d = count -
function sparks(a, b, c, d) {
  local n = d > 0 ? d.tointeger() : 20
  local col = c == null ? vec4f(1, 0.8, 0.4, 1) : c
  for (local i = 0; i < n; i++) {
    local v = b + rnd_ball() * (len3(b)[0] * 0.7 + 1.0)
    add_glow_particle(a, v + vec4f(0, 0, 0, 1.0),
      part(384, 0, 0.6 + frnd() * 0.7, 0.2 + frnd() * 0.1, col, { accel = vec4f(0, -6, 0, 0), colorAnim = cooling }))
  }
  add_glow_particle(a, vec4f(0, 0, 0, 0), part(128, 0, 0.25, 0.8, col, { colorAnim = fade_quick, rollScale = 1.0, rollAnim = spin }))
  add_glow_particle(a, vec4f(0, 0, 0, 0), part(0, 0, 0.5, 1.0, col * vec4f(1, 1, 1, 0.5), { colorAnim = fade_quick }))
}

// --- magic_trail: a = the last position, b = the new one, c = colour (vec4f), d = size ----------
function magic_trail(a, b, c, d) {
  local s = d > 0 ? d : 1.0
  local col = c == null ? vec4f(0.4, 0.6, 1, 1) : c
  for (local i = 0; i < 4; i++) {
    local at = lerpcolor(a, b, frnd()) + rnd_ball() * (0.08 * s)
    add_glow_particle(at, rnd_ball() * 0.3 + vec4f(0, 0, 0, 1.0),
      part(0, 0, 0.5 + frnd() * 0.3, 0.3 * s, col, { colorAnim = fade_glow, sizeAnim = shrink }))
  }
  local k = 1 + irnd() % 3
  add_glow_particle(lerpcolor(a, b, frnd()) + rnd_ball() * (0.15 * s), rnd_ball() * 0.4 + vec4f(0, 0.3, 0, 0.5),
    part(64.0 * k, 64, 0.7 + frnd() * 0.5, 0.18 * s, lerpcolor(col, vec4f(1, 1, 1, 1), 0.5),
         { colorAnim = fade_glow, rollScale = 4.0, rollAnim = spin }))
}

// --- land_dust: a = a point of the rising (or sinking) land, d = the area's radius --------------
function land_dust(a, b, c, d) {
  local r = d > 0 ? d : 3.0
  for (local i = 0; i < 2; i++) {
    local at = a + make_dir_xz(frnd()) * (r * frnd())
    local shade = 0.45 + frnd() * 0.15
    add_blend_particle(at, vec4f(srnd() * 0.5, 0.8 + frnd() * 0.8, srnd() * 0.5, 0.9),
      part(256, 0, 1.6 + frnd(), 0.5 + frnd() * 0.3, vec4f(shade, shade * 0.85, shade * 0.65, 0.5),
           { accel = vec4f(0, 0.1, 0, 0), colorAnim = fade_smoke, sizeAnim = grow_2, rollScale = srnd(), rollAnim = spin }))
  }
  if (frnd() < 0.5)
    add_blend_particle(a + make_dir_xz(frnd()) * (r * frnd()), vec4f(srnd(), 2 + frnd() * 2, srnd(), 0.2),
      part(320, 0, 0.9, 0.12 + frnd() * 0.08, vec4f(0.45, 0.35, 0.25, 1),
           { accel = vec4f(0, -9.8, 0, 0), rollScale = 8.0, rollAnim = spin }))
}

// --- meteor_trail: a = the meteor, b = its velocity, d = size ------------------------------------
function meteor_trail(a, b, c, d) {
  local s = d > 0 ? d : 1.0
  add_glow_particle(a, b, part(448, 0, 0.12, 1.0 * s, vec4f(1, 0.75, 0.4, 1), { colorAnim = fade_quick }))
  for (local i = 0; i < 3; i++) {
    local k = irnd() % 16
    add_glow_particle(a + rnd_ball() * (0.3 * s), b * 0.1 + rnd_ball() * 0.5 + vec4f(0, 0, 0, 1.5),
      part(frame_u(k), frame_v(k), 0.5 + frnd() * 0.3, 0.6 * s, vec4f(1, 1, 1, 1),
           { colorAnim = flame_colors, sizeAnim = shrink }))
  }
  add_blend_particle(a - b * 0.03, rnd_ball() * 0.3 + vec4f(0, 0.3, 0, 0.8),
    part(64.0 * (1 + irnd() % 3), 0, 1.6 + frnd(), 0.5 * s, vec4f(0.2, 0.18, 0.17, 0.6),
         { colorAnim = fade_smoke, sizeAnim = grow_3, rollScale = srnd(), rollAnim = spin }))
  if (frnd() < 0.5)
    add_glow_particle(a, b * 0.2 + rnd_ball() * 2.0 + vec4f(0, 0, 0, 0.8),
      part(384, 0, 0.8, 0.08 * s, vec4f(1, 0.7, 0.3, 1), { colorAnim = cooling, accel = vec4f(0, -5, 0, 0) }))
}

// --- meteor_impact: a = where it hit, d = size ---------------------------------------------------
function meteor_impact(a, b, c, d) {
  local s = d > 0 ? d : 1.0
  add_glow_particle(a + vec4f(0, 0.5 * s, 0, 0), vec4f(0, 0, 0, 0),
    part(0, 0, 0.5, 3.0 * s, vec4f(1, 0.75, 0.45, 0.8), { colorAnim = fade_quick, sizeAnim = grow_2 }))
  add_glow_particle(a + vec4f(0, 0.1, 0, 0), vec4f(0, 0, 0, 0),
    part(256, 0, 0.6, 1.6 * s, vec4f(1, 0.6, 0.3, 0.45), { colorAnim = fade_quick, sizeAnim = grow_3, startRoll = 0.0 }))
  for (local i = 0; i < 12; i++) {
    local k = irnd() % 16
    local dir = rnd_up(1.0)
    add_glow_particle(a + dir * (0.3 * s), dir * (2.0 * s) + vec4f(0, 1.5, 0, 2.0),
      part(frame_u(k), frame_v(k), 0.6 + frnd() * 0.4, 0.9 * s, vec4f(1, 1, 1, 1),
           { colorAnim = flame_colors, sizeAnim = swell, delay = frnd() * 0.1 }))
  }
  for (local i = 0; i < 16; i++) {
    local dir = rnd_up(1.0)
    local grey = 0.22 + frnd() * 0.12
    add_blend_particle(a + dir * (0.4 * s), dir * ((1.5 + frnd()) * s) + vec4f(0, 0.5, 0, 1.2),
      part(64.0 * (1 + irnd() % 3), 0, 2.5 + frnd(), 0.8 * s, vec4f(grey, grey * 0.95, grey * 0.9, 0.7),
           { colorAnim = fade_smoke, sizeAnim = grow_3, rollScale = srnd(), rollAnim = spin, delay = 0.05 + frnd() * 0.15 }))
  }
  for (local i = 0; i < 20; i++) {
    local dir = rnd_up(0.9)
    add_blend_particle(a + vec4f(0, 0.2, 0, 0), dir * ((4 + frnd() * 4) * s) + vec4f(0, 0, 0, 0.1),
      part(320, 0, 1.0 + frnd() * 0.5, (0.15 + frnd() * 0.12) * s, vec4f(0.35, 0.28, 0.22, 1),
           { accel = vec4f(0, -9.8, 0, 0), rollScale = 10.0, rollAnim = spin }))
  }
  sparks(a + vec4f(0, 0.3, 0, 0), vec4f(0, 5 * s, 0, 0), vec4f(1, 0.7, 0.35, 1), 30)
}

// --- lightning: a = from, b = to, c = colour (vec4f), d = width ---------------------------------
function lightning(a, b, c, d) {
  local w = d > 0 ? d : 0.25
  local col = c == null ? vec4f(0.65, 0.75, 1, 1) : c
  local len = len3(b - a)[0]
  local bend = (b - a) * 0.5 + rnd_ball() * (len * 0.15)
  local packed = (255 << 24) | ((col[0] * 255).tointeger() << 16) | ((col[1] * 255).tointeger() << 8) |
                 (col[2] * 255).tointeger()
  add_lightning_fx(a, b, bend, w, len * 0.35, len * 0.08, 0.5, packed, 64)
  // a thinner branch off the middle
  local mid = lerpcolor(a, b, 0.45 + frnd() * 0.2)
  add_lightning_fx(mid, mid + (b - a) * 0.3 + rnd_ball() * (len * 0.15), rnd_ball() * (len * 0.05), w * 0.6,
                   len * 0.3, len * 0.03, 0.35, packed, 20)
  add_glow_particle(b, vec4f(0, 0, 0, 0), part(0, 0, 0.4, 1.5 * w / 0.15, col, { colorAnim = fade_quick, delay = 0.2 }))
  sparks(b, vec4f(0, 2, 0, 0), lerpcolor(col, vec4f(1, 1, 1, 1), 0.5), 16)
}

// --- fireball: a = the ball, b = its velocity ----------------------------------------------------
function fireball(a, b, c, d) {
  add_glow_particle(a, b, part(0, 0, 0.1, 1.4, vec4f(1, 0.55, 0.2, 1), { colorAnim = fade_quick }))
  add_glow_particle(a, b, part(0, 0, 0.1, 0.6, vec4f(1, 0.9, 0.6, 1), { colorAnim = fade_quick }))
  for (local i = 0; i < 4; i++) {
    local k = irnd() % 16
    add_glow_particle(a + rnd_ball() * 0.25, b * 0.05 + rnd_ball() * 0.5 + vec4f(0, 0.6, 0, 2.0),
      part(frame_u(k), frame_v(k), 0.4 + frnd() * 0.25, 0.75, vec4f(1, 1, 1, 1),
           { colorAnim = flame_colors, sizeAnim = shrink }))
  }
  if (frnd() < 0.5)
    add_blend_particle(a - b * 0.03, rnd_ball() * 0.2 + vec4f(0, 0.4, 0, 0.8),
      part(64.0 * (1 + irnd() % 3), 0, 1.0 + frnd() * 0.5, 0.35, vec4f(0.25, 0.22, 0.2, 0.4),
           { colorAnim = fade_smoke, sizeAnim = grow_2, rollScale = srnd(), rollAnim = spin }))
}

// --- fireball_burst: a = where it burst, d = the burst's radius ----------------------------------
function fireball_burst(a, b, c, d) {
  local r = d > 0 ? d : 4.0
  add_glow_particle(a, vec4f(0, 0, 0, 0),
    part(0, 0, 0.35, r * 0.9, vec4f(1, 0.7, 0.4, 0.9), { colorAnim = fade_quick, sizeAnim = grow_2 }))
  for (local i = 0; i < 14; i++) {
    local k = irnd() % 16
    local dir = norm3(rnd_ball() + vec4f(0, 0.3, 0, 0))
    add_glow_particle(a + dir * 0.3, dir * (r * 1.2) + vec4f(0, 1, 0, 3.0),
      part(frame_u(k), frame_v(k), 0.5 + frnd() * 0.3, r * 0.3, vec4f(1, 1, 1, 1),
           { colorAnim = flame_colors, sizeAnim = swell, delay = frnd() * 0.05 }))
  }
  for (local i = 0; i < 3; i++)
    add_blend_particle(a + rnd_ball() * 0.5, rnd_up(1.0) * 1.2 + vec4f(0, 0, 0, 1.0),
      part(64.0 * (1 + irnd() % 3), 0, 1.5 + frnd(), r * 0.15, vec4f(0.35, 0.33, 0.3, 0.35),
           { colorAnim = fade_smoke, sizeAnim = grow_2, rollScale = srnd(), rollAnim = spin, delay = 0.1 }))
  sparks(a, vec4f(0, 4, 0, 0), vec4f(1, 0.65, 0.3, 1), 24)
}

// --- waterball: a = the globe, b = its velocity --------------------------------------------------
function waterball(a, b, c, d) {
  add_blend_particle(a, b, part(0, 64, 0.1, 1.8, vec4f(0.45, 0.7, 1, 0.9), { colorAnim = fade_quick }))
  add_glow_particle(a, b, part(0, 0, 0.1, 2.0, vec4f(0.25, 0.5, 1, 0.8), { colorAnim = fade_quick }))
  add_glow_particle(a, b, part(0, 0, 0.1, 0.5, vec4f(0.7, 0.85, 1, 0.8), { colorAnim = fade_quick }))
  for (local i = 0; i < 4; i++)
    add_blend_particle(a + rnd_ball() * 0.3, b * 0.05 + rnd_ball() * 0.6 + vec4f(0, 0, 0, 0.5),
      part(384, 0, 0.5 + frnd() * 0.3, 0.12 + frnd() * 0.08, vec4f(0.75, 0.88, 1, 0.9),
           { accel = vec4f(0, -9.8, 0, 0), colorAnim = fade_quick }))
}

// --- storm: a = the ground under its middle, b = the clouds' height over it (y), d = radius ------
// Called every step: a few dark clouds drifting at the top, and rain falling across the disc.
function storm(a, b, c, d) {
  local r = d > 0 ? d : 10.0
  local top = a + vec4f(0, b[1], 0, 0)
  for (local i = 0; i < 2; i++) {
    local at = top + make_dir_xz(frnd()) * (r * 1.1 * sqrt(frnd())) + vec4f(0, srnd() * 2.0, 0, 0)
    local grey = 0.32 + frnd() * 0.14
    add_blend_particle(at, vec4f(srnd() * 0.4, 0, srnd() * 0.4, 0.2),
      part(64.0 * (1 + irnd() % 3), 0, 4.0 + frnd() * 2, r * 0.3, vec4f(grey, grey * 1.02, grey * 1.12, 0.45),
           { colorAnim = fade_smoke, sizeAnim = swell, rollScale = srnd() * 0.5, rollAnim = spin }))
  }
  // drops in short columns, read as streaks from afar
  for (local i = 0; i < 16; i++) {
    local at = top + make_dir_xz(frnd()) * (r * sqrt(frnd())) - vec4f(0, 1 + frnd() * 2, 0, 0)
    for (local k = 0; k < 3; k++)
      add_blend_particle(at + vec4f(0, k * 0.25, 0, 0), vec4f(0, -20, 0, 0),
        part(384, 0, b[1] / 20.0, 0.28, vec4f(0.8, 0.88, 1, 0.7), { startRoll = 0.0 }))
  }
}

// --- healing: a = the feet of the one healed -----------------------------------------------------
function healing(a, b, c, d) {
  for (local i = 0; i < 3; i++) {
    local at = a + make_dir_xz(frnd()) * (0.6 + frnd() * 0.3) + vec4f(0, frnd() * 0.4, 0, 0)
    add_glow_particle(at, vec4f(0, 1.2 + frnd(), 0, 0.5),
      part(64.0 * (1 + irnd() % 3), 64, 0.9 + frnd() * 0.4, 0.2, vec4f(0.45, 1, 0.55, 1),
           { colorAnim = fade_glow, sizeAnim = shrink, rollScale = 3.0, rollAnim = spin }))
  }
  if (frnd() < 0.3)
    add_glow_particle(a + vec4f(0, 0.9, 0, 0), vec4f(0, 0.2, 0, 0),
      part(0, 0, 0.6, 2.0, vec4f(0.3, 0.9, 0.4, 0.25), { colorAnim = fade_glow }))
}
