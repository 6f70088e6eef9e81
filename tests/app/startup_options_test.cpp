#include "app/startup_options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/app_globals.h"
#include "render/device.h"

namespace
{
StartupOptions parse(std::vector<const char *> args)
{
  std::vector<const char *> v{"quenmoor"};
  v.insert(v.end(), args.begin(), args.end());
  StartupOptions o;
  apply_switches(int(v.size()), v.data(), o);
  return o;
}
}  // namespace

TEST(Switches, LaterWinsCaseMattersUnknownIgnored)
{
  StartupOptions o = parse({"-720", "-360"});
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 360);
  o = parse({"-fullscr", "-win"});
  EXPECT_FALSE(o.fullscreen);
  o = parse({"-1024", "-FULLSCR", "bogus"});
  EXPECT_EQ(o.height, 1024);
  EXPECT_FALSE(o.fullscreen);

  gfx_quality = 1;
  app_use_vsync = true;
  use_ppaa = false;
  parse({"-gfx-low", "-novs", "-aa"});
  EXPECT_EQ(gfx_quality, 0);
  EXPECT_FALSE(app_use_vsync);
  EXPECT_TRUE(use_ppaa);
  parse({"-gfx-high", "-vs", "-noaa"});
  EXPECT_EQ(gfx_quality, 1);
  EXPECT_TRUE(app_use_vsync);
  EXPECT_FALSE(use_ppaa);
}

TEST(Switches, LinuxAdditions)
{
  StartupOptions o = parse({"--headless", "--steps", "40", "--fast"});
  EXPECT_TRUE(o.headless);
  EXPECT_TRUE(o.fast);
  EXPECT_EQ(o.steps, 40);
  EXPECT_FALSE(parse({"--headless"}).fast);
  EXPECT_EQ(o.error, nullptr);
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"-h"}).help);

  // --steps: 0 is "no limit", as without the switch; anything but a whole number in range is an error.
  struct
  {
    std::vector<const char *> args;
    int steps;  // -1: an error
  } cases[] = {
      {{"--steps", "0"}, 0},           {{"--steps", "1000000000"}, 1000000000},
      {{"--steps"}, -1},               {{"--steps", ""}, -1},
      {{"--steps", "-1"}, -1},         {{"--steps", "4x"}, -1},
      {{"--steps", "1000000001"}, -1}, {{"--steps", "99999999999999999999"}, -1},
  };
  for (const auto &c : cases)
  {
    StartupOptions r = parse(c.args);
    const char *arg = c.args.size() > 1 ? c.args[1] : "(none)";
    if (c.steps < 0)
      EXPECT_STREQ(r.error, "--steps needs a whole number of steps from 0 to 1000000000") << arg;
    else
    {
      EXPECT_EQ(r.error, nullptr) << arg;
      EXPECT_EQ(r.steps, c.steps) << arg;
    }
  }
}

TEST(Switches, ScreenshotAndCamera)
{
  StartupOptions o = parse({"--screenshot", "out.png", "--camera", "12.5,30,-4,90,-20.5"});
  EXPECT_EQ(o.error, nullptr);
  EXPECT_STREQ(o.screenshot, "out.png");
  ASSERT_TRUE(o.camera_given);
  const float want[5] = {12.5f, 30.f, -4.f, 90.f, -20.5f};
  for (int i = 0; i < 5; i++)
    EXPECT_EQ(o.camera[i], want[i]) << i;
  EXPECT_STREQ(parse({"--screenshot"}).error, "--screenshot needs a file name");
  for (const char *bad : {"", "1,2,3,4", "1,2,3,4,5,6", "1,2,,4,5", "1,2,3,4,5,", "1,2,3,4,x", "1,2,3,4,nan",
                          "1,2,3,inf,5", "1 ,2,3,4,5", "1e99,2,3,4,5"})
  {
    StartupOptions r = parse({"--camera", bad});
    EXPECT_FALSE(r.camera_given) << bad;
    EXPECT_NE(r.error, nullptr) << bad;
  }
  EXPECT_NE(parse({"--camera"}).error, nullptr);
}

TEST(Switches, UnknownDoubleDashSwitchesAreWarnedAbout)
{
  // Single-dash ones and plain words stay silent; the value of a switch is never taken for one.
  StartupOptions o = parse({"--fulscreen", "-fulscr", "word", "--out", "--not-a-switch", "--", "--headless"});
  ASSERT_EQ(o.unknown_count, 2);
  EXPECT_STREQ(o.unknown[0], "--fulscreen");
  EXPECT_STREQ(o.unknown[1], "--");
  EXPECT_TRUE(o.headless);

  char *text = nullptr;
  size_t size = 0;
  FILE *f = open_memstream(&text, &size);
  warn_unknown_switches(o, f);
  fclose(f);
  EXPECT_STREQ(text,
               "quenmoor: unknown switch '--fulscreen' ignored (see --help)\n"
               "quenmoor: unknown switch '--' ignored (see --help)\n");
  free(text);

  // Beyond the ones kept, the rest are counted in one line.
  f = open_memstream(&text, &size);
  warn_unknown_switches(parse(std::vector<const char *>(12, "--x")), f);
  fclose(f);
  EXPECT_NE(strstr(text, "quenmoor: 4 more unknown switches ignored (see --help)\n"), nullptr) << text;
  free(text);
}
