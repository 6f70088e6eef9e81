#pragma once
// The standard look of interface elements: a rounded box with an edge and a soft shadow, an
// icon and a line of distance-field text, all read from the element's property slots (so style
// sheets and their transitions decide them). Screens may draw their elements their own way; this
// is the common vocabulary of property ids below. Drawing adds to a render batch; draw it between
// start_dist_font_render and end_dist_font_render.
#include "gui/gui_element.h"
#include "render/render_batch.h"

enum
{
  GUI_PROP_TEXT = 1,          // GuiTextProperty: the label
  GUI_PROP_ICON = 2,          // GuiTextProperty: an icon name of ui_icons
  GUI_PROP_SHADOW_COLOR = 3,  // colour (default 0x44000000)
  GUI_PROP_EDGE_WIDTH = 4,    // float, pixels
  GUI_PROP_RADIUS = 6,        // float, corner radius in pixels
  GUI_PROP_SHADOW_SIZE = 7,   // float, shadow blur in pixels (0: no shadow)
  GUI_PROP_ICON_SIZE = 8,     // float, pixels (0: the font size)
  GUI_PROP_BACK_COLOR = 10,   // colour of the box (default transparent: no box)
  GUI_PROP_FONT_SIZE = 11,    // float, pixels (default 30)
  GUI_PROP_TEXT_COLOR = 12,   // colour of text and icon (default white)
  GUI_PROP_TEXT_ALIGN = 13,   // GuiProperty<int>: DistFont::renderText alignment (default centred)
  GUI_PROP_EDGE_COLOR = 18,   // colour
  GUI_PROP_PADDING = 20,      // four floats: left, top, right, bottom (default 10 each)
  GUI_PROP_OPACITY = 30,      // float, percent (default 100)
};

// Adds `element` and its visible subtree (children over parents, in order) to `batch` with
// default_font and ui_icons.
QM_EXPORT void draw_gui_tree(RenderBatch &batch, const BaseGuiElement *element);
