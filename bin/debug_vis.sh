// Debug shapes in world space: position times the view-projection matrix in vertex registers
// 0..3 (rows), vertex colour unchanged. Vertex (16 bytes): POSITION0 float3, COLOR0.
#include "sh_common.inc"

#ifdef VSH
layout(location = ATTR_POSITION) in vec3 in_pos;
layout(location = ATTR_COLOR0) in vec4 in_color;
out vec4 v_color;

void vsh()
{
  v_color = in_color;
  gl_Position = mul_vs_c(vec4(in_pos, 1.0), 0);
}
#endif

#ifdef PSH
in vec4 v_color;

void psh() { oC0 = v_color; }
#endif
