#include "app/startup_settings.h"

#include "app/app_globals.h"
#include "app/settings.h"
#include "app/startup_options.h"
#include "render/device.h"
#include "temp_config_dir.h"

namespace
{
class StartupSettings : public TempConfigDir
{
protected:
  void SetUp() override
  {
    TempConfigDir::SetUp();
    gfx_quality = 1;
    land_shadow_quality = 2;
    use_ppaa = false;
    app_use_vsync = true;
    use_obj_shadows = true;
  }
};
}  // namespace

TEST_F(StartupSettings, NoSettingsKeepTheDefaults)
{
  StartupOptions opt;
  read_startup_settings(opt);
  EXPECT_FALSE(opt.fullscreen);
  EXPECT_EQ(gfx_quality, 1);
  EXPECT_EQ(land_shadow_quality, 2);
  EXPECT_TRUE(app_use_vsync);
  EXPECT_TRUE(use_obj_shadows);
}

TEST_F(StartupSettings, StoredValuesApplyAndSwitchesOverrideThem)
{
  ASSERT_TRUE(set_config_int("flags", 1 | 2));  // full screen and anti-aliasing; no vsync or shadows
  ASSERT_TRUE(set_config_int("land_shadows", 0));
  ASSERT_TRUE(set_config_str("gfx_quality", "LOW"));
  StartupOptions opt;
  read_startup_settings(opt);
  EXPECT_TRUE(opt.fullscreen);
  EXPECT_TRUE(use_ppaa);
  EXPECT_FALSE(app_use_vsync);
  EXPECT_FALSE(use_obj_shadows);
  EXPECT_EQ(land_shadow_quality, 0);
  EXPECT_EQ(gfx_quality, 0);

  const char *argv[] = {"quenmoor", "-win", "-gfx-high", "-noaa"};
  apply_switches(4, argv, opt);
  EXPECT_FALSE(opt.fullscreen);
  EXPECT_EQ(gfx_quality, 1);
  EXPECT_FALSE(use_ppaa);
}

TEST_F(StartupSettings, QualityNamesIgnoreCaseAndUnknownValuesAreIgnored)
{
  gfx_quality = 0;
  ASSERT_TRUE(set_config_str("gfx_quality", "HIGH"));
  StartupOptions opt;
  read_startup_settings(opt);
  EXPECT_EQ(gfx_quality, 1);

  ASSERT_TRUE(set_config_str("gfx_quality", "ultra"));
  ASSERT_TRUE(set_config_int("land_shadows", 3));
  read_startup_settings(opt);
  EXPECT_EQ(gfx_quality, 1);
  EXPECT_EQ(land_shadow_quality, 2);

  gfx_quality = 0;
  ASSERT_TRUE(set_config_int("gfx_quality", 1));  // a number where a name belongs
  ASSERT_TRUE(set_config_str("flags", "1"));
  read_startup_settings(opt);
  EXPECT_EQ(gfx_quality, 0);
  EXPECT_FALSE(opt.fullscreen);
  EXPECT_TRUE(app_use_vsync);

  // A name longer than the 32-byte buffer is not read at all.
  ASSERT_TRUE(set_config_str("gfx_quality", "high                                  x"));
  read_startup_settings(opt);
  EXPECT_EQ(gfx_quality, 0);
}
