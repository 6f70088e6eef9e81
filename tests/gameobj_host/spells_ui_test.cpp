// The spells screen of the game's module, driven headless as play mode drives it: input events
// go through the input queue, then the objects' step and the screen's step run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "app/camera.h"
#include "app/gui_links.h"
#include "app/input.h"
#include "gameobj_host/game_obj.h"
#include "gameobj_host/gameobj_loader.h"
#include "gameobj_host/gameobj_module.h"
#include "platform/timer.h"
#include "render/device.h"
#include "gui/gui_draw.h"
#include "script/sq_vm.h"
#include "script/world_gen.h"
#include "script/world_script.h"
#include "support/visual_log.h"
#include "terrain/game_rnd.h"

namespace
{
constexpr int KEY_TAB = 9;

struct SpellsUi : testing::Test
{
  static void SetUpTestSuite()
  {
    init_timer();
    d3d_wd = 1280;
    d3d_ht = 720;
    connect_gui_links();
    init_input(nullptr);
    load_gameobj_module(QM_MODULE_FILE);
    init_world_gen_vm(QM_SOURCE_DIR "/bin/gen/main.nut");
    gameobj_module.init_spells_ui();
    ASSERT_FALSE(has_error_message()) << get_error_message();
  }
  static void TearDownTestSuite()
  {
    close_world_gen_vm();
    gameobj_module.remove_all_gameobj();
    gameobj_module.close_spells_ui();
    unbind_gameobj_module();
    release_gameobj_lists();
  }
  void SetUp() override
  {
    game_rnd_seed = 7;
    generate_world("game");
    step();
  }
  // One play step: the world's objects, then the spells screen, then the step's input is gone.
  static void step()
  {
    gameobj_module.update_gameobj(0.05f);
    gameobj_module.update_spells_ui(0.05f);
    clear_input_step();
  }
  static std::string cell(int i)
  {
    return spell_grid[i] ? reinterpret_cast<BaseObject *>(spell_grid[i])->getClassName() : "";
  }
  static void centre_of(int i, float &x, float &y)
  {
    const float *r = spells_screen->root->children[i]->rect;
    x = (r[0] + r[2]) * 0.5f;
    y = (r[1] + r[3]) * 0.5f;
  }
  static void key(int vk)
  {
    post_input_event(INPUT_KEY_DOWN, vk, 0, 0, 0, 0);
    post_input_event(INPUT_KEY_UP, vk, 0, 0, 0, 0);
    step();
  }
  // Press on cell `from`, move with the button held, release at (x, y).
  static void drag(int from, float x, float y)
  {
    float fx, fy;
    centre_of(from, fx, fy);
    post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, fx, fy);
    post_input_event(INPUT_BUTTON_DOWN, MOUSE_BUTTON_LEFT, 0, INPUT_FLAG_LBUTTON, fx, fy);
    post_input_event(INPUT_MOUSE_MOVE, 0, 0, INPUT_FLAG_LBUTTON, x, y);
    post_input_event(INPUT_BUTTON_UP, MOUSE_BUTTON_LEFT, 0, 0, x, y);
    step();
  }
  // The value of script text `return ...` in the world machine, as text ("error" when it fails).
  static std::string run(const std::string &src)
  {
    HSQUIRRELVM v = get_world_script_vm();
    SQInteger top = sq_gettop(v);
    std::string out = "error";
    const SQChar *s = nullptr;
    if (compile_buffer(v, src.c_str(), SQInteger(src.size()), "test.nut"))
    {
      sq_pushroottable(v);
      if (SQ_SUCCEEDED(sq_call(v, 1, SQTrue, SQFalse)) && SQ_SUCCEEDED(sq_tostring(v, -1)) &&
          SQ_SUCCEEDED(sq_getstring(v, -1, &s)))
        out = s;
    }
    sq_settop(v, top);
    return out;
  }
  static float mana() { return std::stof(run("return get_mana()")); }
  static int chosen()
  {
    for (int i = 0; i < spells_screen->root->children.size(); i++)
      if (spells_screen->root->children[i]->getBool(GUI_PROP_CHECKED))
        return i;
    return -1;
  }
  static std::string tooltip() { return tooltip_screen->root->getText(GUI_PROP_TEXT); }
};

// A new game starts with six spells in their own cells and hides the other seven over the land;
// walking into one puts it in its cell; a new world starts the grid again, with no cell left
// pointing at an object of the old one.
TEST_F(SpellsUi, NewGameGivesSomeSpellsAndHidesTheRest)
{
  const char *expect[18] = {"HillSpell", "PitSpell", "", "WaterSourceSpell", "WaterSinkSpell", "HouseSpell", "", "",
                            "FireballSpell"};
  const int cells = spell_grid_nx * spell_grid_ny;
  ASSERT_EQ(cells, 18);
  for (int i = 0; i < cells; i++)
    EXPECT_EQ(cell(i), expect[i] ? expect[i] : "") << i;
  ASSERT_EQ(Spell_list.size(), 13);
  const std::string start = run("local p = get_local_player().getPos(); return p[0] + \",\" + p[2]");
  const float sx = std::stof(start), sz = std::stof(start.substr(start.find(',') + 1));
  int lying = 0, last = -1;
  for (int i = 0; i < Spell_list.size(); i++)
  {
    bool in_grid = false;
    for (int c = 0; c < cells; c++)
      in_grid |= spell_grid[c] == Spell_list[i];
    if (in_grid)
      continue;
    lying++;
    last = i;
    // One object of each spell's class.
    const std::string at = std::string("find_objects(\"") +
                           reinterpret_cast<BaseObject *>(Spell_list[i])->getClassName() + "\")[0].getPos()";
    const float x = std::stof(run("return " + at + "[0]")), y = std::stof(run("return " + at + "[1]")),
                z = std::stof(run("return " + at + "[2]"));
    const float d = std::hypot(std::remainder(x - sx, 256.f), std::remainder(z - sz, 256.f));
    EXPECT_TRUE(d > 29.f && d < 111.f) << d;
    EXPECT_GT(y, gameobj_module.get_land_height(x, z));
  }
  EXPECT_EQ(lying, 7);
  // Walking into the last one.
  const std::string name = reinterpret_cast<BaseObject *>(Spell_list[last])->getClassName();
  EXPECT_EQ(run("get_local_player().setPos(find_objects(\"" + name + "\")[0].getPos() - vec4f(0, 0.8, 0, 0)); return 1"),
            "1");
  step();
  int taken = -1;
  for (int c = 0; c < cells; c++)
    if (cell(c) == name)
      taken = c;
  EXPECT_GE(taken, 0) << name;
  EXPECT_EQ(Spell_list.size(), 13);

  game_rnd_seed = 8;
  generate_world("game");
  for (int c = 0; c < cells; c++)
    ASSERT_EQ(spell_grid[c], nullptr) << c;
  step();
  for (int i = 0; i < cells; i++)
    EXPECT_EQ(cell(i), expect[i] ? expect[i] : "") << i;
}

// Spell objects made by class id (as scripts or tools may) know their spell from their class:
// one of the book goes into its cell when walked into; one that is no spell of the book (the
// portal's, the bare base class) is never taken and breaks nothing.
TEST_F(SpellsUi, SpellsMadeByIdAreTakenByTheirClass)
{
  int id = 0, ids[3] = {};
  const char *names[3] = {"MeteorSpell", "UsePortalSpell", "Spell"};
#define QM_CLASS_INDEX(C)              \
  id++;                                \
  for (int k = 0; k < 3; k++)          \
    if (!strcmp(#C, names[k]))         \
      ids[k] = id;
  QM_GAMEOBJ_CLASSES(QM_CLASS_INDEX)
#undef QM_CLASS_INDEX
  for (int k = 0; k < 3; k++)
  {
    SCOPED_TRACE(names[k]);
    const std::string at = std::string("find_objects(\"") + names[k] + "\")";
    if (k > 0)  // the meteor's own object lies somewhere already
    {
      ASSERT_EQ(run("return " + at + ".len()"), "0");
    }
    ASSERT_NE(gameobj_module.new_gameobj_by_id(ids[k]), nullptr);
    step();
    run("get_local_player().setPos(" + at + "[" + at + ".len() - 1].getPos() - vec4f(0, 0.8, 0, 0))");
    step();
    step();
    EXPECT_EQ(cell(7), "MeteorSpell");
    EXPECT_EQ(run("return " + at + ".len()"), k == 0 ? "2" : "1");  // the meteor: one in its cell, one to find
  }
}

// Keys 1 to 9 and the wheel choose; Tab gives the grid the mouse, where a drag moves a spell to
// an empty cell or swaps two, a drop off the grid changes nothing, and a resting pointer shows
// the spell's tooltip.
TEST_F(SpellsUi, KeysWheelAndMouseWorkTheGrid)
{
  key('2');
  EXPECT_EQ(cell(chosen()), "PitSpell");
  key('9');
  EXPECT_EQ(cell(chosen()), "FireballSpell");
  post_input_event(INPUT_WHEEL, 1, 0, 0, 0, 0);
  step();
  EXPECT_EQ(cell(chosen()), "HouseSpell");  // back to the filled cell before
  post_input_event(INPUT_WHEEL, -2, 0, 0, 0, 0);
  step();
  EXPECT_EQ(cell(chosen()), "HillSpell");  // on past the fireball, round the grid

  EXPECT_FALSE(gameobj_module.update_spells_ui_mouse(0.f));
  key(KEY_TAB);
  EXPECT_TRUE(spells_ui_active);
  EXPECT_TRUE(gameobj_module.update_spells_ui_mouse(0.f));
  float x, y;
  centre_of(3, x, y);
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, x, y);
  step();
  EXPECT_EQ(tooltip(), "Water source\nCosts 30 mana\nOpens a spring that pours water for a minute.");
  centre_of(12, x, y);
  drag(0, x, y);
  EXPECT_EQ(cell(12), "HillSpell");
  EXPECT_EQ(cell(0), "");
  EXPECT_EQ(chosen(), 12);  // the choice follows the moved spell
  centre_of(1, x, y);
  drag(12, x, y);
  EXPECT_EQ(cell(1), "HillSpell");
  EXPECT_EQ(cell(12), "PitSpell");
  drag(1, 5.f, 5.f);
  EXPECT_EQ(cell(1), "HillSpell");
  post_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, 5.f, 5.f);
  step();
  EXPECT_EQ(tooltip(), "");
  key(KEY_TAB);
  EXPECT_FALSE(spells_ui_active);
}

// With the grid closed the left button throws the chosen spell at the land under the crosshair
// while the mana lasts; then nothing is thrown and nothing spent.
TEST_F(SpellsUi, LeftButtonThrowsTheChosenSpellWhileTheManaLasts)
{
  vec4f eye = gameobj_module.get_local_player_eye(gameobj_module.get_local_player());
  // Looking ahead and down at the land.
  m44_set_row(cur_view_itm, 0, v_make(1.f, 0.f, 0.f, 0.f));
  m44_set_row(cur_view_itm, 1, v_make(0.f, 0.7071f, 0.7071f, 0.f));
  m44_set_row(cur_view_itm, 2, v_make(0.f, -0.7071f, 0.7071f, 0.f));
  m44_set_row(cur_view_itm, 3, v_set(eye, 3, 1.f));
  key('1');
  float before = mana();
  int thrown = 0;
  for (int n = 0; n < 20; n++)
  {
    post_input_event(INPUT_BUTTON_DOWN, MOUSE_BUTTON_LEFT, 0, INPUT_FLAG_LBUTTON, 640.f, 360.f);
    post_input_event(INPUT_BUTTON_UP, MOUSE_BUTTON_LEFT, 0, 0, 640.f, 360.f);
    step();
    const float now = mana();
    if (now < before)
    {
      thrown++;
      EXPECT_NEAR(now, before - 20.f + 0.15f, 0.01f);  // a step's regain
    }
    before = now;
  }
  EXPECT_EQ(thrown, 15);  // 300 mana, and a little back each step
  EXPECT_GT(HillMissile_list.size(), 0);
}
}  // namespace
