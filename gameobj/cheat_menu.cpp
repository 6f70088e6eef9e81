// The cheat menu, for trying the game out while developing it: spells without mana, a full
// mana bar, monsters switched on or off or cleared away, every spell on the grid. The monster and
// spell grid cheats call the module's functions by their interface names, so they reach whatever
// those names do in this build.
#include "menu.h"
#include "module.h"

extern "C" __attribute__((visibility("default"))) void *get_gameobj_func_by_name(const char *name);

namespace
{
void call_by_name(const char *name)
{
  if (void *fn = get_gameobj_func_by_name(name))
    reinterpret_cast<void (*)()>(fn)();
}

class CheatMenuScreen final : public MenuScreen
{
public:
  MenuElement *manaCheat;

  CheatMenuScreen()
  {
    MenuElement *p = makePanel(480, 560, "Cheats");
    manaCheat = addCheck("Spells cost no mana", 50, 104, 430, 146, p);
    manaCheat->changeListeners.add([](bool on) {
      if (on != mana_cheat_on())
        toggle_mana_cheat();
    });
    struct Action
    {
      const char *label, *icon;
      void (*fn)();
    };
    static const Action actions[] = {
      {"Fill the mana", "mana",
       [] {
         if (Player *p = get_local_player())
           p->mana = PLAYER_MAX_MANA;
       }},
      {"Monsters on/off", "lightning", [] { call_by_name("toggle_monster_spawn"); }},
      {"Remove all monsters", "close", [] { call_by_name("remove_all_monsters"); }},
      {"Add all spells", "fireball", [] { call_by_name("add_all_spells"); }},
    };
    for (int i = 0; i < 4; i++)
    {
      void (*fn)() = actions[i].fn;
      addEntry("button", actions[i].label, actions[i].icon, 50, float(164 + i * 64), 430, float(214 + i * 64), p)
        ->clickListeners.add([fn](BaseGuiElement *, int) { fn(); });
    }
    addEntry("button", "Back", "back", 130, 434, 350, 490, p)->clickListeners.add([](BaseGuiElement *, int) {
      show_menu(menu_opened_from());
    });
    addText("hint", "Esc: back", 0, 506, 480, 542, p);
  }
  void refresh() override { set_checked(manaCheat, mana_cheat_on()); }
  void back() override { show_menu(menu_opened_from()); }
};
}  // namespace

BaseGuiScreen *create_cheat_menu_screen() { return new CheatMenuScreen; }
