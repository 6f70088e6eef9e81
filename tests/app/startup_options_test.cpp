#include "app/startup_options.h"

#include <gtest/gtest.h>

#include "app/app_globals.h"

namespace
{
StartupOptions parse(std::initializer_list<const char *> args)
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
  StartupOptions o = parse({"--headless", "--steps", "40"});
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.steps, 40);
  EXPECT_EQ(o.error, nullptr);
  EXPECT_NE(parse({"--steps"}).error, nullptr);
  EXPECT_NE(parse({"--steps", "0"}).error, nullptr);
  EXPECT_NE(parse({"--steps", "4x"}).error, nullptr);
  EXPECT_TRUE(parse({"--help"}).help);
}
