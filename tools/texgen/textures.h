#pragma once
// The procedural sources of the game's textures.
#include "image.h"

Image make_detail_texture();   // 512x512 tiling ground detail
Image make_foam_texture();     // 256x256 tiling water foam and flow pattern
Image make_blendfx_atlas();    // 512x256 alpha-blended particle sprites
Image make_glowfx_atlas();     // 512x256 additive glow sprites
Image make_icon();             // 64x64 window icon (written as PNG)
