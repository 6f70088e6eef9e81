#pragma once
// Distance-field icons: a set of named icons in one texture whose four channels hold the distance
// fields of up to four parts of each icon (drawn in the order red, green, blue, alpha, each in its
// own colour), plus a second layer under them (shadow or outline) from the union of the parts.
// Described by a small text file, drawn into a RenderBatch by "disticon.sh"; see
// docs/dist_fonts.md.
#include <cstddef>
#include <cstdint>

#include "gui/dist_font.h"
#include "support/vec4f.h"

// One icon vertex (40 bytes).
struct DistIconVertex
{
  float x, y;        // pixels, y down
  D3dColor color1;   // second layer (shadow, outline)
  D3dColor params;   // packed layer parameters, see DistIcons::renderIcon
  float u, v;
  D3dColor parts[4];  // colours of the red, green, blue and alpha parts (colours 2 to 5)
};
static_assert(sizeof(DistIconVertex) == 40, "icon vertex layout");

// An icon: x and y normalised at load, the rest in texture pixels. Before scaling the quad spans
// originX..originX + width horizontally and -originY..height - originY vertically from the
// placement point.
struct DistIcon
{
  char *name;  // owned copy
  float x, y, width, height, originX, originY;
};

class DistIcons
{
public:
  int spread = 0;
  float invScaleW = 0, invScaleH = 0;
  Texture *texture = nullptr;
  DistFontBatchState state;  // shader "disticon.sh", the icon declaration, stride 40, the texture
  DynArray<DistIcon> icons;

  DistIcons() = default;
  ~DistIcons();
  DistIcons(const DistIcons &) = delete;
  DistIcons &operator=(const DistIcons &) = delete;

  // As DistFont::load, for an icon description.
  bool load(const char *name);
  void clear();
  // Index of the first icon called exactly `name`, or -1.
  int getIconId(const char *name) const;

  // Adds icon `id` (nothing for an id out of range) placed at `place` = (x, y, c, d): a local
  // point (u, v) lands at (x + c u - d v, y + d u + c v), so (c, d) rotates; `scale` screen pixels
  // per texture pixel. q1: softness of the parts' edges in pixels (0: crisp); q2, q3: the second
  // layer's offset in texture pixels; q4: the second layer grows by (q4 + 1) / 2 pixels beyond the
  // parts (-1: their own shape). color1: the second layer; color2..color5: the parts.
  void renderIcon(RenderBatch &batch, vec4f place, float scale, int id, float q1, float q2, float q3,
                  float q4, D3dColor color1, D3dColor color2, D3dColor color3, D3dColor color4,
                  D3dColor color5, BaseRenderBatchState *state = nullptr);

  // Fills the icons from the description text (no texture); as DistFont::parse.
  bool parse(DescLines &lines, char (&file)[256]);
};

// The declaration and shader "disticon.sh" (once per device) and their release.
QM_EXPORT void init_dist_icons();
void close_dist_icons();

// The interface icons, loaded by the game's screens.
QM_EXPORT extern DistIcons ui_icons;
