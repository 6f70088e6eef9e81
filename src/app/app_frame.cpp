#include "app/app_frame.h"

#include "render/device.h"

void app_render_frame(float dt)
{
  // The scene passes of the game modes draw into the back buffer here; until a mode draws, the
  // frame is the cleared back buffer.
  restore_back_buffer();
  clear_view(0xFF000000);
}

void app_after_device_reset()
{
  // The subsystems that follow the back buffer's size hook in here: the debug-font scale, the
  // land renderer's refresh and the module's spells_ui_after_resize.
}
