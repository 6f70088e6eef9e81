#pragma once
// Debug text: the bitmap font of "font.tga" (a 16 x 16 grid of character cells; code c in column
// c % 16 and row c / 16 from the top, codes unsigned) and what is drawn with it: help texts,
// statistics, the splash, the visual log and the error message. Coordinates are screen pixels
// with the origin at the bottom-left corner and y up. Text goes straight into `common_vb_writer`
// between start_draw_text and end_draw_text, or into a RenderBatch (batch_text, batch_rect).
// Each character is drawn with a shadow one pixel right and down, in black at half its alpha.
#include <cstdint>

#include "render/render_batch.h"
#include "support/color.h"
#include "support/export.h"

struct Texture;

// A glyph's rectangle in texture pixels: x0 the first column of its cell with ink, x1 one past
// the last (an empty cell: its left edge and half a cell further); y0 the cell's bottom row edge,
// y1 its top (so glyphs stand upright in the y-up text space).
struct DebugGlyph
{
  int16_t x0, y0, x1, y1;
};

// The debug font's batch state: the standard state; while its groups are drawn vertex register
// 16 maps y-up pixels, register 17 holds 1 / the texture size, and stage 0 samples the nearest
// texel with clamped addressing. After each group the interface's y-down mapping and linear
// filtering are back, so text mixes with rounded boxes and images in one batch.
class QM_EXPORT FontBatchState : public StdRenderBatchState
{
public:
  int texWidth = 1, texHeight = 1;
  void apply(BaseRenderBatchState *prev) override;
  void finish() override;
};

// One font vertex (12 bytes): position in pixels, colour, texture coordinate in texture pixels.
struct FontVertex
{
  int16_t x, y;
  D3dColor color;
  int16_t u, v;
};
static_assert(sizeof(FontVertex) == 12, "font vertex layout");

struct DebugFont
{
  Texture *texture = nullptr;  // null until init_debug_text
  int cellW = 0, cellH = 8;
  DebugGlyph glyphs[256] = {};
  FontBatchState state;  // shader "font.sh", the font declaration, stride 12, the texture
};
extern DebugFont debug_font;

// Spacing in pixels and the integer scale of the text drawn now.
struct TextStyle
{
  int lineSpacing = 0;
  int charSpacing = 0;
  int scale = 1;
};
extern TextStyle text_style;
void push_text_style();
// Restores the style of the latest push (an assertion without one).
void pop_text_style();

// Loads "font.tga" and builds the font, its declaration and shader; sets the scale. Every
// failure is fatal: "can't load font.tga" (with the reason), "expected 16x16 font grid in
// font.tga, got WxH image", "can't create font texture". Also connects the splash: each
// show_splash draws a splash frame from then on.
void init_debug_text();
// Releases the font and disconnects the splash; harmless when never initialised.
void close_debug_text();
// True between init_debug_text and close_debug_text.
bool debug_text_ready();
// The scale for a back buffer `height` pixels high: height / (cellH * 30), at least 1.
int debug_font_scale_for(int height, int cell_h);
// Sets the scale for the current back buffer (at start-up and after every device reset) and
// logs "font scale: N".
void update_debug_font_scale();
// The glyph table of a w x h image of 0xAARRGGBB pixels (row 0 at the top).
void build_debug_glyphs(const uint32_t *pixels, int w, int h, DebugGlyph glyphs[256]);
// Height of one line of text in pixels at the current scale (scale x cellH).
int text_line_height();

// Width and height of `length` bytes of text (-1: up to the terminator; null: empty) at the
// current style. Lines end at '\n'; a last line that is not empty counts one more line.
QM_EXPORT void calc_text_size(const char *text, int length, int &width, int &height);

// Render state and writer set-up for drawing text, and back (depth test and writes on, blending
// and alpha test off, counter-clockwise culling, linear filtering). Nothing happens before
// init_debug_text.
QM_EXPORT void start_draw_text();
QM_EXPORT void end_draw_text();
// Between start and end: `text` with its block's left edge, centre or right edge at x (align_x
// -1, 0, 1) and its bottom, centre or top at y (align_y -1, 0, 1), in `color`.
QM_EXPORT void draw_text(const char *text, int length, int x, int y, int align_x, int align_y,
                         D3dColor color);
// Between start and end: a filled rectangle (colour times the font's opaque white texel), and a
// one-pixel outline whose strips reach one pixel beyond x1 and y1.
QM_EXPORT void draw_rect(int x0, int y0, int x1, int y1, D3dColor color);
QM_EXPORT void draw_box(int x0, int y0, int x1, int y1, D3dColor color);

// The same into a batch, one item per rectangle or character (its shadow and glyph), with the
// items' rectangles in y-down pixels of the current back buffer.
QM_EXPORT void batch_rect(RenderBatch &batch, int x0, int y0, int x1, int y1, D3dColor color);
QM_EXPORT void batch_text(RenderBatch &batch, const char *text, int length, int x, int y,
                          int align_x, int align_y, D3dColor color);
QM_EXPORT BaseRenderBatchState *get_font_batch_state();

// Between start and end: the visual log (scale 2, oldest line highest, the newest at the
// bottom-left) and the error message (scale 2, centred at the top over a dark red band).
QM_EXPORT void draw_visual_log();
QM_EXPORT void draw_error_message();

// The splash frame's contents (the device's splash drawer, installed by init_debug_text): the
// back buffer cleared to dark blue, the message of the latest show_splash centred at a quarter
// of the height and, when its progress is a number >= 0, a bar below it filled to the progress
// (clamped to 0..1).
void draw_splash_screen();
