// The whole game, headless, as a player would start it: the attract flight over the "main_menu"
// world after a fixed number of steps, at both graphics qualities, compared with the pictures kept
// in tests/app/data (regenerate them by copying $QM_TEST_TMP/scene_*.png there after a deliberate
// change of the look, and look at them first).
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <string>
#include <vector>

#include "temp_config_dir.h"

namespace
{
struct Picture
{
  int w = 0, h = 0;
  std::vector<unsigned char> rgb;
};

Picture load(const std::string &path)
{
  Picture p;
  int n = 0;
  unsigned char *data = stbi_load(path.c_str(), &p.w, &p.h, &n, 3);
  if (data)
    p.rgb.assign(data, data + size_t(p.w) * size_t(p.h) * 3);
  stbi_image_free(data);
  return p;
}

class ScenePicture : public TempConfigDir
{
protected:
  // Runs the game and returns its last frame.
  Picture shoot(const char *quality, const std::string &out)
  {
    const std::string log = out + ".log";
    const std::string cmd = std::string("'") + QM_GAME_EXE + "' --headless -360 --fast --steps 120 --seed 2 -noaa " +
                            quality + " --screenshot '" + out + "' >'" + log + "' 2>&1";
    std::remove(out.c_str());
    const int rc = std::system(cmd.c_str());
    EXPECT_EQ(rc, 0) << cmd << " (log: " << log << ")";
    return load(out);
  }
};

TEST_F(ScenePicture, AttractFlightAtBothQualitiesMatchesTheKeptPictures)
{
  if (!*QM_GAME_EXE)
    GTEST_SKIP() << "this build tree does not put the game beside its data";
  const char *base = getenv("QM_TEST_TMP");
  const std::string tmp = base ? base : "/tmp";
  std::filesystem::create_directories(tmp);
  Picture got[2];
  const char *names[2] = {"scene_high", "scene_low"}, *switches[2] = {"-gfx-high", "-gfx-low"};
  for (int q = 0; q < 2; q++)
  {
    got[q] = shoot(switches[q], tmp + "/" + names[q] + ".png");
    const Picture want = load(std::string(QM_TEST_DATA_DIR) + "/" + names[q] + ".png");
    ASSERT_EQ(got[q].w, 640) << names[q];
    ASSERT_EQ(got[q].h, 360) << names[q];
    ASSERT_EQ(want.rgb.size(), got[q].rgb.size()) << names[q];
    // Driver rounding moves a channel by a few levels and an edge by a pixel: the mean stays
    // within 2 levels and few pixels move far.
    double sum = 0;
    int far = 0, black = 0;
    for (size_t i = 0; i < want.rgb.size(); i += 3)
    {
      int worst = 0;
      for (int c = 0; c < 3; c++)
      {
        const int d = std::abs(int(want.rgb[i + c]) - int(got[q].rgb[i + c]));
        sum += d;
        worst = std::max(worst, d);
      }
      far += worst > 40;
      black += got[q].rgb[i] < 8 && got[q].rgb[i + 1] < 8 && got[q].rgb[i + 2] < 8;
    }
    const double pixels = double(want.rgb.size() / 3);
    EXPECT_LT(sum / (pixels * 3), 2.0) << names[q];
    EXPECT_LT(far, int(pixels * 0.01)) << names[q];
    EXPECT_LT(black, int(pixels * 0.01)) << names[q] << ": sky and world cover the frame";
  }
  // The two paths really differ (deferred lighting against forward drawing).
  double diff = 0;
  for (size_t i = 0; i < got[0].rgb.size() && i < got[1].rgb.size(); i++)
    diff += std::abs(int(got[0].rgb[i]) - int(got[1].rgb[i]));
  EXPECT_GT(diff / double(got[0].rgb.size()), 1.0);
}
}  // namespace
