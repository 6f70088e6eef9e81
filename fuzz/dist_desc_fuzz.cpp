// Whatever bytes a font or icon description holds, parsing stays within its lines and bounds,
// and whatever it accepted lays out and draws into a batch with items of the announced sizes.
// The first byte chooses the kind (even: font, odd: icons); the text is the rest.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "gui/dist_icons.h"
#include "render/shader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 1)
    return 0;
  const char *text = reinterpret_cast<const char *>(data + 1);
  DescLines lines(text, size - 1);
  char name[256];
  static Shader shader;  // counts as drawable; nothing is drawn
  RenderBatch batch(4096);
  if (data[0] % 2 == 0)
  {
    DistFont f;
    if (!f.parse(lines, name))
      return 0;
    for (const DistGlyphRange &r : f.ranges)
      if (r.end <= r.first || r.glyph < 0 || r.glyph + (r.end - r.first) > f.glyphs.num)
        abort();
    for (const DistKerningGroup &g : f.kerningGroups)
      if (g.count < 1 || g.kerning < 0 || g.kerning + g.count > f.kernings.num)
        abort();
    // The description's own bytes as the text to draw (at most a few thousand).
    int n = int(size - 1 < 4000 ? size - 1 : 4000);
    int count = 0;
    BatchRect box = f.calcTextBox(text, n, count);
    if (count > n || std::isnan(box.x0 + box.y0 + box.x1 + box.y1))
      abort();
    f.state.shader = &shader;
    f.renderText(batch, {0, 0, 100, 100}, data[0] >> 1, 0xFFFFFFFF, 17, text, n, 1, 2, 3, 4, 0xFF000000);
    int glyphs = 0;
    for (const RenderBatch::Group &g : batch.groups)
      for (RenderBatch::Item *it = g.first; it; it = it->next)
      {
        if (it->dataSize != it->primCount * 3 * int(sizeof(DistFontVertex)) ||
            it->primCount > 2 * DIST_TEXT_ITEM_GLYPHS)
          abort();
        glyphs += it->primCount / 2;
      }
    if (glyphs != count)
      abort();
    f.state.shader = nullptr;
  }
  else
  {
    DistIcons icons;
    if (!icons.parse(lines, name))
      return 0;
    icons.state.shader = &shader;
    for (int i = 0; i < icons.icons.num; i++)
    {
      if (icons.getIconId(icons.icons[i].name) > i)
        abort();
      icons.renderIcon(batch, v_make(50, 50, 0.8f, 0.6f), 1.5f, i, 0, 1, 1, 0, 1, 2, 3, 4, 5);
    }
    icons.state.shader = nullptr;
  }
  return 0;
}
