// Screenshots on real OpenGL without a display: the PNG read back holds the frame (top-left
// first, opaque), PrintScreen's request saves the next presented frame under shots/, and a write
// that fails says so and never "captured".
#include "app/screenshot.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>
#include <string>

#include "render/device.h"
#include "render/gl_backend.h"
#include "render/resource_hooks.h"
#include "support/file_path.h"

namespace
{
constexpr int W = 64, H = 48;

class Screenshot : public testing::Test
{
protected:
  GlBackend gl;
  std::string dir;
  char saved_path[sizeof(app_path)];

  void SetUp() override
  {
    const char *base = getenv("QM_TEST_TMP");
    dir = std::string(base ? base : "/tmp") + "/qm_screenshot_" + std::to_string(getpid()) + "/";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    memcpy(saved_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s", dir.c_str());
    set_render_backend(&gl);
    app_use_vsync = false;
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    testing::internal::CaptureStdout();
    const bool ok = init_d3d(nullptr, W, H);
    testing::internal::GetCapturedStdout();
    if (!ok)
      GTEST_SKIP() << "no headless OpenGL 3.3 here";
    // A blue frame with a red 8 x 8 top-left corner.
    restore_back_buffer();
    clear_view(0xFF0000FF);
    set_viewport(0, 0, 8, 8);
    clear_view_color(0xFFFF0000);
    restore_back_buffer();
  }
  void TearDown() override
  {
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    memcpy(app_path, saved_path, sizeof(app_path));
    std::filesystem::remove_all(dir);
  }
  // The log of `fn`.
  template <class F>
  std::string logOf(F &&fn)
  {
    testing::internal::CaptureStdout();
    fn();
    return testing::internal::GetCapturedStdout();
  }
  void expectFrame(const std::string &path)
  {
    int w = 0, h = 0, n = 0;
    unsigned char *p = stbi_load(path.c_str(), &w, &h, &n, 0);
    ASSERT_NE(p, nullptr) << path << ": " << stbi_failure_reason();
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, H);
    ASSERT_EQ(n, 4);
    auto px = [&](int x, int y) {
      const unsigned char *q = p + (y * w + x) * 4;
      return std::vector<int>{q[0], q[1], q[2], q[3]};
    };
    EXPECT_EQ(px(0, 0), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(px(7, 7), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(px(8, 0), (std::vector<int>{0, 0, 255, 255}));
    EXPECT_EQ(px(W - 1, H - 1), (std::vector<int>{0, 0, 255, 255}));
    stbi_image_free(p);
  }
};
}  // namespace

TEST_F(Screenshot, NamesFromTheLocalTime)
{
  struct tm t = {};
  t.tm_year = 2024 - 1900, t.tm_mon = 2, t.tm_mday = 7, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 1;
  char name[64];
  screenshot_name(&t, name, sizeof(name));
  EXPECT_STREQ(name, "shots/shot2024_03_07_09_05_01.png");
  screenshot_name(nullptr, name, sizeof(name));
  EXPECT_STREQ(name, "shots/shot.png");
}

TEST_F(Screenshot, SavedFramesReadBackAsPng)
{
  const std::string path = dir + "frame.png";
  std::string log = logOf([&] { EXPECT_TRUE(save_screenshot(path.c_str())); });
  EXPECT_NE(log.find("screenshot...\n"), std::string::npos) << log;
  EXPECT_NE(log.find("screenshot captured to '" + path + "' in "), std::string::npos) << log;
  expectFrame(path);

  // PrintScreen: nothing until the frame is presented, then shots/ is made and the frame saved.
  request_screenshot();
  EXPECT_FALSE(std::filesystem::exists(dir + "shots"));
  log = logOf([] { take_requested_screenshot(); });
  std::filesystem::path shot;
  for (const auto &e : std::filesystem::directory_iterator(dir + "shots"))
    shot = e.path();
  ASSERT_FALSE(shot.empty()) << log;
  EXPECT_EQ(shot.filename().string().rfind("shot", 0), 0u);
  EXPECT_NE(log.find("screenshot captured to '" + shot.string() + "'"), std::string::npos) << log;
  expectFrame(shot.string());
  // The request is used up.
  EXPECT_EQ(logOf([] { take_requested_screenshot(); }), "");
}

TEST_F(Screenshot, FailedWritesAreReportedNeverCaptured)
{
  // shots is a file, so nothing can be written below it (whoever runs the test, root included).
  std::ofstream(dir + "shots") << "in the way";
  request_screenshot();
  std::string log = logOf([] { take_requested_screenshot(); });
  EXPECT_NE(log.find("failed to save screenshot to '" + dir + "shots/shot"), std::string::npos) << log;
  EXPECT_NE(log.find("Not a directory"), std::string::npos) << log;
  EXPECT_EQ(log.find("captured"), std::string::npos) << log;

  // A write that fails part-way (here: past a file size limit) leaves an existing file as it was.
  std::ofstream(dir + "old.png") << "old";
  struct rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 64;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool saved_ok = save_screenshot((dir + "old.png").c_str());
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(saved_ok);
  std::ifstream old(dir + "old.png");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
  EXPECT_FALSE(std::filesystem::exists(dir + "old.png.tmp"));
}
