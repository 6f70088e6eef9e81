// Distance-field text for one frame: 10 000 glyphs of the shipped font in 100 strings (no device
// needed; adding items never touches it). Per glyph: measuring only (calcTextBox, the layout with
// lookups and kerning), and measuring, placing and writing the vertices into a pooled batch
// (renderText). The batch's copy into the vertex writer is the same memcpy as for every batch.
#include <benchmark/benchmark.h>

#include <string>

#include "gui/dist_font.h"
#include "render/shader.h"
#include "support/file_read.h"

namespace
{
// 100 glyph rectangles per string (spaces advance without one): 100 strings make 10 000.
const char *line = "Spells reshape the world: hills rise, pits open, water flows, AVATAR To Wavy (fireball, portal) "
                   "0123456789 x!+-*/=?@";

struct BenchFont
{
  DistFont font;
  Shader shader;  // counts as drawable; nothing is drawn
  bool ok = false;
  int glyphs = 0;
  BenchFont()
  {
    std::string text;
    int err = 0;
    if (!read_file(QM_SOURCE_DIR "/bin/default_font.txt", 1 << 24, text, err))
      return;
    DescLines lines(text.data(), text.size());
    char page[256];
    ok = font.parse(lines, page);
    font.state.shader = &shader;
    font.calcTextBox(line, -1, glyphs);
    ok = ok && glyphs == 100;
  }
  ~BenchFont() { font.state.shader = nullptr; }
};
BenchFont &bench_font()
{
  static BenchFont f;
  return f;
}
constexpr int STRINGS = 100;

void BM_DistTextMeasure(benchmark::State &state)
{
  BenchFont &bf = bench_font();
  if (!bf.ok)
    return state.SkipWithError("bin/default_font.txt is missing: build the assets first");
  for (auto _ : state)
    for (int i = 0; i < STRINGS; i++)
    {
      int n = 0;
      BatchRect b = bf.font.calcTextBox(line, -1, n);
      benchmark::DoNotOptimize(b);
    }
  state.SetItemsProcessed(state.iterations() * STRINGS * bf.glyphs);
}
BENCHMARK(BM_DistTextMeasure);

void BM_DistTextRender(benchmark::State &state)
{
  BenchFont &bf = bench_font();
  if (!bf.ok)
    return state.SkipWithError("bin/default_font.txt is missing: build the assets first");
  RenderBatch batch;
  for (auto _ : state)
  {
    batch.clear();
    for (int i = 0; i < STRINGS; i++)
    {
      float y = float(i % 50) * 18.0f;
      bf.font.renderText(batch, {8, y, 1000, y + 18}, 1 | 4, 0xFFFFFFFF, 16, line, -1, 0, 0, 0, 0, 0);
    }
    benchmark::DoNotOptimize(batch.groups.data);
  }
  state.SetItemsProcessed(state.iterations() * STRINGS * bf.glyphs);
}
BENCHMARK(BM_DistTextRender);
}  // namespace
