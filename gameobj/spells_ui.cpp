// The spells screen: the spell grid at the bottom of the screen (a cell per spell, its icon,
// the keys 1 to 9 over the first row), the mana bar and the chosen spell over it, the map in the
// top-right corner and the crosshair. In play the mouse looks and its left button throws the
// chosen spell at the land under the crosshair; keys 1 to 9 and the wheel choose. Tab opens the
// grid to the mouse: a click chooses a cell, a drag moves its spell to another cell (swapping
// with what is there), and resting on a cell shows the spell's name, cost and use.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/app_globals.h"
#include "app/camera.h"
#include "app/input.h"
#include "app/mode_keys.h"
#include "gui/dist_font.h"
#include "gui/dist_icons.h"
#include "gui/gui_draw.h"
#include "module.h"
#include "render/device.h"
#include "render/ui_render.h"

namespace
{
constexpr float PICK_RANGE = 100.f, PICK_STEP = 0.25f;
constexpr float PICK_UP_ANIM_TIME = 0.8f, NO_MANA_TIME = 1.5f;

// What the style sheets of a cell look at.
enum CellState : uint32_t
{
  CELL_HOVERED = 1,
  CELL_CHOSEN = 2,
  CELL_EMPTY = 4,
  CELL_POOR = 8,      // the player's mana does not pay for it
  CELL_HELD = 16,     // dragged away
  CELL_ARRIVING = 32  // its icon is still flying in
};

int chosen_cell = 0;
int held_cell = -1;
float no_mana_time = 0.f;

struct PickUpAnim
{
  int cell = -1;
  float x = 0.f, y = 0.f, t = 0.f;
};
PickUpAnim anims[8];

// Sizes of the last layout.
struct Layout
{
  float cell = 0.f, gap = 0.f, x0 = 0.f, y0 = 0.f, width = 0.f, map = 0.f;
} lay;

class SpellCell final : public BaseGuiElement
{
public:
  explicit SpellCell(int c) : cell(c) {}
  int cell;
  uint32_t flags = 0;  // CELL_EMPTY, CELL_POOR, CELL_HELD, CELL_ARRIVING
  uint32_t state() const
  {
    return flags | (getBool(GUI_PROP_HOVERED) ? CELL_HOVERED : 0u) | (getBool(GUI_PROP_CHECKED) ? CELL_CHOSEN : 0u);
  }
};

// The number of a first-row cell's key.
class CellKeyLabel final : public BaseGuiElement
{
};

class SpellsRoot final : public BaseGuiElement
{
public:
  void layout(float x0, float y0, float x1, float y1) override
  {
    BaseGuiElement::layout(x0, y0, x1, y1);
    const float h = y1 - y0, w = x1 - x0;
    lay.cell = std::clamp(std::round(h * 0.075f), 26.f, 72.f);
    lay.gap = std::max(2.f, std::round(lay.cell * 0.08f));
    lay.width = float(spell_grid_nx) * lay.cell + float(spell_grid_nx - 1) * lay.gap;
    lay.x0 = x0 + std::round((w - lay.width) * 0.5f);
    lay.y0 = y1 - std::round(lay.cell * 0.3f) - float(spell_grid_ny) * (lay.cell + lay.gap) + lay.gap;
    lay.map = std::clamp(std::round(h * 0.26f), 80.f, 260.f);
    for (int i = 0; i < children.size(); i++)
    {
      SpellCell *c = static_cast<SpellCell *>(children[i]);
      const float cx = lay.x0 + float(c->cell % spell_grid_nx) * (lay.cell + lay.gap);
      const float cy = lay.y0 + float(c->cell / spell_grid_nx) * (lay.cell + lay.gap);
      c->layout(cx, cy, cx + lay.cell, cy + lay.cell);
      for (int k = 0; k < c->children.size(); k++)
      {
        c->children[k]->layout(cx, cy, cx + lay.cell, cy + lay.cell);
        c->children[k]->setFloat(GUI_PROP_FONT_SIZE, std::max(9.f, lay.cell * 0.3f), false);
      }
    }
  }
};

SpellCell *cell_at(float x, float y)
{
  if (!spells_screen)
    return nullptr;
  return dynamic_cast<SpellCell *>(hit_test(spells_screen->root, x, y));
}

void choose_cell(int cell)
{
  if (spell_grid && cell >= 0 && cell < spell_grid_nx * spell_grid_ny)
    chosen_cell = cell;
}

// Moves the held spell to `to` (swapping with what is there); the choice follows the moved spell.
void drop_held(int to)
{
  const int from = held_cell;
  held_cell = -1;
  if (from < 0 || to < 0 || to == from || !spell_grid)
    return;
  std::swap(spell_grid[from], spell_grid[to]);
  if (chosen_cell == from)
    chosen_cell = to;
  else if (chosen_cell == to)
    chosen_cell = from;
}

// A cell's clicks and drags; the hover mark for its sheets.
class SpellCellBehavior final : public NewGuiEventHandler
{
public:
  SpellCellBehavior()
    : NewGuiEventHandler(GUI_EVENT_ENTER | GUI_EVENT_LEAVE | GUI_EVENT_BUTTON_DOWN | GUI_EVENT_BUTTON_UP)
  {
  }
  int handle(NewGuiEvent *event, BaseGuiElement *element, int) override
  {
    SpellCell *c = static_cast<SpellCell *>(element);
    const InputEvent &in = static_cast<NewGuiInputEvent *>(event)->input;
    switch (event->type)
    {
    case GUI_EVENT_ENTER:
    case GUI_EVENT_LEAVE:
      c->setBool(GUI_PROP_HOVERED, event->type == GUI_EVENT_ENTER);
      return GUI_HANDLED;
    case GUI_EVENT_BUTTON_DOWN:
      if (in.key == MOUSE_BUTTON_LEFT && spell_grid[c->cell])
        held_cell = c->cell;
      choose_cell(c->cell);
      return GUI_HANDLED;
    case GUI_EVENT_BUTTON_UP:
      if (in.key == MOUSE_BUTTON_LEFT && held_cell >= 0)
      {
        SpellCell *to = cell_at(in.x, in.y);
        drop_held(to ? to->cell : -1);
      }
      return GUI_HANDLED;
    }
    return GUI_NOT_HANDLED;
  }
  int action(BaseGuiElement *, NewGuiEvent *, float, float) override { return 0; }
};
SpellCellBehavior cell_behavior;

// Matches cells whose state has every bit of `need`, or the key labels.
class CellSelector final : public GuiSelector
{
public:
  explicit CellSelector(uint32_t n, bool label = false) : need(n), keyLabel(label) {}
  bool matches(BaseGuiElement *e) override
  {
    if (keyLabel)
      return dynamic_cast<CellKeyLabel *>(e) != nullptr;
    const SpellCell *c = dynamic_cast<SpellCell *>(e);
    return c && (c->state() & need) == need;
  }
  int specificity() override { return std::popcount(need); }
  uint32_t need;
  bool keyLabel;
};

void fill_spells_style()
{
  spells_style.clear();
  auto fade = [] { return new GuiTimedTransition(0.12f); };
  spells_style.addSheet(new CellSelector(0), GuiPropertyList()
                                               .behaviors("solid_box tooltip_box")
                                               .color(GUI_PROP_BACK_COLOR, 0xB0201810u)
                                               .color(GUI_PROP_EDGE_COLOR, 0xFF806040u)
                                               .num(GUI_PROP_EDGE_WIDTH, 1.5f)
                                               .num(GUI_PROP_RADIUS, 6.f)
                                               .num(GUI_PROP_SHADOW_SIZE, 4.f)
                                               .color(GUI_PROP_TEXT_COLOR, 0xFFF8F0E0u)
                                               .float4(GUI_PROP_PADDING, v_splats(2.f))
                                               .transition(fade(), {GUI_PROP_BACK_COLOR, GUI_PROP_EDGE_COLOR,
                                                                    GUI_PROP_EDGE_WIDTH, GUI_PROP_OPACITY})
                                               .take());
  spells_style.addSheet(new CellSelector(CELL_EMPTY), GuiPropertyList()
                                                        .color(GUI_PROP_BACK_COLOR, 0x70100C08u)
                                                        .color(GUI_PROP_EDGE_COLOR, 0x90504030u)
                                                        .take());
  spells_style.addSheet(new CellSelector(CELL_POOR),
                        GuiPropertyList().color(GUI_PROP_BACK_COLOR, 0xB0301010u).take());
  spells_style.addSheet(new CellSelector(CELL_HOVERED), GuiPropertyList()
                                                          .color(GUI_PROP_BACK_COLOR, 0xD0453522u)
                                                          .color(GUI_PROP_EDGE_COLOR, 0xFFE0C080u)
                                                          .take());
  spells_style.addSheet(new CellSelector(CELL_CHOSEN), GuiPropertyList()
                                                         .color(GUI_PROP_BACK_COLOR, 0xD0584418u)
                                                         .color(GUI_PROP_EDGE_COLOR, 0xFFFFD040u)
                                                         .num(GUI_PROP_EDGE_WIDTH, 3.f)
                                                         .take());
  spells_style.addSheet(new CellSelector(CELL_ARRIVING), GuiPropertyList()
                                                           .color(GUI_PROP_EDGE_COLOR, 0xFFFFF0A0u)
                                                           .num(GUI_PROP_EDGE_WIDTH, 3.f)
                                                           .take());
  spells_style.addSheet(new CellSelector(0, true), GuiPropertyList()
                                                     .color(GUI_PROP_TEXT_COLOR, 0xC0FFF0D0u)
                                                     .float4(GUI_PROP_PADDING, v_make(3.f, 1.f, 2.f, 2.f))
                                                     .add(new GuiProperty<int>(GUI_PROP_TEXT_ALIGN, 1 | 4))
                                                     .take());
}

BaseGuiScreen *create_spells_screen()
{
  BaseGuiScreen *s = new BaseGuiScreen;
  s->style = &spells_style;
  SpellsRoot *root = new SpellsRoot;
  for (int i = 0; i < spell_grid_nx * spell_grid_ny; i++)
  {
    SpellCell *c = new SpellCell(i);
    c->addBehavior(&cell_behavior);
    if (i < std::min(spell_grid_nx, 9))
    {
      CellKeyLabel *label = new CellKeyLabel;
      char key[2] = {char('1' + i), 0};
      label->setText(GUI_PROP_TEXT, key);
      c->addChild(label);
    }
    root->addChild(c);
  }
  s->setRoot(root);
  return s;
}

// After a module rebuild the executable has dropped the screens and emptied the styles: they are
// made again on first use.
bool ensure_spells_screen()
{
  if (!spell_grid)
    return false;
  if (spells_style.sheets.empty())
    fill_spells_style();
  spells_screen_Class::createScreen = create_spells_screen;
  if (!spells_screen)
    spells_screen = create_spells_screen();
  if (!tooltip_screen)
    init_tooltip();
  return true;
}

// The cells show the grid: icons, tooltips, the chosen one, what the mana pays for.
void sync_cells()
{
  const Player *p = local_player;
  BaseGuiElement *root = spells_screen->root;
  for (int i = 0; i < root->children.size(); i++)
  {
    SpellCell *c = static_cast<SpellCell *>(root->children[i]);
    const Spell *s = spell_grid[c->cell];
    uint32_t flags = 0;
    if (s)
    {
      const SpellInfo &info = get_spell(s->spell);
      char tip[GUI_TEXT_MAX + 1];
      snprintf(tip, sizeof(tip), "%s\nCosts %d mana\n%s", info.title, info.manaCost, info.what);
      c->setText(GUI_PROP_TOOLTIP, tip);
      if (p && !mana_cheat_on() && p->mana < float(info.manaCost))
        flags |= CELL_POOR;
    }
    else
    {
      c->setText(GUI_PROP_TOOLTIP, "");
      flags |= CELL_EMPTY;
    }
    if (c->cell == held_cell)
      flags |= CELL_HELD;
    for (const PickUpAnim &a : anims)
      if (a.cell == c->cell)
        flags |= CELL_ARRIVING;
    if (flags != c->flags)
    {
      c->flags = flags;
      c->markDirty();
    }
    c->setBool(GUI_PROP_CHECKED, c->cell == chosen_cell);
  }
}

void open_grid(bool open)
{
  if (open == spells_ui_active)
    return;
  spells_ui_active = open;
  if (!open)
    reset_game_ui_screen();
  else
    setMousePos(float(d3d_wd) * 0.5f, float(d3d_ht) * 0.5f);
}

// The wheel walks the filled cells (up: back, down: on), round the grid.
void wheel_choose(int notches)
{
  const int cells = spell_grid_nx * spell_grid_ny;
  const int dir = notches > 0 ? -1 : 1;
  for (int n = std::abs(notches); n > 0; n--)
    for (int k = 1; k < cells; k++)
    {
      int c = ((chosen_cell + dir * k) % cells + cells) % cells;
      if (spell_grid[c])
      {
        chosen_cell = c;
        break;
      }
    }
}

void throw_chosen_spell()
{
  const Spell *s = spell_grid[chosen_cell];
  if (!s)
    return;
  SpellAim aim;
  aim.eye = m44_row(cur_view_itm, 3);
  aim.dir = m44_row(cur_view_itm, 2);
  aim.hasLand = pick_land_point(aim.eye, aim.dir, aim.land);
  const Player *p = local_player;
  if (p && !mana_cheat_on() && p->mana < float(get_spell(s->spell).manaCost))
    no_mana_time = NO_MANA_TIME;
  else
    cast_spell(s->spell, aim);
}

// The colours of a spell icon's parts (the shape, its marks, its highlights).
struct IconColors
{
  const char *icon;
  D3dColor part[3];
};
const IconColors icon_colors[] = {
  {"hill", {0xFF6CC048u, 0xFF8A6A3Cu, 0xFFFFFFFFu}},
  {"pit", {0xFF9A7A52u, 0xFFFFE080u, 0}},
  {"fault", {0xFFB0A090u, 0xFFFFE080u, 0}},
  {"water_source", {0xFF48A8FFu, 0xFFFFFFFFu, 0}},
  {"water_sink", {0xFF2E5C9Cu, 0xFFFFFFFFu, 0}},
  {"house", {0xFFE8C890u, 0xFF7A4420u, 0}},
  {"castle", {0xFFC8C0B0u, 0xFF4C3420u, 0}},
  {"meteor", {0xFFFF9A30u, 0xFF7A5A40u, 0xFF3C2414u}},
  {"fireball", {0xFFFF5A18u, 0xFFFFA830u, 0xFFFFF0B0u}},
  {"waterball", {0xFF3070D0u, 0xFF80C8FFu, 0xFFFFFFFFu}},
  {"lightning", {0xFFFFE040u, 0, 0}},
  {"thunderstorm", {0xFF8C94A8u, 0xFFFFE040u, 0xFF80C0FFu}},
  {"healing", {0xFFF05070u, 0xFFFFFFFFu, 0}},
};

// Scales a colour's alpha by `k` (0..1).
D3dColor with_alpha(D3dColor c, float k)
{
  return (D3dColor(std::clamp(float(c >> 24) * k, 0.f, 255.f) + 0.5f) << 24) | (c & 0xFFFFFFu);
}

// A spell's icon in its colours (all parts in `tint` when it is not 0), with a drop shadow.
void draw_icon(int spell, float cx, float cy, float size, float alpha, D3dColor tint = 0)
{
  const char *name = get_spell(spell).icon;
  int id = ui_icons.getIconId(name);
  if (id < 0)
    return;
  D3dColor c[3] = {0xFFF8F0E0u, 0xFF403020u, 0xFFFFD040u};
  for (const IconColors &ic : icon_colors)
    if (!strcmp(ic.icon, name))
      std::copy(ic.part, ic.part + 3, c);
  for (D3dColor &k : c)
    k = with_alpha(tint && k ? tint : k, alpha);
  ui_icons.renderIcon(gui_batch, v_make(cx, cy, 1.f, 0.f), size / 64.f, id, 0, 2.5f, 2.5f, -1,
                      with_alpha(0xA0000000u, alpha), c[0], c[1], c[2], 0);
}

// The cells' icons: dim when the mana does not pay, faint when dragged away, none while flying in.
void draw_cell_icons()
{
  const BaseGuiElement *root = spells_screen->root;
  for (int i = 0; i < root->children.size(); i++)
  {
    const SpellCell *c = static_cast<const SpellCell *>(root->children[i]);
    const Spell *s = spell_grid[c->cell];
    if (!s || (c->flags & CELL_ARRIVING))
      continue;
    const float alpha = c->flags & CELL_HELD ? 0.35f : 1.f;
    draw_icon(s->spell, (c->rect[0] + c->rect[2]) * 0.5f, (c->rect[1] + c->rect[3]) * 0.5f + lay.cell * 0.04f,
              lay.cell * 0.7f, alpha, c->flags & CELL_POOR ? 0xFF706060u : 0);
  }
}

void draw_text_line(const char *text, float x0, float y0, float x1, float y1, int align, float size, D3dColor color)
{
  default_font.renderText(gui_batch, {x0, y0, x1, y1}, align, color, size, text, -1, 0, 8, 8, -1, 0xA0000000u);
}

void draw_crosshair()
{
  const float cx = std::round(float(d3d_wd) * 0.5f), cy = std::round(float(d3d_ht) * 0.5f);
  const float len = std::max(5.f, float(d3d_ht) * 0.012f);
  for (int k = 0; k < 2; k++)
  {
    BatchRect r = k ? BatchRect{cx - len, cy - 1.f, cx + len, cy + 1.f} : BatchRect{cx - 1.f, cy - len, cx + 1.f, cy + len};
    render_rounded_box(gui_batch, r, v_splats(1.f), 0xE0FFFFFFu, 1.f, 0, 0, 0, 0x90000000u, -1);
  }
}

// The chosen spell's name and cost over the bar, the bar, the mana in numbers on it.
void draw_mana_bar()
{
  const Player *p = local_player;
  const float h = std::max(8.f, std::round(lay.cell * 0.28f)), fs = std::max(10.f, lay.cell * 0.32f);
  const float x0 = lay.x0, x1 = lay.x0 + lay.width, y1 = lay.y0 - lay.gap * 2.f, y0 = y1 - h;
  const bool unlimited = mana_cheat_on();
  const float share = unlimited ? 1.f : std::clamp(p->mana / PLAYER_MAX_MANA, 0.f, 1.f);
  const bool flash = no_mana_time > 0.f && std::fmod(no_mana_time, 0.3f) > 0.15f;
  render_rounded_box(gui_batch, {x0, y0, x1, y1}, v_splats(h * 0.5f), 0xC0100C08u, 1.5f, 0, 1.f, 0,
                     flash ? 0xFFFF4040u : 0xFF806040u, 3.f);
  if (share > 0.f)
    render_rounded_box(gui_batch, {x0 + 2.f, y0 + 2.f, x0 + 2.f + (x1 - x0 - 4.f) * share, y1 - 2.f},
                       v_splats(h * 0.5f - 2.f), unlimited ? 0xFFE0B040u : 0xFF3C78F0u, 0.5f, 0, 0, 0,
                       0xFF80B0FFu, -1);
  char line[96];
  if (unlimited)
    snprintf(line, sizeof(line), "mana: unlimited");
  else
    snprintf(line, sizeof(line), "%d / %d", int(p->mana), int(PLAYER_MAX_MANA));
  draw_text_line(line, x0, y0, x1, y1, 0, h * 0.8f, 0xFFFFFFFFu);
  const Spell *s = spell_grid[chosen_cell];
  if (no_mana_time > 0.f)
    snprintf(line, sizeof(line), "Not enough mana");
  else if (s)
    snprintf(line, sizeof(line), "%s  -  %d mana", get_spell(s->spell).title, get_spell(s->spell).manaCost);
  else
    snprintf(line, sizeof(line), "(empty cell)");
  draw_text_line(line, x0, y0 - fs * 1.5f, x1, y0 - 2.f, 0, fs, no_mana_time > 0.f ? 0xFFFF8080u : 0xFFFFF0D0u);
  if (!spells_ui_active)
    draw_text_line("Tab: spell book", x1 + lay.gap * 3.f, y1, x1 + 400.f, y1 + lay.cell, 1 | 4, fs * 0.8f,
                   0xA0FFFFFFu);
}

void draw_pick_up_anims()
{
  for (const PickUpAnim &a : anims)
  {
    if (a.cell < 0 || !spell_grid[a.cell])
      continue;
    // From where the spell lay to its cell, eased, shrinking from twice the cell's size.
    const float k = std::clamp(a.t / PICK_UP_ANIM_TIME, 0.f, 1.f), e = k * k * (3.f - 2.f * k);
    const float tx = lay.x0 + float(a.cell % spell_grid_nx) * (lay.cell + lay.gap) + lay.cell * 0.5f;
    const float ty = lay.y0 + float(a.cell / spell_grid_nx) * (lay.cell + lay.gap) + lay.cell * 0.5f;
    const float x = a.x + (tx - a.x) * e, y = a.y + (ty - a.y) * e - std::sin(k * 3.14159f) * lay.cell * 1.5f;
    const float size = lay.cell * 0.78f * (2.f - e);
    render_rounded_box(gui_batch, {x - size * 0.6f, y - size * 0.6f, x + size * 0.6f, y + size * 0.6f},
                       v_splats(size * 0.6f), 0x40FFD060u, 0.5f, 0, 0, size * 0.2f, 0x80FFC040u, size * 0.3f);
    draw_icon(spell_grid[a.cell]->spell, x, y, size, 1.f);
  }
}
}  // namespace

bool pick_land_point(vec4f from, vec4f dir, vec4f &out)
{
  float len = std::sqrt(v_extract_x(dir) * v_extract_x(dir) + v_extract_y(dir) * v_extract_y(dir) +
                        v_extract_z(dir) * v_extract_z(dir));
  if (!(len > 0.f) || !std::isfinite(len))
    return false;
  dir = dir * (1.f / len);
  vec4f prev = from;
  for (float t = PICK_STEP; t <= PICK_RANGE; t += PICK_STEP)
  {
    vec4f p = from + dir * t;
    if (v_extract_y(p) <= get_floor_height(v_extract_x(p), v_extract_z(p)))
    {
      // Halve the last step a few times for the crossing.
      for (int k = 0; k < 6; k++)
      {
        vec4f mid = (prev + p) * 0.5f;
        if (v_extract_y(mid) <= get_floor_height(v_extract_x(mid), v_extract_z(mid)))
          p = mid;
        else
          prev = mid;
      }
      out = v_set(p, 1, get_floor_height(v_extract_x(p), v_extract_z(p)));
      return true;
    }
    prev = p;
  }
  return false;
}

bool world_to_screen(vec4f p, float &x, float &y)
{
  const Matrix44 &m = cur_glob_tm;
  vec4f c = m44_row(m, 0) * v_extract_x(p) + m44_row(m, 1) * v_extract_y(p) + m44_row(m, 2) * v_extract_z(p) +
            m44_row(m, 3);
  const float w = v_extract_w(c);
  if (!(w > 1e-3f))
    return false;
  x = (v_extract_x(c) / w * 0.5f + 0.5f) * float(d3d_wd);
  y = (0.5f - v_extract_y(c) / w * 0.5f) * float(d3d_ht);
  return std::isfinite(x) && std::isfinite(y);
}

void init_spells_ui()
{
  init_ui_assets();
  init_spell_grid();
  init_map_ui();
  chosen_cell = 0;
  held_cell = -1;
  spells_ui_active = false;
  crosshair_type = 1;
  ensure_spells_screen();
}

void close_spells_ui()
{
  delete_gui_screen(spells_screen);
  spells_screen = nullptr;
  delete_gui_screen(tooltip_screen);
  tooltip_screen = nullptr;
  spells_style.clear();
  tooltip_style.clear();
  close_spell_grid();
  close_ui_assets();
}

void spells_ui_after_resize()
{
  if (spells_screen)
    spells_screen->restyle();
}

void set_game_ui_screen()
{
  if (ensure_spells_screen())
    cur_game_screen = spells_screen;
}

void reset_game_ui_screen()
{
  held_cell = -1;
  spells_ui_active = false;
  hide_tooltip();
  if (spells_screen)
    spells_screen->resetState();
}

void start_spell_pick_up_anim(int cell, vec4f from)
{
  PickUpAnim *slot = &anims[0];
  for (PickUpAnim &a : anims)
    if (a.cell < 0 || a.t > slot->t)
      slot = &a;
  slot->cell = cell;
  slot->t = 0.f;
  if (!world_to_screen(from, slot->x, slot->y))
  {
    slot->x = float(d3d_wd) * 0.5f;
    slot->y = float(d3d_ht) * 0.5f;
  }
}

void update_spells_ui(float dt)
{
  if (!ensure_spells_screen())
    return;
  cur_game_screen = spells_screen;
  start_player_spells();
  no_mana_time = std::max(0.f, no_mana_time - dt);
  for (PickUpAnim &a : anims)
    if (a.cell >= 0 && (a.t += dt) >= PICK_UP_ANIM_TIME)
      a.cell = -1;
  if (keyDown(KEY_TAB))
    open_grid(!spells_ui_active);
  // Development: every spell at once.
  if (getKeyState(VK_CONTROL_KEY) && keyDown('L'))
    add_all_spells();
  for (int i = 0; i < std::min(spell_grid_nx, 9); i++)
    if (keyDown('1' + i))
      choose_cell(i);
  if (int wheel = getMouseWheel())
    wheel_choose(wheel);
  if (spells_ui_active)
    spells_screen->processInput();
  else if (keyDown(MOUSE_BUTTON_LEFT))
    throw_chosen_spell();
  update_tooltip();
  crosshair_type = spells_ui_active ? 0 : 1;
  sync_cells();
  spells_screen->restyle();
  update_gui_animators(spells_screen->root, dt);
}

bool update_spells_ui_mouse(float)
{
  if (spells_ui_active)
    shouldHideMouse = false;
  return spells_ui_active;
}

void draw_spells_ui(float dt)
{
  // Nothing to draw with before the device's interface resources exist.
  if (!local_player || !get_rounded_box_state()->shader || !ensure_spells_screen())
    return;
  spells_screen->restyle();
  if (crosshair_type)
    draw_crosshair();
  draw_gui_tree(gui_batch, spells_screen->root);
  draw_cell_icons();
  draw_mana_bar();
  draw_pick_up_anims();
  draw_map_ui(float(d3d_wd) - lay.map - 12.f, 12.f, lay.map);
  if (spells_ui_active)
  {
    float mx = 0.f, my = 0.f;
    getMousePos(&mx, &my);
    if (held_cell >= 0 && spell_grid[held_cell])
      draw_icon(spell_grid[held_cell]->spell, mx, my, lay.cell * 0.8f, 0.9f);
    render_tooltip();
  }
  start_dist_font_render();
  gui_batch.render();
  end_dist_font_render();
  gui_batch.clear();
}
