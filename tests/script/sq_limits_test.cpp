// Hostile scripts end in a clear error, in bounded time and memory, through the limits and mended
// faults of the patched language runtime (cmake/squirrel-patches): array sizes, the compiler's
// nesting depth, the call depth, integer division, compile errors, and the watchdog that lets a
// host stop a script that never ends.
#include <gtest/gtest.h>

#include <string>

#include "script_test_util.h"

namespace
{
std::string repeat(const char *s, int n)
{
  std::string out;
  while (n-- > 0)
    out += s;
  return out;
}

struct HostileScript
{
  const char *name;
  std::string source;
  const char *error;  // part of the machine's last error; "" for a script that must run
  bool compile_error;
};

std::string script_error(HSQUIRRELVM v, const char *src, bool *compiled)
{
  *compiled = compile_buffer(v, src, SQInteger(strlen(src)), "test.nut");
  if (!*compiled)
    return sqbind::last_error_text(v);
  sq_pushroottable(v);
  bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
  sq_pop(v, 1);
  return ok ? "" : sqbind::last_error_text(v);
}

SQInteger watchdog_checks_left = 0;

SQInteger stop_after_budget(HSQUIRRELVM v)
{
  if (--watchdog_checks_left >= 0)
    return SQ_OK;
  return sq_throwerror(v, "script ran too long");
}
}  // namespace

TEST(SqLimits, HostileScriptsEndInAnError)
{
  const std::string max = std::to_string(SQ_MAX_ARRAY_SIZE);
  const HostileScript cases[] = {
    {"negative array", "array(-1)", "invalid array size -1", false},
    {"array of 2^40", "array(1 << 40)", "invalid array size 1099511627776", false},
    {"array of 2^60", "array(1 << 60, 0)", "invalid array size", false},
    {"array one past the limit", "array(" + max + " + 1)", "invalid array size", false},
    {"negative resize", "[].resize(-5)", "invalid array size -5", false},
    {"resize to 2^40", "[].resize(1 << 40)", "invalid array size", false},
    {"resize one past the limit", "[1].resize(" + max + " + 1, 0)", "invalid array size", false},
    {"30000 parentheses", "local x = " + repeat("(", 30000) + "1" + repeat(")", 30000), "nesting too deep", true},
    {"100000 braces", repeat("{", 100000) + repeat("}", 100000), "nesting too deep", true},
    {"20000 function literals", "local f = " + repeat("function() { return ", 20000) + "1" + repeat(" }", 20000),
     "nesting too deep", true},
    {"200000 unary minus", "local x = " + repeat("- ", 200000) + "1", "nesting too deep", true},
    {"100000 assignments", "local a = 0; " + repeat("a = ", 100000) + "1", "nesting too deep", true},
    {"error inside a for loop's body", "for (local i = 0; i < 2; i++) { local x = }", "expression expected", true},
    {"lexer error after a name", "local x \"unfinished", "unfinished string", true},
    {"operator result assigned", "local o = {}; o * null = 1", "can't assign expression", true},
    {"postfix result assigned", "local o = {a = 1}; o.a++ = 5", "can't assign expression", true},
    {"nesting within the limit", "if (" + repeat("(", 200) + "1" + repeat(")", 200) + " != 1) throw \"wrong\"", "",
     false},
    {"smallest integer / -1", "local m = -9223372036854775807 - 1\nm / -1", "integer overflow", false},
    {"smallest integer % -1", "local m = -9223372036854775807 - 1\nif (m % -1 != 0) throw \"wrong\"", "", false},
    {"modulo by zero", "local x = 5 % 0", "modulo by zero", false},
    {"recursion", "function f(n) { return f(n + 1) + 1 }\nf(0)", "stack overflow", false},
    {"recursion caught, then again", "function f(n) { return f(n + 1) + 1 }\ntry f(0) catch (e) {}\nf(0)",
     "stack overflow", false},
    {"generators resuming generators", "function g() { yield resume g() }\nresume g()", "stack overflow", false},
    {"_get calling itself", "class C { function _get(k) { return this[k] } }\nC().x", "stack overflow", false},
    {"sort comparator sorting", "local a = [3, 2, 1]\nfunction c(x, y) { a.sort(c); return x <=> y }\na.sort(c)",
     "stack overflow", false},
    {"apply applying", "local a = [1]\nfunction g(x) { a.apply(g); return x }\na.apply(g)", "stack overflow", false},
    {"threads calling threads", "function t() { newthread(t).call() }\nt()", "stack overflow", false},
  };
  for (const HostileScript &c : cases)
  {
    SCOPED_TRACE(c.name);
    HSQUIRRELVM vm = open_vm(1024);
    bool compiled = false;
    std::string err;
    std::string out = ScriptTest::captured([&] { err = script_error(vm, c.source.c_str(), &compiled); });
    EXPECT_EQ(compiled, !c.compile_error) << err;
    if (*c.error)
    {
      EXPECT_NE(err.find(c.error), std::string::npos) << err;
    }
    else
    {
      EXPECT_EQ(err, "");
    }
    if (c.compile_error)
    {
      // The report names the file and the line.
      EXPECT_NE(out.find("bin/test.nut(1,"), std::string::npos) << out.substr(0, 300);
    }
    close_vm(vm);
  }
}

// The fuzz harness stops scripts that never end with sq_setwatchdog; catching its error, or
// looping in a thread or inside a native call, does not escape it.
TEST(SqLimits, WatchdogStopsScriptsThatNeverEnd)
{
  const char *scripts[] = {
    "while (true) {}",
    "while (true) try { while (true) {} } catch (e) {}",
    "function f() { try { while (true) {} } catch (e) { return f() } }\nf()",
    "newthread(function() { while (true) {} }).call()",
    "[2, 1].sort(function(a, b) { while (true) {} })",
  };
  for (const char *src : scripts)
  {
    SCOPED_TRACE(src);
    HSQUIRRELVM vm = open_vm(1024);
    watchdog_checks_left = 10;  // of 1000 instructions each
    sq_setwatchdog(vm, stop_after_budget, 1000);
    bool compiled = false;
    std::string err;
    ScriptTest::captured([&] { err = script_error(vm, src, &compiled); });
    EXPECT_TRUE(compiled);
    EXPECT_NE(err.find("script ran too long"), std::string::npos) << err;
    // The machine still runs scripts once the host lifts the stop.
    sq_setwatchdog(vm, nullptr, 0);
    EXPECT_EQ(script_error(vm, "local a = [1, 2].map(@(x) x * 2)", &compiled), "");
    close_vm(vm);
  }
}
