// The module's menus driven headless as a player drives them: keys and clicks go through the
// input queue, one update of the menu per step; the options write the settings store.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "../app/temp_config_dir.h"
#include "app/app_globals.h"
#include "app/gui_links.h"
#include "app/input.h"
#include "app/settings.h"
#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
#include "gui/gui_draw.h"
#include "render/device.h"

namespace
{
constexpr int KEY_ENTER = 13, KEY_ESC = 27, KEY_SPACE = 32, KEY_UP = 38, KEY_DOWN = 40;

struct Menus : TempConfigDir
{
  static void SetUpTestSuite()
  {
    d3d_wd = 1280;
    d3d_ht = 720;
    init_input(nullptr);
    connect_gui_links();
    load_gameobj_module(QM_MODULE_FILE);
  }
  static void TearDownTestSuite()
  {
    gameobj_module.close_game_menu();
    unbind_gameobj_module();
    release_gameobj_lists();
  }
  void SetUp() override
  {
    TempConfigDir::SetUp();
    should_close_game_menu = false;
    menu_request = MENU_REQUEST_NONE;
  }

  // One step of the menu with what was queued, then the per-step clear.
  static void step()
  {
    gameobj_module.update_game_menu(0.05f);
    clear_input_step();
  }
  static void keys(std::initializer_list<int> vks)
  {
    for (int vk : vks)
    {
      post_input_event(INPUT_KEY_DOWN, vk, 0, 0, 0, 0);
      post_input_event(INPUT_KEY_UP, vk, 0, 0, 0, 0);
    }
    step();
  }
  static BaseGuiElement *find(BaseGuiElement *e, const char *text)
  {
    if (!e)
      return nullptr;
    if (!strcmp(e->getText(GUI_PROP_TEXT), text))
      return e;
    for (int i = 0; i < e->children.size(); i++)
      if (BaseGuiElement *f = find(e->children[i], text))
        return f;
    return nullptr;
  }
  static BaseGuiElement *shown(const char *text)
  {
    return cur_game_screen ? find(cur_game_screen->root, text) : nullptr;
  }
  // Moves to the labelled element, presses and releases the left button there (queued only,
  // when `queue_only`).
  static void click(const char *text, bool queue_only = false)
  {
    BaseGuiElement *e = shown(text);
    ASSERT_NE(e, nullptr) << text;
    const float x = (e->rect[0] + e->rect[2]) / 2, y = (e->rect[1] + e->rect[3]) / 2;
    post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, x, y);
    post_input_event(INPUT_BUTTON_DOWN, MOUSE_BUTTON_LEFT, 0, INPUT_FLAG_LBUTTON, x, y);
    post_input_event(INPUT_BUTTON_UP, MOUSE_BUTTON_LEFT, 0, 0, x, y);
    if (!queue_only)
      step();
  }
  static bool checked(const char *text) { return shown(text) && shown(text)->getBool(GUI_PROP_CHECKED); }
};

TEST_F(Menus, KeysAndClicksOpenCloseAndChooseInEveryMenu)
{
  gameobj_module.open_main_menu();
  ASSERT_NE(main_menu_screen, nullptr);
  EXPECT_EQ(cur_game_screen, main_menu_screen);
  keys({KEY_DOWN, KEY_DOWN, KEY_UP, KEY_ENTER});  // from New game to Options, Quit, Options
  EXPECT_EQ(cur_game_screen, options_screen);
  keys({KEY_ESC});
  EXPECT_EQ(cur_game_screen, main_menu_screen);
  click("Options", true);  // a slow frame: the click and the next key in one step
  keys({KEY_ESC});
  EXPECT_EQ(cur_game_screen, main_menu_screen) << "Esc reached the options";
  click("Quit");
  EXPECT_EQ(menu_request, MENU_REQUEST_QUIT);
  menu_request = MENU_REQUEST_NONE;
  keys({KEY_ESC});  // nothing to go back to
  EXPECT_EQ(cur_game_screen, main_menu_screen);
  EXPECT_FALSE(should_close_game_menu);
  gameobj_module.close_game_menu();
  gameobj_module.open_main_menu();
  {
    // The pointer resting on Options when the menu shows does not take the focus from New game.
    BaseGuiElement *options = shown("Options");
    ASSERT_NE(options, nullptr);
    post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, (options->rect[0] + options->rect[2]) / 2,
                     (options->rect[1] + options->rect[3]) / 2);
  }
  keys({KEY_ENTER});  // the focus starts on New game when the menu is shown
  EXPECT_TRUE(should_close_game_menu);
  gameobj_module.close_game_menu();
  EXPECT_EQ(cur_game_screen, nullptr);

  // The in-game menu: Esc resumes, the buttons lead out or on.
  should_close_game_menu = false;
  gameobj_module.open_game_menu();
  EXPECT_EQ(cur_game_screen, game_menu_screen);
  gameobj_module.init_spells_ui();
  gameobj_module.update_spells_ui(0.05f);  // the rest of the play step that opened the menu
  keys({KEY_ESC});
  EXPECT_EQ(cur_game_screen, game_menu_screen);
  EXPECT_TRUE(should_close_game_menu);
  gameobj_module.close_spells_ui();
  should_close_game_menu = false;
  click("Main menu");
  EXPECT_EQ(menu_request, MENU_REQUEST_MAIN_MENU);
  click("Options");
  EXPECT_EQ(cur_game_screen, options_screen);
  click("Back");
  EXPECT_EQ(cur_game_screen, game_menu_screen) << "back where the options were opened from";

  // The cheats: the mana cheat stays on when the menu is shown again; Back returns.
  click("Cheats");
  EXPECT_EQ(cur_game_screen, cheat_menu_screen);
  EXPECT_FALSE(checked("Spells cost no mana"));
  click("Spells cost no mana");
  EXPECT_TRUE(checked("Spells cost no mana"));
  keys({KEY_ESC});
  EXPECT_EQ(cur_game_screen, game_menu_screen);
  click("Cheats");
  EXPECT_TRUE(checked("Spells cost no mana"));
  keys({KEY_SPACE});  // the focus is on the mana cheat
  EXPECT_FALSE(checked("Spells cost no mana"));

  // A smaller window: the menus are made again at its scale, the same menu shown.
  const float wide = cur_game_screen->root->children[0]->rect[2] - cur_game_screen->root->children[0]->rect[0];
  d3d_wd = 640, d3d_ht = 360;
  step();
  EXPECT_EQ(cur_game_screen, cheat_menu_screen);
  const float narrow = cur_game_screen->root->children[0]->rect[2] - cur_game_screen->root->children[0]->rect[0];
  EXPECT_FLOAT_EQ(narrow * 2, wide);
  click("Back");
  EXPECT_EQ(cur_game_screen, game_menu_screen);
  d3d_wd = 1280, d3d_ht = 720;
  step();
  gameobj_module.close_game_menu();
}

TEST_F(Menus, OptionsWriteTheSettingsStoreAndSayWhatWaitsForARestart)
{
  const bool ppaa = use_ppaa, vsync = app_use_vsync;
  app_use_vsync = isFullscreen = false;
  set_config_int("flags", 8);  // object shadows only
  set_config_str("gfx_quality", gfx_quality == 1 ? "high" : "low");
  gameobj_module.open_main_menu();
  click("Options");
  ASSERT_EQ(cur_game_screen, options_screen);
  EXPECT_TRUE(checked("Object shadows"));
  EXPECT_FALSE(checked("Anti-aliasing"));
  EXPECT_FALSE(need_game_restart);

  click(gfx_quality == 1 ? "Low" : "High");
  click("Anti-aliasing");
  keys({KEY_DOWN, KEY_DOWN, KEY_ENTER});  // from Anti-aliasing to Full screen
  int flags = 0;
  ASSERT_TRUE(get_config_int("flags", flags));
  EXPECT_EQ(flags, 8 | 2 | 1);
  char quality[16] = {};
  ASSERT_TRUE(get_config_str("gfx_quality", quality, sizeof(quality)));
  EXPECT_STREQ(quality, gfx_quality == 1 ? "low" : "high");
  EXPECT_TRUE(use_ppaa) << "anti-aliasing applies at once";
  EXPECT_TRUE(need_game_restart);
  EXPECT_NE(shown("Takes effect at the next start:"), nullptr);
  EXPECT_NE(shown("graphics quality, full screen (Alt-Enter switches now)"), nullptr);

  // Changed back, nothing waits.
  click(gfx_quality == 1 ? "High" : "Low");
  click("Full screen");
  EXPECT_FALSE(need_game_restart);
  keys({KEY_ESC});
  EXPECT_EQ(cur_game_screen, main_menu_screen);

  // A store that cannot be written: the screen says so.
  std::filesystem::remove(file());
  mkfifo(file().c_str(), 0600);
  click("Options");
  click("Vertical sync");
  EXPECT_NE(shown("The settings could not be saved"), nullptr);
  use_ppaa = ppaa;
  app_use_vsync = vsync;
  need_game_restart = false;
  gameobj_module.close_game_menu();
}
}  // namespace
