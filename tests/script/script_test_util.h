#pragma once
// Shared helpers for the script tests: a machine with the program's handlers, running script
// text, and calling root-table functions the way native callers do.
#include <gtest/gtest.h>

#include <string>

#include "script/sq_func.h"
#include "script/sq_vm.h"
#include "script/sqbind.h"

struct ScriptTest : ::testing::Test
{
  HSQUIRRELVM v = nullptr;

  void SetUp() override { v = open_vm(1024); }
  void TearDown() override { close_vm(v); }

  // Compiles and runs script text with the root table as `this`.
  bool exec(const char *src)
  {
    if (!compile_buffer(v, src, SQInteger(strlen(src)), "test.nut"))
      return false;
    sq_pushroottable(v);
    bool ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
    sq_pop(v, 1);
    return ok;
  }

  template <class R>
  SqFunc<R> func(const char *name)
  {
    SqFunc<R> f;
    f.lookup(v, sqbind::root_table(v), name);
    return f;
  }

  // Calls root function `name` and returns the SquirrelError text ("" when it succeeded).
  template <class... A>
  std::string errorOf(const char *name, const A &...args)
  {
    SqFunc<void> f = func<void>(name);
    try
    {
      f(args...);
    }
    catch (const sqbind::SquirrelError &e)
    {
      return e.text;
    }
    return "";
  }

  float callFloat(const char *name)
  {
    SqFunc<float> f = func<float>(name);
    return f();
  }

  // Output of the machine while running fn (the error handler prints there).
  template <class F>
  static std::string captured(F &&fn)
  {
    ::testing::internal::CaptureStdout();
    fn();
    return ::testing::internal::GetCapturedStdout();
  }
};

// A scratch directory that app_path points at while the test runs.
struct TempAppDir
{
  std::string dir;
  char saved[260];
  TempAppDir();
  ~TempAppDir();
  std::string path(const char *name) const { return dir + name; }
  void write(const char *name, const std::string &text) const;
  // Moves the file's modification time by `seconds` (tests must not wait for the clock).
  void touch(const char *name, int seconds) const;
};
