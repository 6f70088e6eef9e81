// Loading, binding and swapping game object modules built by the module's build script from the
// small test module in data/test_module.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
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
}  // namespace
