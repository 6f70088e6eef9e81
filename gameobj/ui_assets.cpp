// The interface's drawing resources, shared by every screen of the module: the shaders and vertex
// declarations of rounded boxes, images, distance-field text and icons, and the font and icon
// set. They belong to the device and outlive a module reload, so they are made once, by whichever
// screen asks first (the rounded box shader tells whether that happened), and only on a device.
#include "gui/dist_font.h"
#include "gui/dist_icons.h"
#include "render/device.h"
#include "support/debug.h"
#include "render/ui_render.h"
#include "module.h"

void init_ui_assets()
{
  if (get_rounded_box_state()->shader || !d3d_state.device)
    return;
  init_rounded_box_render();
  init_ui_image_render();
  init_dist_fonts();
  init_dist_icons();
  if (!default_font.load("default_font.txt"))
    debug("!!! the interface has no font: default_font.txt did not load");
  if (!ui_icons.load("ui_icons.txt"))
    debug("!!! the interface has no icons: ui_icons.txt did not load");
}

void close_ui_assets()
{
  if (!get_rounded_box_state()->shader)
    return;
  close_dist_icons();
  close_dist_fonts();
  close_ui_image_render();
  close_rounded_box_render();
}
