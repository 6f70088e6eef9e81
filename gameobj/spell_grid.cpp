// The spell grid: the spells the player owns, one Spell object per cell of spell_grid
// (spell_grid_nx by spell_grid_ny cells, row by row, null cells empty), and the spells still lying
// in the world, which a player takes by walking into them. A new player starts with a few cheap
// spells; the others wait at places across the world, marked on the map.
#include <cmath>
#include <cstring>

#include "gameobj_host/gameobj_module.h"
#include "world_render/fx_script.h"
#include "module.h"

namespace
{
// The object class of each spell of the book.
const struct
{
  const char *name;
  int classId;
} spell_classes[] = {
  {"hill", CLASS_ID_HillSpell},
  {"pit", CLASS_ID_PitSpell},
  {"fault", CLASS_ID_FaultSpell},
  {"water_source", CLASS_ID_WaterSourceSpell},
  {"water_sink", CLASS_ID_WaterSinkSpell},
  {"house", CLASS_ID_HouseSpell},
  {"castle", CLASS_ID_CastleSpell},
  {"meteor", CLASS_ID_MeteorSpell},
  {"fireball", CLASS_ID_FireballSpell},
  {"waterball", CLASS_ID_WaterballSpell},
  {"lightning", CLASS_ID_LightningSpell},
  {"thunderstorm", CLASS_ID_ThunderstormSpell},
  {"healing", CLASS_ID_HealingSpell},
};
static_assert(sizeof(spell_classes) / sizeof(spell_classes[0]) == NUM_SPELLS);

const char *const initial_spells[] = {"hill", "pit", "water_source", "water_sink", "house", "fireball"};

// A spell in the world hovers this high over the land or water and is taken within this reach.
constexpr float SPELL_HOVER = 1.4f, SPELL_TAKE_REACH = 1.6f;

int spell_class_id(int spell)
{
  for (const auto &c : spell_classes)
    if (find_spell(c.name) == spell)
      return c.classId;
  return CLASS_ID_NONE;
}

// The book's index of a spell class; -1 for a class that is no spell of the book. Objects made
// without new_spell (by id) learn their index from their class.
int book_index(Spell *s)
{
  if (s->spell < 0)
    for (const auto &c : spell_classes)
      if (c.classId == s->classId)
        s->spell = find_spell(c.name);
  return s->spell;
}

int free_cell_for(int spell)
{
  const int cells = spell_grid_nx * spell_grid_ny;
  // The spell's own cell (its place in the book) when free, else the first free one.
  if (spell >= 0 && spell < cells && !spell_grid[spell])
    return spell;
  for (int i = 0; i < cells; i++)
    if (!spell_grid[i])
      return i;
  return -1;
}

float wrapped_delta(float d) { return std::remainder(d, float(HMAP_SIZE)); }
}  // namespace

void init_spell_grid()
{
  const int cells = SPELL_GRID_NX * SPELL_GRID_NY;
  if (!spell_grid || spell_grid_nx * spell_grid_ny != cells)
  {
    delete[] spell_grid;
    spell_grid = new Spell *[cells];
    spell_grid_nx = SPELL_GRID_NX;
    spell_grid_ny = SPELL_GRID_NY;
  }
  for (int i = 0; i < cells; i++)
    spell_grid[i] = nullptr;
  for (int i = 0; i < Spell_list.size(); i++)
    Spell_list[i]->inGrid = false;
}

void close_spell_grid()
{
  delete[] spell_grid;
  spell_grid = nullptr;
  spell_grid_nx = spell_grid_ny = 0;
}

Spell *new_spell(int spell)
{
  int id = spell_class_id(spell);
  if (id == CLASS_ID_NONE)
    return nullptr;
  Spell *s = static_cast<Spell *>(new_gameobj_by_id(id));
  s->spell = spell;
  return s;
}

int find_spell_in_grid(int spell)
{
  for (int i = 0; spell_grid && i < spell_grid_nx * spell_grid_ny; i++)
    if (spell_grid[i] && spell_grid[i]->spell == spell)
      return i;
  return -1;
}

int add_spell_to_grid(Spell *s)
{
  if (!s || !spell_grid || s->inGrid || book_index(s) < 0)
    return -1;
  int cell = free_cell_for(s->spell);
  if (cell < 0)
    return -1;
  spell_grid[cell] = s;
  s->inGrid = true;
  return cell;
}

bool pick_up_spell(Spell *s)
{
  if (!s || s->inGrid || (s->objFlags & OBJ_DESTROYED) || book_index(s) < 0)
    return false;
  if (find_spell_in_grid(s->spell) >= 0)
  {
    // Known already: the find melts into the player.
    call_fx_script("sparks", s->pos, v_make(0.f, 2.f, 0.f, 0.f), v_make(1.f, 0.85f, 0.4f, 1.f), 8.f);
    s->destroy();
    return true;
  }
  vec4f at = s->pos;
  int cell = add_spell_to_grid(s);
  if (cell < 0)
    return false;  // no free cell: it stays where it lies
  call_fx_script("sparks", at, v_make(0.f, 2.f, 0.f, 0.f), v_make(1.f, 0.85f, 0.4f, 1.f), 12.f);
  start_spell_pick_up_anim(cell, at);
  return true;
}

namespace
{
// Gives the player a spell it lacks, straight into the grid (nothing when the grid is full).
void give_spell(int spell)
{
  if (find_spell_in_grid(spell) >= 0)
    return;
  Spell *s = new_spell(spell);
  if (s && add_spell_to_grid(s) < 0)
    s->destroy();
}
}  // namespace

void add_initial_spells()
{
  for (const char *name : initial_spells)
    give_spell(find_spell(name));
}

void add_all_spells()
{
  for (int spell = 0; spell < NUM_SPELLS; spell++)
    give_spell(spell);
}

void place_spells_to_find()
{
  Player *p = local_player;
  if (!p)
    return;
  // Each world hides the spells a new player lacks at its own places: a small generator of its
  // own, seeded by where the player starts, so the game's generator draws nothing.
  uint64_t state = uint64_t(std::lround(v_extract_x(p->pos) * 64.f)) * 2654435761u ^
                   uint64_t(std::lround(v_extract_z(p->pos) * 64.f)) * 40503u;
  auto next_unit = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return float(state >> 40) / float(1 << 24);
  };
  for (int spell = 0; spell < NUM_SPELLS; spell++)
  {
    if (find_spell_in_grid(spell) >= 0)
      continue;
    // Dry land 30 to 110 units from the start, tried a few times.
    float x = 0.f, z = 0.f;
    for (int tries = 0; tries < 16; tries++)
    {
      float a = next_unit() * 6.2831853f, r = 30.f + 80.f * next_unit();
      x = v_extract_x(p->pos) + r * std::cos(a);
      z = v_extract_z(p->pos) + r * std::sin(a);
      x -= float(HMAP_SIZE) * std::floor(x / float(HMAP_SIZE));
      z -= float(HMAP_SIZE) * std::floor(z / float(HMAP_SIZE));
      if (get_floor_height(x, z) <= get_land_height(x, z) + 0.01f)
        break;
    }
    Spell *s = new_spell(spell);
    s->pos = v_make(x, get_floor_height(x, z) + SPELL_HOVER, z, 0.f);
  }
}

void start_player_spells()
{
  // Every object goes with the world, so a world without a single spell is a new game.
  if (!local_player || !spell_grid || Spell_list.size() > 0)
    return;
  add_initial_spells();
  place_spells_to_find();
}

void Spell::update(float dt)
{
  if (inGrid)
    return;
  age += dt;
  drawn = false;
  const float x = v_extract_x(pos), z = v_extract_z(pos);
  pos = v_set(pos, 1, get_floor_height(x, z) + SPELL_HOVER + 0.2f * std::sin(2.5f * age));
  Player *p = local_player;
  if (!p)
    return;
  // The player's middle, the short way round the world.
  float dx = wrapped_delta(v_extract_x(p->pos) - x), dz = wrapped_delta(v_extract_z(p->pos) - z);
  float dy = v_extract_y(p->pos) + 0.9f - v_extract_y(pos);
  if (dx * dx + dy * dy + dz * dz < SPELL_TAKE_REACH * SPELL_TAKE_REACH)
    pick_up_spell(this);
}

void Spell::render()
{
  // One golden wisp a step for a spell waiting in the world.
  if (inGrid || drawn)
    return;
  drawn = true;
  call_fx_script("magic_trail", pos, pos + v_make(0.f, 0.5f, 0.f, 0.f), v_make(1.f, 0.8f, 0.35f, 1.f), 1.f);
}

void Spell::onDestroy()
{
  for (int i = 0; spell_grid && i < spell_grid_nx * spell_grid_ny; i++)
    if (spell_grid[i] == this)
      spell_grid[i] = nullptr;
  inGrid = false;
}
