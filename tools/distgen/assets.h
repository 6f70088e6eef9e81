#pragma once
// The distance-field assets of the interface: the default font and the icon set, each a text
// description and an image that main.cpp writes as DDS.
#include <string>
#include <vector>

#include "image.h"
#include "path.h"

// Sizes in texture pixels.
constexpr int FONT_SIZE = 48;    // nominal font size
constexpr int FONT_SPREAD = 6;   // distance-field spread of the font
constexpr int ICON_SIZE = 64;    // the icons' design grid
constexpr int ICON_SPREAD = 8;   // distance-field spread of the icons
constexpr int HIRES = 8;         // outlines are rasterised this many times finer than the texels
constexpr int ATLAS_GAP = 2;     // empty texels between two cells

struct DistAsset
{
  std::string desc;  // the description file's text
  Image image;       // the texture's top level
};

// The font `font_file` (a TrueType or OpenType file) for the byte codes 32..126 and 160..255
// (Latin-1), with its kerning pairs; `page` is the texture's name in the description.
bool make_font_asset(const char *font_file, const char *page, DistAsset &out, std::string &err);

// One icon: its name and up to four parts, each a list of paths united.
struct IconShape
{
  const char *name;
  std::vector<std::string> parts[4];
};
std::vector<IconShape> icon_shapes();
// The icon set: each part's distance field in one channel (red, green, blue, alpha).
bool make_icon_asset(const char *page, DistAsset &out, std::string &err);
