// GPU load from a DRM device's busy percentage, on a fake sysfs tree.
#include "platform/gpu_load.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

TEST(GpuLoad, FirstCardWithAPercentageIsSampledUntilStopped)
{
  const char *base = getenv("QM_TEST_TMP");
  const std::string dir = std::string(base ? base : "/tmp") + "/qm_drm_" + std::to_string(getpid());
  std::filesystem::remove_all(dir);
  auto busy = [&](int card) { return dir + "/card" + std::to_string(card) + "/device/gpu_busy_percent"; };
  auto put = [&](int card, const char *text) {
    std::filesystem::create_directories(dir + "/card" + std::to_string(card) + "/device");
    std::ofstream(busy(card)) << text;
  };

  testing::internal::CaptureStdout();
  EXPECT_FALSE(start_gpu_load_sampling(dir.c_str()));  // nothing there at all
  EXPECT_EQ(sample_gpu_load(), -1);

  put(0, "garbage\n");          // not a percentage: skipped
  std::filesystem::create_directories(busy(1));  // a directory: skipped
  mkfifo(busy(2).c_str(), 0600);  // a FIFO must not block the search
  put(3, "37\n");
  put(4, "80\n");
  EXPECT_TRUE(start_gpu_load_sampling(dir.c_str()));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("card3"), std::string::npos);
  EXPECT_EQ(sample_gpu_load(), 37);
  put(3, "64\n");
  EXPECT_EQ(sample_gpu_load(), 64);
  for (const char *bad : {"101\n", "-1\n", "", "5 %\n"})
  {
    put(3, bad);
    EXPECT_EQ(sample_gpu_load(), -1) << bad;
  }
  stop_gpu_load_sampling();
  EXPECT_EQ(sample_gpu_load(), -1);
  std::filesystem::remove_all(dir);
}
