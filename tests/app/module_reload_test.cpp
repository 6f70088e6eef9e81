// The whole game, headless, picking up a change to a module source while it runs:
// tools/reload_time.sh starts a copy of the built game beside a copy of gameobj/, changes one line
// of a module source and waits for the new code to answer; it fails when the player object made
// before the swap is gone or moved, or the game started again.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "temp_config_dir.h"

namespace
{
using ModuleReload = TempConfigDir;

TEST_F(ModuleReload, ChangedSourceRunsWithoutRestartAndKeepsTheObjects)
{
  if (!*QM_GAME_EXE)
    GTEST_SKIP() << "this build tree does not put the game beside its data";
  const std::string cmd = "'" QM_SOURCE_DIR "/tools/reload_time.sh' --runs 1 --work '" + dir + "/run' 2>&1";
  std::string out;
  FILE *p = popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  char line[512];
  while (fgets(line, sizeof(line), p))
    out += line;
  EXPECT_EQ(pclose(p), 0) << out;
  EXPECT_NE(out.find("run 1: "), std::string::npos) << out;
}
}  // namespace
