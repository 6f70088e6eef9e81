#pragma once
// The two interface primitives drawn through render batches: rounded boxes (fill, edge, soft
// shadow or glow, all in one quad drawn by "roundedBox.sh") and images ("uiImage.sh").
// Coordinates are screen pixels with y downward; both shaders map them with vertex register 16
// (2 / width, -2 / height, -1 - 0.5 / width, 1 + 0.5 / height) and write premultiplied colour,
// so the interface draws them with set_blend_prealpha.
#include <cstdint>

#include "render/render_batch.h"
#include "support/color.h"
#include "support/export.h"
#include "support/vec4f.h"

// One rounded-box vertex (44 bytes).
struct RoundedBoxVertex
{
  float x, y;         // quad corner
  float cx, cy;       // rectangle centre
  float w, h;         // rectangle size
  D3dColor radii;     // corner radii in pixels (0..255), read in argument order as r, g, b, a
  D3dColor color;     // fill
  D3dColor color2;    // edge, shadow and glow
  D3dColor params;    // offset x, offset y, size (each value / 255 + 0.5), edge width / 255
  float extra;        // shadow softness; negative: no shadow
};
static_assert(sizeof(RoundedBoxVertex) == 44, "rounded-box vertex layout");

// One image vertex (20 bytes).
struct UiImageVertex
{
  float x, y;
  D3dColor color;
  float u, v;
};
static_assert(sizeof(UiImageVertex) == 20, "image vertex layout");

// Creates "roundedBox.sh" and the rounded-box declaration (stride 44) into the private state.
// Once per device; close_rounded_box_render (before the device closes) drops the shader.
QM_EXPORT void init_rounded_box_render();
void close_rounded_box_render();
// The state of every rounded box (for tests and tools).
BaseRenderBatchState *get_rounded_box_state();

// Adds a box: `rect` filled with `color`, its corners rounded by `radii` (top-left, top-right,
// bottom-right, bottom-left); an edge of `edge_width` pixels (at least 0.5) around it in
// `color2`; when `extra` >= 0, a shadow or glow in `color2` under it: the rectangle moved by
// (offset_x, offset_y), grown by `size` and blurred over `extra` pixels.
QM_EXPORT void render_rounded_box(RenderBatch &batch, const BatchRect &rect, vec4f radii, D3dColor color,
                                  float edge_width, float offset_x, float offset_y, float size,
                                  D3dColor color2, float extra);
// The vertices render_rounded_box adds (6 of them) and the quad they cover.
BatchRect make_rounded_box_vertices(RoundedBoxVertex v[6], const BatchRect &rect, vec4f radii,
                                    D3dColor color, float edge_width, float offset_x,
                                    float offset_y, float size, D3dColor color2, float extra);

// Creates "uiImage.sh" and the image declaration.
QM_EXPORT void init_ui_image_render();
void close_ui_image_render();
// Fills `state` for drawing `tex` with `shader` (the image shader when null), stride 20.
QM_EXPORT void init_ui_image_state(StdRenderBatchState &state, Texture *tex, Shader *shader);
// Adds `rect` showing the part `tc` of the state's texture, multiplied by `color`.
QM_EXPORT void render_ui_image(RenderBatch &batch, BaseRenderBatchState *state, const BatchRect &rect,
                               D3dColor color, const BatchRect &tc);

// Vertex register 16 for drawing interface batches in pixels on the current back buffer size.
void set_ui_screen_mapping();
