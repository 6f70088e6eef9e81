#pragma once
// The game frame drawn inside each device scene, the application's reaction to a device reset,
// and the start-up note on what the frame does not draw yet.

// The game frame: the current mode's 3D render, the back buffer restored without depth, the
// mode's 2D render, then debug text and overlays.
void app_render_frame(float dt);
// Runs after every successful device reset (resize or full-screen switch).
void app_after_device_reset();
// Logs one line naming the parts of the frame whose renderers are not connected yet (nothing
// when all are), so that a missing part is not taken for a fault.
void log_what_is_not_drawn();
