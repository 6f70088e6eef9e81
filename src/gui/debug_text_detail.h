#pragma once
// Shared by the debug text's sources.

// Vertex registers 16 (y-up pixels to clip space) and 17 (1 / texture size).
void set_text_constants(int tex_w, int tex_h);
// Stage 0: nearest texel, clamped addressing.
void set_text_sampler();
