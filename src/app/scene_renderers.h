#pragma once
// The scene resources of start-up, in their order: the scene image, the sky, the land and water
// renderer, the post-effects, at high quality the object shadows, the effects and their script
// machine, the scene frame's deferred shaders, and the links through which the game modes and
// world generation reach the sky, the land, the effects and the scene frame (scene_frame.h).
// Shutdown releases them in reverse, with the instanced renderers the module initialised and
// their meshes.

void init_scene_renderers();
void close_scene_renderers();
