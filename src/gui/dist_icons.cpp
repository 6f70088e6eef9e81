// Distance-field icons: the description, loading, lookup and drawing.
#include "gui/dist_icons.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "render/shader.h"
#include "render/texture_cache.h"
#include "support/debug.h"
#include "support/file_path.h"
#include "support/file_read.h"

DistIcons ui_icons;

namespace
{
Shader *dist_icon_shader = nullptr;
VDecl dist_icon_vdecl;

const VsdElement dist_icon_desc[] = {
  {0, 0, VSDT_FLOAT2, VSDU_POSITION, 0},
  {8, 0, VSDT_D3DCOLOR, VSDU_COLOR, 0},
  {12, 0, VSDT_D3DCOLOR, VSDU_COLOR, 1},
  {16, 0, VSDT_FLOAT2, VSDU_TEXCOORD, 0},
  {24, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 1},
  {28, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 2},
  {32, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 3},
  {36, 0, VSDT_D3DCOLOR, VSDU_TEXCOORD, 4},
  {0, VSD_END, 0, 0, 0},
};
}  // namespace

void init_dist_icons()
{
  dist_icon_vdecl = create_vdecl(dist_icon_desc);
  dist_icon_shader = create_shader("disticon.sh", nullptr);
}

void close_dist_icons()
{
  ui_icons.clear();
  destroy_shader(dist_icon_shader);
  dist_icon_shader = nullptr;
  dist_icon_vdecl = {};
}

DistIcons::~DistIcons() { clear(); }

void DistIcons::clear()
{
  state.reset();
  free_texture(texture);
  texture = nullptr;
  spread = 0;
  invScaleW = invScaleH = 0;
  for (DistIcon &i : icons)
    free(i.name);
  icons.clear();
}

bool DistIcons::parse(DescLines &lines, char (&file)[256])
{
  const int IM = DIST_DESC_INT_MAX;
  const float FM = DIST_DESC_FLOAT_MAX;
  int scaleW = 0, scaleH = 0, count = 0;

  if (!lines.next("missing info line"))
    return false;
  if (!LineScan(lines.line).lit("info file=\"").name(file, sizeof(file)).lit("\" scaleW=").num(scaleW, 1, IM)
           .lit(" scaleH=").num(scaleH, 1, IM).lit(" spread=").num(spread, 1, IM).ok)
    return lines.fail("expected 'info file=\"NAME\" scaleW=N scaleH=N spread=N' (each 1..65536)");
  invScaleW = 1.0f / float(scaleW);
  invScaleH = 1.0f / float(scaleH);

  if (!lines.next("missing icons line"))
    return false;
  if (!LineScan(lines.line).lit("icons count=").num(count, 0, DIST_DESC_COUNT_MAX).ok)
    return lines.fail("expected 'icons count=N' (0..65536)");
  icons.reserve(count);
  for (int i = 0; i < count; i++)
  {
    if (!lines.next("fewer icon lines than counted"))
      return false;
    char name[256];
    DistIcon ic;
    if (!LineScan(lines.line).lit("icon \"").name(name, sizeof(name)).lit("\" ").num(ic.x, FM).num(ic.y, FM)
             .num(ic.width, FM).num(ic.height, FM).num(ic.originX, FM).num(ic.originY, FM).ok ||
        ic.width < 0 || ic.height < 0)
      return lines.fail("expected 'icon \"NAME\" x y width height originX originY' (sizes not negative)");
    ic.x *= invScaleW;
    ic.y *= invScaleH;
    ic.name = strdup(name);
    G_ASSERT(ic.name);
    icons.push_back(ic);
  }
  return true;
}

bool DistIcons::load(const char *name)
{
  clear();
  TempString<260> path = make_full_path(name);
  std::string text;
  int err = 0;
  if (!read_file(path.str, 16 << 20, text, err))
  {
    debug("can't load icons '%s': %s", path.str[0] ? path.str : name, file_error_text(err));
    return false;
  }
  char file[256] = {};
  DescLines lines(text.data(), text.size());
  if (!parse(lines, file))
  {
    debug("can't load icons '%s': line %d: %s", path.str, lines.bad_line, lines.why);
    clear();
    return false;
  }
  std::string tex_name = std::string(file) + ".dds";
  texture = get_texture(tex_name.c_str(), false);
  if (!texture)
  {
    debug("can't load icons '%s': no texture from '%s'", path.str, tex_name.c_str());
    clear();
    return false;
  }
  if (dist_icon_shader)
  {
    state.shader = dist_icon_shader;
    state.vdecl = dist_icon_vdecl;
    state.stride = int(sizeof(DistIconVertex));
    state.texture = texture;
  }
  return true;
}

int DistIcons::getIconId(const char *name) const
{
  for (int i = 0; name && i < icons.num; i++)
    if (strcmp(icons[i].name, name) == 0)
      return i;
  return -1;
}

void DistIcons::renderIcon(RenderBatch &batch, vec4f place, float scale, int id, float q1, float q2,
                           float q3, float q4, D3dColor color1, D3dColor color2, D3dColor color3,
                           D3dColor color4, D3dColor color5, BaseRenderBatchState *st)
{
  if (!st)
    st = &state;
  if (id < 0 || id >= icons.num || !st->shader || !(scale > 0) || !std::isfinite(scale))
    return;
  const float px = v_extract_x(place), py = v_extract_y(place), c = v_extract_z(place), d = v_extract_w(place);
  if (!std::isfinite(px + py + c + d))
    return;
  const DistIcon &ic = icons[id];
  const float l = scale * ic.originX, r = scale * (ic.originX + ic.width);
  const float t = -scale * ic.originY, b = scale * (ic.height - ic.originY);
  DistIconVertex q[4];  // top-left, top-right, bottom-right, bottom-left
  const float lu[4] = {l, r, r, l}, lv[4] = {t, t, b, b};
  const float u0 = ic.x, v0 = ic.y, u1 = ic.x + ic.width * invScaleW, v1 = ic.y + ic.height * invScaleH;
  const float tu[4] = {u0, u1, u1, u0}, tv[4] = {v0, v0, v1, v1};
  const D3dColor params = pack_dist_params(0.5f - 32.0f * q2 * invScaleW, 0.5f - 32.0f * q3 * invScaleH,
                                           dist_layer_edge(q4, scale, spread), dist_layer_edge(q1, scale, spread));
  BatchRect rect = {INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (int i = 0; i < 4; i++)
  {
    q[i] = {px + c * lu[i] - d * lv[i], py + d * lu[i] + c * lv[i], color1, params, tu[i], tv[i],
            {color2, color3, color4, color5}};
    rect = {std::min(rect.x0, q[i].x), std::min(rect.y0, q[i].y), std::max(rect.x1, q[i].x),
            std::max(rect.y1, q[i].y)};
  }
  const float grow = float(spread);
  rect = {rect.x0 - grow, rect.y0 - grow, rect.x1 + grow, rect.y1 + grow};
  const DistIconVertex v[6] = {q[0], q[1], q[2], q[0], q[2], q[3]};
  memcpy(batch.add(st, rect, int(sizeof(v)), 2), v, sizeof(v));
}
