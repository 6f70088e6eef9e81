// The options screen over the settings store: graphics quality, object shadows, anti-aliasing,
// vertical sync and full screen. Each change is written at once. Anti-aliasing and object shadows
// apply at once too; the others are read when the game starts, and the screen says which of
// them wait for the next start (need_game_restart is set while any does).
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "app/app_globals.h"
#include "app/settings.h"
#include "menu.h"
#include "module.h"
#include "render/device.h"

namespace
{
// Bits of the stored `flags`.
enum
{
  FLAG_FULLSCREEN = 1,
  FLAG_ANTIALIAS = 2,
  FLAG_VSYNC = 4,
  FLAG_OBJ_SHADOWS = 8,
};

// The stored settings, or the running values where nothing is stored.
struct StoredOptions
{
  int flags = 0;
  int quality = 0;  // index of gfx_quality_name
};

StoredOptions read_options()
{
  StoredOptions o;
  o.flags = (isFullscreen ? FLAG_FULLSCREEN : 0) | (use_ppaa ? FLAG_ANTIALIAS : 0) | (app_use_vsync ? FLAG_VSYNC : 0) |
            (use_obj_shadows ? FLAG_OBJ_SHADOWS : 0);
  get_config_int("flags", o.flags);
  o.quality = gfx_quality;
  char name[32] = {};
  if (get_config_str("gfx_quality", name, sizeof(name)))
    for (int i = 0; gfx_quality_name[i]; i++)
      if (!strcasecmp(name, gfx_quality_name[i]))
        o.quality = i;
  return o;
}

class OptionsScreen final : public MenuScreen
{
public:
  MenuElement *quality[2], *checks[4], *waiting, *waitingList;
  static constexpr int CHECK_FLAGS[4] = {FLAG_OBJ_SHADOWS, FLAG_ANTIALIAS, FLAG_VSYNC, FLAG_FULLSCREEN};
  bool saveFailed = false;

  OptionsScreen()
  {
    MenuElement *p = makePanel(560, 580, "Options");
    addText("caption", "Graphics quality", 50, 100, 270, 140, p);
    auto *group = new MenuElement("group", 290, 98, 510, 142, p);
    const char *names[2] = {"Low", "High"};
    for (int i = 0; i < 2; i++)
    {
      quality[i] = addEntry("radio", names[i], nullptr, float(i * 115), 0, float(i * 115 + 105), 44, group);
      quality[i]->changeListeners.add([this, i](bool on) {
        if (on)
          save(set_config_str("gfx_quality", gfx_quality_name[i]));
      });
    }
    const char *labels[4] = {"Object shadows", "Anti-aliasing", "Vertical sync", "Full screen"};
    for (int i = 0; i < 4; i++)
      checks[i] = addCheck(labels[i], 50, float(160 + i * 50), 510, float(202 + i * 50), p);
    for (int i = 0; i < 4; i++)
      checks[i]->changeListeners.add([this](bool) { save(set_config_int("flags", shownFlags())); });
    waiting = addText("note", "", 20, 364, 540, 396, p);
    waitingList = addText("note", "", 20, 396, 540, 428, p);
    addEntry("button", "Back", "back", 170, 448, 390, 504, p)->clickListeners.add([](BaseGuiElement *, int) {
      show_menu(menu_opened_from());
    });
    addText("hint", "Esc: back", 0, 520, 560, 556, p);
  }

  int shownFlags() const
  {
    int f = 0;
    for (int i = 0; i < 4; i++)
      f |= checks[i]->getBool(GUI_PROP_CHECKED) ? CHECK_FLAGS[i] : 0;
    return f;
  }

  // After a write: what applies now is applied, and the note tells what waits for a start.
  void save(bool ok)
  {
    saveFailed = saveFailed || !ok;
    use_ppaa = checks[1]->getBool(GUI_PROP_CHECKED);
    use_obj_shadows = checks[0]->getBool(GUI_PROP_CHECKED);
    showWaiting();
  }

  void showWaiting()
  {
    const int f = shownFlags();
    char list[128] = "";
    auto add = [&](bool differs, const char *name) {
      if (differs)
        snprintf(list + strlen(list), sizeof(list) - strlen(list), "%s%s", *list ? ", " : "", name);
    };
    add(quality[1]->getBool(GUI_PROP_CHECKED) != (gfx_quality == 1), "graphics quality");
    add(((f & FLAG_VSYNC) != 0) != app_use_vsync, "vertical sync");
    add(((f & FLAG_FULLSCREEN) != 0) != isFullscreen, "full screen (Alt-Enter switches now)");
    need_game_restart = *list != 0;
    if (saveFailed)
      waiting->setText(GUI_PROP_TEXT, "The settings could not be saved");
    else
      waiting->setText(GUI_PROP_TEXT, need_game_restart ? "Takes effect at the next start:" : "");
    waitingList->setText(GUI_PROP_TEXT, saveFailed ? "" : list);
  }

  void refresh() override
  {
    const StoredOptions o = read_options();
    for (int i = 0; i < 2; i++)
      set_checked(quality[i], o.quality == i);
    for (int i = 0; i < 4; i++)
      set_checked(checks[i], (o.flags & CHECK_FLAGS[i]) != 0);
    saveFailed = false;
    showWaiting();
  }

  void back() override { show_menu(menu_opened_from()); }
};
}  // namespace

BaseGuiScreen *create_options_screen() { return new OptionsScreen; }
