// Recursion and nesting at their limits.
function f(n) { return f(n + 1) + 1 }
try { f(0) } catch (e) {}
function g() { yield resume g() }
try { resume g() } catch (e) {}
class C { function _get(k) { return this[k] } }
try { C().x } catch (e) {}
local x = ((((((((((((((((((((1))))))))))))))))))))
local y = - - - - - - - - - - 1
local z = function() { return function() { return function() { return 1 } } }
while (true) { }
