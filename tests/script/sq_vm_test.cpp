#include <gtest/gtest.h>

#include <string_view>

#include "script/sq_vm_reload.h"
#include "script_test_util.h"
#include "support/file_path.h"

namespace
{
// Reads root-table slot `name` as a string ("" when absent).
std::string root_string(HSQUIRRELVM v, const char *name)
{
  sqbind::StackGuard guard{v};
  sq_pushroottable(v);
  sq_pushstring(v, name, -1);
  const SQChar *s = nullptr;
  if (SQ_FAILED(sq_get(v, -2)) || SQ_FAILED(sq_getstring(v, -1, &s)))
    return "";
  return s;
}

// Each script appends its name to the root string "trace".
std::string logging_script(const char *name, const char *extra = "")
{
  return std::string("if (!(\"trace\" in getroottable())) ::trace <- \"\"\n::trace += \"") + name + ";\"\n" + extra + "\n";
}
}  // namespace

TEST(ScriptErrors, ReportNamesFileLineFunctionAndLocals)
{
  TempAppDir dir;
  dir.write("gen/err.nut", "function inner(n) {\n  local s = \"text\"\n  local f = 1.5\n  local t = {}\n"
                           "  local b = true\n  return n.nothing\n}\nfunction outer() { local k = 7; local r = inner(k); return r }\n");
  HSQUIRRELVM v = open_vm(1024);
  ASSERT_TRUE(run_file(v, make_full_path("gen/err.nut")));
  std::string out = ScriptTest::captured([&] {
    sq_pushroottable(v);
    sq_pushstring(v, "outer", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    sq_pushroottable(v);
    EXPECT_TRUE(SQ_FAILED(sq_call(v, 1, SQFalse, SQTrue)));
    sq_pop(v, 2);
  });
  close_vm(v);
  const char *expected_start = "\nCALLSTACK\nbin/gen/err.nut(6): ERROR: the index 'nothing' does not exist (in inner())\n"
                               "bin/gen/err.nut(8): function outer() (CALLSTACK)\n";
  EXPECT_EQ(out.rfind(expected_start, 0), 0u) << out;
  size_t locals = out.find("\nLOCALS\n");
  ASSERT_NE(locals, std::string::npos);
  std::string l = out.substr(locals);
  for (const char *line : {"[n] 7\n", "[s] \"text\"\n", "[f] 1.5\n", "[t] TABLE\n", "[b] true\n", "[k] 7\n",
                           "[this] TABLE\n"})
    EXPECT_NE(l.find(line), std::string::npos) << line << " in " << l;
  EXPECT_LT(l.find("[s]"), l.find("[k]"));  // inner's level before outer's
}

TEST(ScriptErrors, CompilerErrorsAndUnreadableFiles)
{
  TempAppDir dir;
  dir.write("broken.nut", "local a = 1\nfunction (\n");
  HSQUIRRELVM v = open_vm(1024);
  std::string out = ScriptTest::captured([&] { EXPECT_FALSE(run_file(v, make_full_path("broken.nut"))); });
  EXPECT_NE(out.find("bin/broken.nut(2,"), std::string::npos) << out;
  EXPECT_NE(out.find("): error: "), std::string::npos) << out;
  std::string missing = dir.path("missing.nut");
  out = ScriptTest::captured([&] { EXPECT_FALSE(run_file(v, missing.c_str())); });
  std::string msg = "can't load script '" + missing + "': No such file or directory";
  EXPECT_NE(out.find(msg), std::string::npos);
  EXPECT_EQ(sqbind::last_error_text(v), msg);
  EXPECT_EQ(sq_gettop(v), 0);
  close_vm(v);
}

TEST(ScriptErrors, CompileErrorsNameFileLineAndNulBytes)
{
  HSQUIRRELVM v = open_vm(1024);
  auto compile = [&](std::string_view text) {
    std::string out =
        ScriptTest::captured([&] { EXPECT_FALSE(compile_buffer(v, text.data(), SQInteger(text.size()), "a.nut")); });
    EXPECT_EQ(out, std::string(sqbind::last_error_text(v)) + "\n");  // printed once, as the error says
    return std::string(sqbind::last_error_text(v));
  };
  EXPECT_EQ(compile("local a = 1\nlocal b = \n"), "bin/a.nut(3,1): error: expression expected");
  // A NUL byte would end the text early without a word.
  EXPECT_EQ(compile(std::string_view("local a = 1\n  local b\0 = 2\nthrow 5", 31)),
            "bin/a.nut(2,10): error: NUL byte at offset 21");
  EXPECT_EQ(compile(std::string_view("\0", 1)), "bin/a.nut(1,1): error: NUL byte at offset 0");
  EXPECT_EQ(sq_gettop(v), 0);
  close_vm(v);
}

// Only a thread may suspend: a suspended machine would leave its native caller's call half-done.
TEST(ScriptErrors, SuspendWorksInThreadsOnly)
{
  HSQUIRRELVM v = open_vm(1024);
  const char *src = "local t = newthread(function() { local got = suspend(5); return got * 2 })\n"
                    "local first = t.call()\n"
                    "local second = t.wakeup(21)\n"
                    "::result <- first * 1000 + second\n"
                    "suspend(1)\n";
  ASSERT_TRUE(compile_buffer(v, src, SQInteger(strlen(src)), "t.nut"));
  sq_pushroottable(v);
  ScriptTest::captured([&] { EXPECT_TRUE(SQ_FAILED(sq_call(v, 1, SQFalse, SQTrue))); });
  sq_pop(v, 1);
  EXPECT_STREQ(sqbind::last_error_text(v), "suspend() is only allowed inside a thread (newthread)");
  EXPECT_EQ(sq_getvmstate(v), SQ_VMSTATE_IDLE);
  sq_pushroottable(v);
  sq_pushstring(v, "result", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
  SQInteger r = 0;
  sq_getinteger(v, -1, &r);
  EXPECT_EQ(r, 5042);
  sq_pop(v, 2);
  close_vm(v);
}

TEST(ScriptErrors, SourceNamesOutsideTheGameDirectoryStayWhole)
{
  TempAppDir dir;
  char buf[300];
  format_source_name(buf, sizeof(buf), dir.path("a/b.nut").c_str());
  EXPECT_STREQ(buf, "bin/a/b.nut");
  format_source_name(buf, sizeof(buf), "/elsewhere/c.nut");
  EXPECT_STREQ(buf, "/elsewhere/c.nut");
  format_source_name(buf, sizeof(buf), "test.nut");
  EXPECT_STREQ(buf, "bin/test.nut");
}

TEST(ReloadableVM, IncludeRunsEachFileOnceWhateverItsSpelling)
{
  TempAppDir dir;
  std::string abs_lib = dir.path("lib/util.nut");
  dir.write("lib/util.nut", logging_script("util"));
  dir.write("main.nut", logging_script("main", ("include(\"lib/util.nut\")\ninclude(\"LIB/Util.NUT\")\n"
                                                "include(\"./lib/../lib/util.nut\")\ninclude(\"" + abs_lib +
                                                "\")\ninclude(\"main.nut\")\n")
                                                   .c_str()));
  SqReloadableVM rvm;
  ASSERT_TRUE(rvm.init(1024));
  ASSERT_TRUE(rvm.addScript("main.nut"));
  EXPECT_EQ(root_string(rvm.vm, "trace"), "main;util;");
  ASSERT_EQ(rvm.scripts.size(), 2);
  EXPECT_EQ(std::string(rvm.scripts[0].path), dir.path("main.nut"));
  EXPECT_TRUE(rvm.addScript(dir.path("MAIN.nut").c_str()));
  EXPECT_EQ(root_string(rvm.vm, "trace"), "main;util;");
  EXPECT_FALSE(rvm.isModified());
}

TEST(ReloadableVM, ReloadRunsChangedFilesOrAllWhenForced)
{
  TempAppDir dir;
  dir.write("lib.nut", logging_script("lib"));
  dir.write("main.nut", logging_script("main", "include(\"lib.nut\")"));
  SqReloadableVM rvm;
  ASSERT_TRUE(rvm.init(1024));
  ASSERT_TRUE(rvm.addScript("main.nut"));
  EXPECT_EQ(root_string(rvm.vm, "trace"), "main;lib;");

  dir.write("lib.nut", logging_script("lib2"));
  dir.touch("lib.nut", 5);
  EXPECT_TRUE(rvm.isModified());
  EXPECT_TRUE(rvm.reload(false));
  EXPECT_EQ(root_string(rvm.vm, "trace"), "main;lib;lib2;");
  EXPECT_FALSE(rvm.isModified());

  // Forced: every listed file in list order (main first), even the unchanged ones; an include
  // of a listed file does not run it again at the include.
  dir.touch("lib.nut", 10);
  EXPECT_TRUE(rvm.reload(true));
  EXPECT_EQ(root_string(rvm.vm, "trace"), "main;lib;lib2;main;lib2;");
  EXPECT_TRUE(rvm.reload(true));
  EXPECT_EQ(root_string(rvm.vm, "trace"), "main;lib;lib2;main;lib2;main;lib2;");
}

TEST(ReloadableVM, FailuresStopTheReloadAndKeepTheFileListed)
{
  TempAppDir dir;
  dir.write("a.nut", logging_script("a"));
  dir.write("b.nut", logging_script("b", "include(\"missing.nut\")"));
  dir.write("c.nut", logging_script("c"));
  SqReloadableVM rvm;
  ASSERT_TRUE(rvm.init(1024));
  std::string out = ScriptTest::captured([&] {
    EXPECT_TRUE(rvm.addScript("a.nut"));
    EXPECT_FALSE(rvm.addScript("b.nut"));  // the include raises a script error
    EXPECT_TRUE(rvm.addScript("c.nut"));
  });
  EXPECT_NE(out.find("can't load script '" + dir.path("missing.nut") + "'"), std::string::npos);
  EXPECT_EQ(rvm.scripts.size(), 4);  // a, b, missing, c
  EXPECT_EQ(root_string(rvm.vm, "trace"), "a;b;c;");
  out = ScriptTest::captured([&] { EXPECT_FALSE(rvm.reload(true)); });
  EXPECT_EQ(root_string(rvm.vm, "trace"), "a;b;c;a;b;");  // stopped at b; c not run
  EXPECT_EQ(std::string(sqbind::last_error_text(rvm.vm)),
            "can't load script '" + dir.path("missing.nut") + "': No such file or directory");

  // The missing file appears: the next reload runs it in its place.
  dir.write("missing.nut", logging_script("m"));
  EXPECT_TRUE(rvm.isModified());
  EXPECT_TRUE(rvm.reload(false));
  EXPECT_EQ(root_string(rvm.vm, "trace"), "a;b;c;a;b;m;");
}

TEST(ReloadableVM, IncludesAddedDuringAReloadRunOnce)
{
  TempAppDir dir;
  dir.write("main.nut", logging_script("main"));
  SqReloadableVM rvm;
  ASSERT_TRUE(rvm.init(1024));
  ASSERT_TRUE(rvm.addScript("main.nut"));
  // The edited main file now includes many new files, growing the list while it is walked.
  std::string extra;
  for (int i = 0; i < 20; i++)
  {
    std::string n = "n" + std::to_string(i) + ".nut";
    dir.write(n.c_str(), logging_script(std::to_string(i).c_str()));
    extra += "include(\"" + n + "\")\n";
  }
  dir.write("main.nut", logging_script("main", extra.c_str()));
  dir.touch("main.nut", 3);
  EXPECT_TRUE(rvm.reload(false));
  EXPECT_EQ(rvm.scripts.size(), 21);
  std::string log = root_string(rvm.vm, "trace");
  EXPECT_EQ(log.substr(0, 17), "main;main;0;1;2;3");
  EXPECT_EQ(log.size(), std::string("main;main;").size() + 10 * 2 + 10 * 3);
}

TEST(ReloadableVM, ClosedMachineRefusesScripts)
{
  SqReloadableVM rvm;
  EXPECT_FALSE(rvm.addScript("x.nut"));
  ASSERT_TRUE(rvm.init(1024));
  rvm.close();
  EXPECT_EQ(rvm.vm, nullptr);
  EXPECT_FALSE(rvm.addScript("x.nut"));
}
