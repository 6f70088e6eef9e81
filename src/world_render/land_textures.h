#pragma once
// The world's textures and the passes that fill them: levels and colours uploaded as point lists
// into render targets, normals and the ambient aperture computed from the levels into the older of
// two generations, and the generations cross-faded every frame.

// Creates the textures and their shaders; "detail.dds" (and "foam.dds" at high quality) loaded.
// Fatal "can't create land textures" when any is missing.
void init_land_textures(bool high);
void close_land_textures();
// Uploads hmap + depth, the colours and the top colours, then computes normals and (high quality)
// the aperture with variant `shadow_quality` (0..2) and redraws the world map. `both`: into both
// generations (a full update).
void upload_world(int shadow_quality, bool both);
// Sub-rectangle upload of the levels and colours (whole map: 0, 0, 256, 256); fatal outside the map.
void upload_world_rect(int x0, int z0, int nx, int nz);
// normTex (and aperTex) = the older generation blended towards the newest by f.
void cross_fade_world(float f);
// The state of every pass into a world texture or the map: one target (others the scene frame may
// have left are unbound), no depth, stencil, blending, alpha test, culling or wireframe, all
// channels written.
void land_pass_state();
