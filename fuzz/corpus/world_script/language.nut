// Classes, metamethods, generators, threads, closures and errors.
class Vec { x = 0; y = 0
  constructor(a, b) { x = a; y = b }
  function _add(o) { return Vec(x + o.x, y + o.y) }
  function _get(k) { if (k == "len") return x * x + y * y; throw null }
  function _tostring() { return "(" + x + "," + y + ")" }
}
local v = Vec(1, 2) + Vec(3, 4)
local s = v.tostring() + v.len
function gen(n) { for (local i = 0; i < n; i++) yield i * 2 }
local total = 0
foreach (x in gen(10)) total += x
local t = newthread(function(a) { local b = ::suspend(a + 1); return b * 2 })
local r = t.call(1)
r = t.wakeup(5)
local add = @(a, b) a + b
try { throw { code = 3 } } catch (e) { total += e.code }
enum Colour { red, green = 5, blue }
const LIMIT = 100
switch (total % 3) { case 0: total++; break; default: total-- }
local tbl = { a = 1, b = [1, 2.5, "x", null, true], c = { d = @() this } }
delete tbl.a
local keys = []
foreach (k, val in tbl) keys.push(k)
function f(n) { return n <= 1 ? 1 : n * f(n - 1) }
total += f(10) % 7 + (7 <=> 3) + (5 >>> 1) + (~5) + (typeof tbl).len()
