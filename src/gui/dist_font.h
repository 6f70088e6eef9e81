#pragma once
// Distance-field text: a font is a small text description (glyph rectangles, offsets, advances,
// kerning pairs) and a DDS texture in which each glyph is stored as the distance to its outline,
// so that one texture draws sharp text at any size, thicker or thinner strokes and a second,
// offset or grown layer (shadow, outline) under the glyphs. Text goes into a RenderBatch, one item
// per string (at most 390 glyphs each). The description format and the shader's parameters are
// written down in docs/dist_fonts.md.
#include <cstdint>

#include "gui/desc_lines.h"
#include "render/render_batch.h"
#include "support/color.h"
#include "support/dyn_array.h"

struct Texture;

constexpr int DIST_DESC_COUNT_MAX = 65536;  // glyphs, kernings or icons in one description
constexpr int DIST_DESC_CODE_MAX = 0x10FFFF;  // character codes a description may name
constexpr int DIST_DESC_INT_MAX = 65536;  // sizes, spreads and texture sizes (all > 0)
constexpr float DIST_DESC_FLOAT_MAX = 65536.0f;  // positions, sizes, offsets, advances, amounts
constexpr int DIST_TEXT_ITEM_GLYPHS = 390;  // glyphs in one batch item: 390 x 168 bytes fit the writer

// The batch state of distance-field text and icons: the standard state, and while its groups are
// drawn, vertex register 16 maps pixels (y down) and stage 0 filters linearly.
class DistFontBatchState : public StdRenderBatchState
{
public:
  void apply(BaseRenderBatchState *prev) override;
};

// One text vertex (28 bytes).
struct DistFontVertex
{
  float x, y;          // pixels, y down
  D3dColor color;      // glyph colour
  D3dColor color2;     // second layer's colour
  float u, v;
  D3dColor params;     // packed layer parameters, see DistFont::renderText
};
static_assert(sizeof(DistFontVertex) == 28, "text vertex layout");

// A glyph: x and y (top-left in the texture, normalised at load), the rest in texture pixels.
// yoffset is the height of the rectangle's top above the baseline.
struct DistGlyph
{
  float x, y, width, height, xoffset, yoffset, xadvance;
};
struct DistGlyphRange
{
  int first, end;  // codes first..end-1
  int glyph;       // glyph of `first`
};
struct DistKerning
{
  int second;
  float amount;
};
struct DistKerningGroup
{
  int first;  // the first code of every pair in the group
  int kerning, count;
};

class DistFont
{
public:
  int size = 0;        // nominal size in texture pixels
  int spread = 0;      // distance-field spread in texture pixels
  int lineHeight = 0;  // line advance in texture pixels
  float invScaleW = 0, invScaleH = 0;
  Texture *texture = nullptr;
  DistFontBatchState state;  // shader "distfont.sh", the text declaration, stride 28, the texture
  DynArray<DistGlyph> glyphs;
  DynArray<DistGlyphRange> ranges;
  DynArray<DistKerning> kernings;
  DynArray<DistKerningGroup> kerningGroups;
  // Lookup tables for the byte codes, built from the arrays above: the glyph of each code and the
  // first kerning group of each first code (-1: none).
  int32_t glyphOfCode[256];
  int32_t groupOfCode[256];

  DistFont();
  ~DistFont();
  DistFont(const DistFont &) = delete;
  DistFont &operator=(const DistFont &) = delete;

  // Loads the description `name` (through make_full_path) and its texture. False, with the font
  // left empty and the file, line and reason logged, when anything is missing or malformed.
  bool load(const char *name);
  // Empties the font: arrays, texture reference, batch state.
  void clear();

  // The glyph of `code` (null when none) and the kerning between `prev` and `code` (0 when prev
  // is -1 or no pair is given).
  const DistGlyph *getGlyph(int code) const;
  float getKerning(int prev, int code) const;

  // Bounds of the glyph rectangles of `text` (`length` bytes; -1: up to the zero) at scale 1
  // with the pen starting at (0, 0) on the first baseline, shrunk by the spread; `count` gets the
  // number of rectangles. Empty text: (0, 0, 0, 0) and 0.
  BatchRect calcTextBox(const char *text, int length, int &count) const;

  // Adds `text` drawn `pixel_size` pixels high, placed in `target` by `align` (bits 0-1: 1 left,
  // 2 right, 0 or 3 centred; bits 2-3: 1 top, 2 bottom, 0 or 3 centred), in `color`, with the
  // second layer in `color2`. p1: softness of the glyph edges in pixels (0: crisp); p2, p3: the
  // second layer's offset in percent of the font size; p4: the second layer grows by
  // (p4 + 1) / 2 pixels beyond the glyph outline (-1: the glyph's own shape). `state`: null for
  // the font's own. Nothing is added when the state has no shader or the size is not positive.
  void renderText(RenderBatch &batch, const BatchRect &target, int align, D3dColor color,
                  float pixel_size, const char *text, int length, float p1, float p2, float p3,
                  float p4, D3dColor color2, BaseRenderBatchState *state = nullptr);

  // Fills the arrays from the lines of a description (no texture); the page's file name goes to
  // `page`. False at the first problem (recorded in `lines`); the arrays may then be partly filled
  // (load clears them).
  bool parse(DescLines &lines, char (&page)[256]);
};

// The declaration and shader "distfont.sh" (once per device) and their release.
QM_EXPORT void init_dist_fonts();
void close_dist_fonts();
// Fills `state` for drawing text from `tex` with "distfont.sh" (no shader before init_dist_fonts).
void init_dist_font_state(BaseRenderBatchState &state, Texture *tex);
// Render state for drawing a batch holding distance-field text and icons, and back.
QM_EXPORT void start_dist_font_render();
QM_EXPORT void end_dist_font_render();

// Packs four values (each clamped to 0..1) into a vertex colour that a shader reads back as
// (r, g, b, a) in this order.
D3dColor pack_dist_params(float a, float b, float c, float d);
// Where a layer's coverage starts, in distance units, for a softness or growth `p` at `scale`
// screen pixels per texture pixel (see docs/dist_fonts.md).
float dist_layer_edge(float p, float scale, int spread);

// The interface font, loaded by the game's screens.
QM_EXPORT extern DistFont default_font;
