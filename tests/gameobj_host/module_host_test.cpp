// Loading, binding and swapping game object modules built by the module's build script from the
// small test module in data/test_module.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
#include "gameobj_host/gameobj_rebuild.h"
#include "support/file_path.h"
#include "support/visual_log.h"

namespace
{
struct BuildResult
{
  int status;
  std::string output;
  std::string path;
};

// Builds the test module with `flags` into the test's scratch directory (once per flag set).
const BuildResult &build_module(const std::string &flags)
{
  static std::map<std::string, BuildResult> built;
  auto it = built.find(flags);
  if (it != built.end())
    return it->second;
  const char *tmp = getenv("QM_TEST_TMP");
  std::string dir = std::string(tmp ? tmp : "/tmp") + "/gameobj_host";
  // Named by the flags: test processes running side by side build the same file for the same
  // flags (the script renames a finished file into place) and never another one under its name.
  char name[32];
  snprintf(name, sizeof(name), "m%016zx.so", std::hash<std::string>()(flags));
  std::string cmd = "QM_MODULE_SRC='" QM_TEST_DATA_DIR "/test_module' QM_SQUIRREL_INC='" QM_SQUIRREL_INC
                    "' QM_MODULE_FLAGS='" + flags + "' '" QM_SOURCE_DIR "/gameobj/rebuild_module.sh' '" +
                    dir + "' " + std::string(name) + " 2>&1";
  // (Each flag set compiles in its own object directory; the same set takes turns on a lock.)
  BuildResult r{-1, "", dir + "/" + name};
  if (FILE *p = popen(cmd.c_str(), "r"))
  {
    char line[512];
    while (fgets(line, sizeof(line), p))
      r.output += line;
    r.status = pclose(p);
  }
  return built.emplace(flags, r).first->second;
}

const char *module(const std::string &flags)
{
  const BuildResult &r = build_module(flags);
  EXPECT_EQ(r.status, 0) << r.output;
  return r.path.c_str();
}

struct ModuleHost : testing::Test
{
  void TearDown() override
  {
    for_each_listed_gameobj([](BaseObject *o) { gameobj_module.delete_gameobj(o); });
    unbind_gameobj_module();
    release_gameobj_lists();
    set_error_message(nullptr);
  }
  // A module object listed in GameObj_list.
  static BaseObject *make(int id)
  {
    BaseObject *o = gameobj_module.new_gameobj_by_id(id);
    GameObj_list.push_back(reinterpret_cast<GameObj *>(o));
    return o;
  }
};

TEST_F(ModuleHost, FatalLoadFailures)
{
  const char *missing_entry = module("-DNO_VTABLE_ENTRY");
  const char *missing_name = module("-DMISSING_NAME=render_building");
  const char *missing_link = module("-DMISSING_NAME=link_gui");
  const char *wrong_count = module("-DVTABLE_COUNT=62");
  EXPECT_EXIT(load_gameobj_module(missing_entry), testing::ExitedWithCode(100), "invalid gameobj.so");
  EXPECT_EXIT(load_gameobj_module(missing_name), testing::ExitedWithCode(100),
              "no \"render_building\" function in gameobj.so");
  EXPECT_EXIT(load_gameobj_module(missing_link), testing::ExitedWithCode(100), "no \"link_gui\" function in gameobj.so");
  EXPECT_EXIT(load_gameobj_module(wrong_count), testing::ExitedWithCode(100), "gameobj classes changed, need restart");
  EXPECT_EXIT(load_gameobj_module("/nonexistent/gameobj.so"), testing::ExitedWithCode(100),
              "can't load gameobj.so: ");
}

TEST_F(ModuleHost, BuildScriptRefusesUniqueSymbols)
{
  const BuildResult &r = build_module("-DUNIQUE_SYMBOL");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("error: the module has unique symbols"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("unique_counter"), std::string::npos) << r.output;
  EXPECT_NE(access(r.path.c_str(), F_OK), 0);  // nothing left behind
}

TEST_F(ModuleHost, SwapRepointsLiveObjectsAndKeepsTheirState)
{
  load_gameobj_module(module("-DGEN=1"));
  ASSERT_TRUE(gameobj_module_bound());
  BaseObject *a = make(1), *b = make(2), *dead = make(1);
  dead->destroy();  // listed and queued: visited twice, re-pointed once
  EXPECT_STREQ(a->getClassName(), "A1");

  EXPECT_TRUE(swap_gameobj_module(module("-DGEN=2")));
  EXPECT_STREQ(a->getClassName(), "A2");
  EXPECT_STREQ(b->getClassName(), "B2");
  EXPECT_STREQ(dead->getClassName(), "A2");
  EXPECT_EQ(a->objFlags, 0);
  EXPECT_EQ(dead->objFlags, OBJ_DESTROYED);  // the mark bit never clears the destroyed bit

  // The same file again is a new image (its own copy), so the swap works once more.
  EXPECT_TRUE(swap_gameobj_module(module("-DGEN=1")));
  EXPECT_STREQ(b->getClassName(), "B1");
  deleted_gameobjs.clear();
}

TEST_F(ModuleHost, RefusedCandidatesKeepTheBoundModule)
{
  load_gameobj_module(module(""));
  BaseObject *a = make(1);
  uint64_t layout = gameobj_module_layout();
  EXPECT_FALSE(swap_gameobj_module(module("-DLAYOUT=2")));
  EXPECT_STREQ(get_error_message(), "gameobj classes changed, need restart");
  EXPECT_FALSE(swap_gameobj_module(module("-DMISSING_NAME=bind_gameobj")));
  EXPECT_FALSE(swap_gameobj_module("/nonexistent/gameobj.so"));
  EXPECT_EQ(gameobj_module_layout(), layout);
  EXPECT_STREQ(a->getClassName(), "A1");
  EXPECT_NE(gameobj_module.new_gameobj_by_id, nullptr);
}

TEST_F(ModuleHost, UnknownVtableIsFatalOnSwap)
{
  load_gameobj_module(module(""));
  struct Foreign : BaseObject
  {
  };
  static Foreign foreign;
  GameObj_list.push_back(reinterpret_cast<GameObj *>(static_cast<BaseObject *>(&foreign)));
  EXPECT_EXIT(swap_gameobj_module(module("-DGEN=2")), testing::ExitedWithCode(100), "cannot find object vtable");
  GameObj_list.clear();
}

// A scratch tree for the rebuild: `src/` holds the sources and a stand-in build script, `app/`
// is the application directory (app_path points there while the test runs).
struct ModuleRebuild : ModuleHost
{
  std::string root, src, app;
  char saved_app_path[sizeof(app_path)];

  void SetUp() override
  {
    const char *tmp = getenv("QM_TEST_TMP");
    root = std::string(tmp ? tmp : "/tmp") + "/rebuild_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
           "_" + std::to_string(getpid());
    src = root + "/src/";
    app = root + "/app/";
    ASSERT_EQ(system(("rm -rf '" + root + "' && mkdir -p '" + src + "a/b' '" + app + "'").c_str()), 0);
    memcpy(saved_app_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s", app.c_str());
  }
  void TearDown() override
  {
    close_gameobj_rebuild();
    memcpy(app_path, saved_app_path, sizeof(app_path));
    ModuleHost::TearDown();
  }
  static void write(const std::string &path, const std::string &text)
  {
    std::ofstream(path, std::ios::binary) << text;
  }
  // The build script stands in for the compiler: it runs `body`.
  void build_script(const std::string &body)
  {
    write(src + GAMEOBJ_REBUILD_SCRIPT, "#!/bin/sh\n" + body + "\n");
    chmod((src + GAMEOBJ_REBUILD_SCRIPT).c_str(), 0755);
  }
  // Moves a file's time a second on, so that the change shows whatever the clock's granularity.
  static void bump_time(const std::string &path)
  {
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    struct timespec t[2] = {st.st_atim, st.st_mtim};
    t[1].tv_sec += 1;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
  }
  // Polls until the rebuild it started has ended (or a minute has gone by).
  // What went wrong, "" when nothing did: for callers that capture stdout (where a failed
  // assertion's text would go) and report it afterwards.
  static std::string run_rebuild_quietly()
  {
    if (!poll_module_rebuild())
      return "no rebuild started";
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (poll_module_rebuild())
    {
      if (std::chrono::steady_clock::now() > end)
        return "the rebuild did not end";
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }
  static void run_rebuild() { ASSERT_EQ(run_rebuild_quietly(), ""); }
  static bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }
};

TEST_F(ModuleRebuild, ScanFollowsImportsOnceAndWatchesTheDirectorysCppFiles)
{
  write(src + "main.ls", "import main\nimport a.b.c\nimport  \tx\r\nimport missing\n  import indented\nimported y\n");
  write(src + "x.ls", "import main\n");
  write(src + "a/b/c.ls", "import x\n");
  for (const char *f : {"one.cpp", "two.h", ".#lock.cpp", "notes.txt", "indented.ls", "y.ls"})
    write(src + f, "");
  init_gameobj_rebuild(src.c_str(), "main.ls");
  std::vector<std::string> paths;
  for (const ModuleDep &d : module_deps)
    paths.push_back(d.path.c_str());
  ASSERT_EQ(paths.size(), 5u);
  EXPECT_EQ(paths[0], src + "main.ls");
  EXPECT_EQ(paths[1], src + "a/b/c.ls");
  EXPECT_EQ(paths[2], src + "x.ls");
  std::sort(paths.begin() + 3, paths.end());  // the directory's files come in its own order
  EXPECT_EQ(paths[3], src + "one.cpp");
  EXPECT_EQ(paths[4], src + "two.h");
  EXPECT_FALSE(poll_module_rebuild());  // nothing changed
}

TEST_F(ModuleRebuild, ErrorLinesHoldErrorAsAWholeWord)
{
  const struct
  {
    const char *line;
    bool error;
  } cases[] = {
    {"player.cpp:12:3: error: expected ';'", true},
    {"2 errors generated.", true},
    {"ERROR", true},
    {"Errors: 1", true},
    {"fatal error: module.h: No such file", true},
    {"(error)", true},
    {"error_count = 0", false},
    {"myerror", false},
    {"errors2", false},
    {"terrorize the errorless", false},
    {"2errors", false},
    {"-Werror=return-type", false},
    {"errorss", false},
    {"", false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(is_rebuild_error_line(c.line), c.error) << c.line;
}

TEST_F(ModuleRebuild, FailedRebuildKeepsTheModuleAndShowsItsErrorLines)
{
  load_gameobj_module(module("-DGEN=1"));
  BaseObject *a = make(1);
  write(src + "main.ls", "");
  build_script("echo \"cwd=$(pwd) LC_ALL=$LC_ALL args=$1 $2\"\n"
               "echo 'main.ls:3: error: no such spell' >&2\n"
               "echo 'the errorless terrors are not errors_'\n"
               "exit 3");
  // A module left from elsewhere is not what this failed rebuild made: it stays out.
  ASSERT_EQ(system(("cp '" + std::string(module("-DGEN=2")) + "' '" + app + GAMEOBJ_NEW_FILE + "'").c_str()), 0);
  init_gameobj_rebuild(src.c_str(), "main.ls");
  bump_time(src + "main.ls");
  testing::internal::CaptureStdout();
  const std::string problem = run_rebuild_quietly();
  const bool reloaded = check_gameobj_reload();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(problem, "") << out;
  EXPECT_FALSE(reloaded);
  EXPECT_NE(out.find("cwd=" + src.substr(0, src.size() - 1) + " LC_ALL=C args=" + app + " gameobj_new.so"),
            std::string::npos) << out;
  EXPECT_NE(out.find("!!! failed to rebuild gameobj module (code 3)"), std::string::npos) << out;
  EXPECT_STREQ(get_error_message(), "main.ls:3: error: no such spell\ngameobj rebuild failed!!!");
  EXPECT_STREQ(a->getClassName(), "A1");
}

TEST_F(ModuleRebuild, BuiltModuleIsSwappedInAndARefusedOneMovedAside)
{
  load_gameobj_module(module("-DGEN=1"));
  BaseObject *a = make(1);
  write(src + "main.ls", "");
  build_script("cp '" + std::string(module("-DGEN=2")) + "' \"$1$2\"");
  init_gameobj_rebuild(src.c_str(), "main.ls");
  write(src + "new.cpp", "");  // a new source starts a rebuild too
  bump_time(src);
  run_rebuild();
  EXPECT_TRUE(check_gameobj_reload());
  EXPECT_STREQ(a->getClassName(), "A2");  // the object made before answers with the new code
  EXPECT_TRUE(exists(app + GAMEOBJ_MODULE_FILE));
  EXPECT_FALSE(exists(app + GAMEOBJ_NEW_FILE));

  build_script("cp '" + std::string(module("-DLAYOUT=2")) + "' \"$1$2\"");
  bump_time(src + "new.cpp");
  run_rebuild();
  EXPECT_FALSE(check_gameobj_reload());
  EXPECT_STREQ(get_error_message(), "gameobj classes changed, need restart");
  EXPECT_TRUE(exists(app + GAMEOBJ_REJECTED_FILE));
  EXPECT_FALSE(exists(app + GAMEOBJ_NEW_FILE));
  EXPECT_FALSE(check_gameobj_reload());
  EXPECT_STREQ(a->getClassName(), "A2");
}

TEST_F(ModuleRebuild, StartUpTakesAValidNewBuildFirst)
{
  auto copy = [&](const char *from, const char *to) {
    ASSERT_EQ(system(("cp '" + std::string(from) + "' '" + app + to + "'").c_str()), 0);
  };
  copy(module("-DGEN=1"), GAMEOBJ_MODULE_FILE);
  copy(module("-DGEN=2"), GAMEOBJ_NEW_FILE);
  load_gameobj_module();
  EXPECT_STREQ(make(1)->getClassName(), "A2");
  EXPECT_FALSE(exists(app + GAMEOBJ_NEW_FILE));

  write(app + GAMEOBJ_NEW_FILE, "not a library");
  load_gameobj_module();
  EXPECT_STREQ(make(2)->getClassName(), "B2");
  EXPECT_TRUE(exists(app + GAMEOBJ_REJECTED_FILE));
}
}  // namespace
