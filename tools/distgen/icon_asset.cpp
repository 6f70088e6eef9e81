// The icon set: each icon's parts rasterised from their paths at HIRES times the texture's
// resolution, turned into distance fields, one part per channel, in a grid of cells.
#include <string>

#include "assets.h"

bool make_icon_asset(const char *page, DistAsset &out, std::string &err)
{
  const std::vector<IconShape> shapes = icon_shapes();
  const int cell = ICON_SIZE + 2 * ICON_SPREAD, step = cell + ATLAS_GAP;
  const int W = 512, cols = (W - ATLAS_GAP) / step;
  const int rows = (int(shapes.size()) + cols - 1) / cols;
  int H = 64;
  while (H < rows * step + ATLAS_GAP)
    H *= 2;
  out.image = Image(W, H);
  std::string list;
  for (size_t i = 0; i < shapes.size(); i++)
  {
    const IconShape &s = shapes[i];
    const int x0 = ATLAS_GAP + int(i) % cols * step, y0 = ATLAS_GAP + int(i) / cols * step;
    for (int p = 0; p < 4; p++)
    {
      if (s.parts[p].empty())
        continue;
      Mask m(cell * HIRES, cell * HIRES);
      for (const std::string &d : s.parts[p])
      {
        std::vector<Polygon> polys;
        if (!parse_path(d, polys, err))
        {
          err = std::string("icon '") + s.name + "': " + err;
          return false;
        }
        fill_polygons(m, polys, ICON_SPREAD * HIRES, ICON_SPREAD * HIRES, HIRES);
      }
      std::vector<uint8_t> t = distance_texels(m, HIRES, ICON_SPREAD);
      for (int y = 0; y < cell; y++)
        for (int x = 0; x < cell; x++)
        {
          Rgba &px = out.image.at(x0 + x, y0 + y);
          (&px.r)[p] = t[size_t(y * cell + x)];
        }
    }
    // The quad spans originX..originX + width and -originY..height - originY: centred.
    list += std::string("icon \"") + s.name + "\" " + std::to_string(x0) + " " + std::to_string(y0) + " " +
            std::to_string(cell) + " " + std::to_string(cell) + " " + std::to_string(-cell / 2) + " " +
            std::to_string(cell / 2) + "\n";
  }
  out.desc = std::string("info file=\"") + page + "\" scaleW=" + std::to_string(W) + " scaleH=" + std::to_string(H) +
             " spread=" + std::to_string(ICON_SPREAD) + "\n" + "icons count=" + std::to_string(shapes.size()) +
             "\n" + list;
  return true;
}
