// Arrays and strings near their limits.
local a = array(10, 0)
a.resize(20, 1)
a.extend([3, 2, 1])
a.insert(0, 9)
a.sort(@(x, y) y <=> x)
a.reverse()
local b = a.map(@(x) x * 2).filter(@(i, x) x > 1)
local c = a.slice(2, 5)
a.apply(@(x) x + 1)
local s = format("%d %5.2f %s %x %c", 42, 3.25, "text", 255, 65)
local parts = split("a,b,,c", ",")
local t = strip("  x  ") + lstrip(" y") + rstrip("z ")
local m = regexp("[a-z]+([0-9]+)").capture("abc123")
local n = "12".tointeger() + "1.5".tofloat() + s.find("text") + s.slice(1, 3).len()
local big = (-9223372036854775807 - 1) % -1
try { array(-1) } catch (e) {}
try { [].resize(1 << 40) } catch (e) {}
