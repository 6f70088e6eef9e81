#pragma once
// The game frame drawn inside each device scene, and the application's reaction to a device
// reset.

// The game frame: the current mode's 3D render, the back buffer restored without depth, the
// mode's 2D render, then debug text and overlays.
void app_render_frame(float dt);
// Runs after every successful device reset (resize or full-screen switch).
void app_after_device_reset();
