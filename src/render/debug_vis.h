#pragma once
// Debug shapes in world space: triangles, lines, solid and wire boxes, cubes and cross points,
// written straight into `common_vb_writer` between start_draw_debug_vis and end_draw_debug_vis
// and drawn with "debug_vis.sh" (positions times vertex registers 0..3, the view-projection).
#include <cstdint>

#include "support/color.h"
#include "support/export.h"
#include "support/vec4f.h"

// One debug vertex (16 bytes).
struct DebugVisVertex
{
  float x, y, z;
  D3dColor color;
};
static_assert(sizeof(DebugVisVertex) == 16, "debug vertex layout");

QM_EXPORT void init_debug_vis();
QM_EXPORT void close_debug_vis();

// Binds the declaration, the writer's buffer and the shader, turns culling off and starts the
// writer with triangle lists.
QM_EXPORT void start_draw_debug_vis();
// Draws what is left; culling back to counter-clockwise.
QM_EXPORT void end_draw_debug_vis();

// A triangle after lines (or a line after triangles) first draws what was written and restarts
// the writer with the other primitive type.
QM_EXPORT void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor ca, D3dColor cb, D3dColor cc);
QM_EXPORT void draw_debug_vis_tri(vec4f a, vec4f b, vec4f c, D3dColor color);
QM_EXPORT void draw_debug_vis_line(vec4f a, vec4f b, D3dColor ca, D3dColor cb);
QM_EXPORT void draw_debug_vis_line(vec4f a, vec4f b, D3dColor color);
// The box between two corners (in any order), grown by `grow` on every side, as 12 triangles.
QM_EXPORT void draw_debug_vis_solid_box(vec4f c0, vec4f c1, D3dColor color, float grow);
// The solid box of `centre` grown by `half_size`.
QM_EXPORT void draw_debug_vis_cube(vec4f centre, float half_size, D3dColor color);
// The 12 edges of the box between two corners (in any order).
QM_EXPORT void draw_debug_vis_wire_box(vec4f c0, vec4f c1, D3dColor color);
// Three lines from p - size to p + size along x, y and z.
QM_EXPORT void draw_debug_vis_cross_point(vec4f p, float size, D3dColor color);

// The primitive type the writer is drawing now (D3DPT_TRIANGLELIST or D3DPT_LINELIST).
uint32_t debug_vis_mode();
