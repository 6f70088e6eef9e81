// The house and castle templates and their stamping into the world.
#include <string_view>

#include "terrain/hmap_data.h"
#include "terrain/house_pieces.h"

namespace
{
// A template of W x D squares. Text rows are listed far edge first: the first height row is
// z0 + D, the first piece and rotation rows are z0 + D - 1. Heights are digits 0..9 in steps of
// HOUSE_HEIGHT_SCALE / 9 above the base; pieces are letters ('a' = piece 0) or '.' for none;
// rotations are digits whose low three bits are stored.
struct HouseTemplate
{
  int w, d;
  const char *const *heights;  // d + 1 rows of w + 1
  const char *const *pieces;   // d rows of w
  const char *const *rots;     // d rows of w
};

constexpr float HOUSE_HEIGHT_SCALE = 6.75f;

constexpr const char *castle_heights[] = {
  "0000000000000000000",
  "0888000000000008880",
  "0898664466644668980",
  "0888664466644668880",
  "0066444444444446600",
  "0066444444444446600",
  "0044440000000444400",
  "0044440000000444400",
  "0066440088800446600",
  "0066440089800446600",
  "0066440088800446600",
  "0044440000000444400",
  "0044440000000444400",
  "0066444444444446600",
  "0066444444444446600",
  "0888664466644668880",
  "0898664466644668980",
  "0888000000000008880",
  "0000000000000000000",
};
constexpr const char *castle_pieces[] = {
  "bdcb..........bdcb",
  "caarkomnkjqlpjraad",
  "daaifheiffheifhaac",
  "brhsigeghigeghsirb",
  ".jfheeeeeeeeeeifk.",
  ".pigebcdcdcdbegho.",
  ".leeed......ceeem.",
  ".qhgec.bdcb.degin.",
  ".jfied.caad.cehfk.",
  ".kfhec.daac.deifj.",
  ".niged.bcdb.ceghq.",
  ".meeec......deeel.",
  ".ohgebdcdcdcbegip.",
  ".kfieeeeeeeeeehfj.",
  "brishgegihgegishrb",
  "caahfiehffiehfiaad",
  "daarjplqjknmokraac",
  "bcdb..........bcdb",
};
constexpr const char *castle_rots[] = {
  "566600000000005666",
  "556766666666665563",
  "503363056630565033",
  "000303000030000043",
  "055300000000005330",
  "050305000000600030",
  "050003000000500030",
  "056603056660505630",
  "055303055630505330",
  "055303050330505330",
  "050303000030500030",
  "050003000000500030",
  "056600666666305630",
  "055300000000005330",
  "526666056660565666",
  "556303050030505563",
  "503300000000001033",
  "000300000000000003",
};
constexpr const char *tower_heights[] = {
  "00000",
  "08880",
  "08980",
  "08880",
  "00000",
};
constexpr const char *tower_pieces[] = {
  "bdcb",
  "caad",
  "daac",
  "bcdb",
};
constexpr const char *tower_rots[] = {
  "5666",
  "5563",
  "5033",
  "0003",
};
constexpr const char *house_z_heights[] = {
  "00000",
  "05550",
  "05650",
  "05550",
  "05550",
  "05750",
  "05550",
  "05550",
  "05650",
  "05550",
  "00000",
};
constexpr const char *house_z_pieces[] = {
  "bdcb",
  "caad",
  "daac",
  "ceed",
  "daac",
  "caad",
  "deec",
  "caad",
  "daac",
  "bcdb",
};
constexpr const char *house_z_rots[] = {
  "5666",
  "5563",
  "5033",
  "5003",
  "5563",
  "5033",
  "5003",
  "5563",
  "5033",
  "0003",
};
constexpr const char *house_x_heights[] = {
  "00000000000",
  "05555555550",
  "05655755650",
  "05555555550",
  "00000000000",
};
constexpr const char *house_x_pieces[] = {
  "bdcdcdcdcb",
  "caaeaaeaad",
  "daaeaaeaac",
  "bcdcdcdcdb",
};
constexpr const char *house_x_rots[] = {
  "5666666666",
  "5560560563",
  "5030030033",
  "0000000003",
};

constexpr HouseTemplate house_templates[] = {
  {18, 18, castle_heights, castle_pieces, castle_rots},  // kind -1: castle with five towers
  {4, 4, tower_heights, tower_pieces, tower_rots},       // a single tower
  {4, 10, house_z_heights, house_z_pieces, house_z_rots},  // a house along z
  {10, 4, house_x_heights, house_x_pieces, house_x_rots},  // a house along x
};

constexpr bool rows_fit(const char *const *rows, int n, int len)
{
  for (int i = 0; i < n; i++)
    if (std::string_view(rows[i]).size() != size_t(len))
      return false;
  return true;
}
constexpr bool template_fits(const HouseTemplate &t)
{
  if (!rows_fit(t.heights, t.d + 1, t.w + 1) || !rows_fit(t.pieces, t.d, t.w) || !rows_fit(t.rots, t.d, t.w))
    return false;
  for (int r = 0; r < t.d; r++)
    for (int c = 0; c < t.w; c++)
    {
      char p = t.pieces[r][c];
      if (p != '.' && !(p >= 'a' && p < 'a' + num_house_tiles))
        return false;
      if (!(t.rots[r][c] >= '0' && t.rots[r][c] <= '9'))
        return false;
    }
  return true;
}
static_assert(template_fits(house_templates[0]) && template_fits(house_templates[1]) &&
              template_fits(house_templates[2]) && template_fits(house_templates[3]));
static_assert(sizeof(castle_heights) / sizeof(castle_heights[0]) == 19);
static_assert(sizeof(house_z_heights) / sizeof(house_z_heights[0]) == 11);
static_assert(sizeof(house_x_pieces) / sizeof(house_x_pieces[0]) == 4);

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline float template_height(char c) { return float(c - '0') * HOUSE_HEIGHT_SCALE / 9.f; }
}  // namespace

void HeightmapData::placeHouse(int x, int z, int kind, float *heights, bool replace)
{
  // kind is taken as unsigned, so negative kinds other than -1 still pick one of the houses.
  const HouseTemplate &t = house_templates[kind == -1 ? 0 : unsigned(kind) % 3 + 1];
  // Wrapped before subtracting, so that no coordinate can overflow.
  const int x0 = ((x & (HMAP_SIZE - 1)) - t.w / 2) & (HMAP_SIZE - 1);
  const int z0 = ((z & (HMAP_SIZE - 1)) - t.d / 2) & (HMAP_SIZE - 1);

  // The base is the mean ground height under the footprint's vertices. Replacing a house that
  // stands there already takes its own heights out of the sum first, which gives the ground back.
  float sum = 0;
  for (int r = 0; r <= t.d; r++)
    for (int c = 0; c <= t.w; c++)
      sum += heights[hmap_idx(x0 + c, z0 + r)];
  if (replace)
    for (int r = 0; r <= t.d; r++)
      for (int c = 0; c <= t.w; c++)
        if (char g = t.heights[t.d - r][c]; is_digit(g))
          sum -= template_height(g);
  const float base = sum / float((t.w + 1) * (t.d + 1));

  for (int r = 0; r <= t.d; r++)
    for (int c = 0; c <= t.w; c++)
      if (char g = t.heights[t.d - r][c]; is_digit(g))
        heights[hmap_idx(x0 + c, z0 + r)] = base + template_height(g);

  for (int r = 0; r < t.d; r++)
    for (int c = 0; c < t.w; c++)
    {
      char piece = t.pieces[t.d - 1 - r][c];
      if (piece < 'a' || piece > 'z')
        continue;
      Surface &s = surface[hmap_idx(x0 + c, z0 + r)];
      s.top_color = 0;
      s.ground_type = GT_HOUSE;
      s.surface_type = ST_NONE;
      s.house_piece = unsigned(piece - 'a');
      s.house_rot = unsigned(t.rots[t.d - 1 - r][c] - '0') & 7;
    }
}
