#pragma once
// Points the settings store at a fresh directory for the test's duration, never at the user's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class TempConfigDir : public ::testing::Test
{
protected:
  std::string dir;

  void SetUp() override
  {
    const char *base = getenv("QM_TEST_TMP");
    if (!base)
      base = getenv("TMPDIR");
    const ::testing::TestInfo *t = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::string(base ? base : "/tmp") + "/qm_cfg_" + std::to_string(getpid()) + "_" + t->name();
    std::filesystem::remove_all(dir);
    setenv("QUENMOOR_CONFIG_DIR", dir.c_str(), 1);
  }
  void TearDown() override
  {
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir, ec);
    unsetenv("QUENMOOR_CONFIG_DIR");
  }

  std::string file() const { return dir + "/settings.ini"; }
  std::string contents() const
  {
    std::ifstream f(file(), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  void writeFile(const std::string &text) const
  {
    std::filesystem::create_directories(dir);
    std::ofstream(file(), std::ios::binary) << text;
  }
};
