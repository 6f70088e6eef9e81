// Distance-field fonts and icons without a device: the description parsers with every bound,
// layout and kerning against hand-computed sums, the items and vertices of text and icons, and
// the shipped assets. Loading through the texture cache runs on the recording backend.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "gui/dist_icons.h"
#include "render/device.h"
#include "render/recording_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "support/file_path.h"
#include "support/file_read.h"

namespace
{
// Glyphs with round numbers: spread 2, A (65) and V (86) 10 wide advancing 8, a space advancing 5,
// 0xE9 (a Latin-1 letter) advancing 6; the pair (A, V) kerns by -2 and (V, A) by -1.
const char *small_font =
  "info face=\"Test\" size=20 spread=2\n"
  "common lineHeight=24 base=0 scaleW=128 scaleH=64\n"
  "page id=0 file=\"small\"\n"
  "chars count=4\n"
  "char id=32 x=0 y=0 width=0 height=0 xoffset=0 yoffset=0 xadvance=5\n"
  "char id=65 x=0 y=0 width=10 height=18 xoffset=-1 yoffset=16 xadvance=8\n"
  "char id=86 x=16 y=0 width=10 height=18 xoffset=-1 yoffset=16 xadvance=8\n"
  "char id=233 x=32 y=32 width=9 height=20 xoffset=-2 yoffset=18 xadvance=6\n"
  "kernings count=2\n"
  "kerning first=65 second=86 amount=-2\n"
  "kerning first=86 second=65 amount=-1\n";

bool parse_font(DistFont &f, const std::string &text, std::string *why = nullptr)
{
  DescLines lines(text.data(), text.size());
  char page[256];
  bool ok = f.parse(lines, page);
  if (!ok && why)
    *why = std::to_string(lines.bad_line) + ": " + lines.why;
  return ok;
}

bool parse_icons(DistIcons &icons, const std::string &text)
{
  DescLines lines(text.data(), text.size());
  char file[256];
  return icons.parse(lines, file);
}

std::string replace(std::string s, const std::string &from, const std::string &to)
{
  size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

// A state that counts as drawable (renderText and renderIcon only look for a shader).
struct FakeState
{
  Shader shader;
  DistFontBatchState state;
  FakeState() { state.shader = &shader; }
};

std::string read_text(const std::string &path)
{
  std::string text;
  int err = 0;
  EXPECT_TRUE(read_file(path.c_str(), 1 << 24, text, err)) << path;
  return text;
}
}  // namespace

TEST(DistFontDesc, HostileDescriptionsAreRefusedAtTheirLine)
{
  const std::string base = small_font;
  const struct
  {
    std::string text;
    int line;
  } cases[] = {
    {"", 1},
    {replace(base, "size=20", "size=0"), 1},
    {replace(base, "size=20", "size=65537"), 1},
    {replace(base, "size=20", "size=99999999999999999999"), 1},
    {replace(base, "spread=2", "spread=0"), 1},
    {replace(base, "spread=2", "spread=-2"), 1},
    {replace(base, "face=\"Test\"", "face=\"\""), 1},
    {replace(base, "face=\"Test\"", "face=\"Test"), 1},
    {replace(base, "base=0", "base=32"), 2},
    {replace(base, "scaleW=128", "scaleW=0"), 2},
    {replace(base, "scaleH=64", "scaleH=-64"), 2},
    {replace(base, "lineHeight=24", "lineHeight=70000"), 2},
    {replace(base, "page id=0", "page id=1"), 3},
    {replace(base, "chars count=4", "chars count=-1"), 4},
    {replace(base, "chars count=4", "chars count=65537"), 4},
    {replace(base, "chars count=4", "chars count=5"), 9},  // the kernings line is no char line
    {replace(base, "char id=65", "char id=-65"), 6},
    {replace(base, "char id=65", "char id=1114112"), 6},
    {replace(base, "width=10", "width=-1"), 6},
    {replace(base, "x=16", "x=nan"), 7},
    {replace(base, "x=16", "x=inf"), 7},
    {replace(base, "x=16", "x=1e30"), 7},
    {replace(base, "xadvance=6", "xadvance="), 8},
    {replace(base, "kernings count=2\n", ""), 9},
    {replace(base, "kernings count=2", "kernings count=3"), 12},
    {replace(base, "amount=-2", "amount=-1e9"), 10},
    {replace(base, "second=86", "second=-86"), 10},
    {replace(base, "face=\"Test\"", "face=\"" + std::string(250, 'x') + "\""), 1},  // a line of 286
    {base.substr(0, base.find("kerning first=65")), 10},
  };
  for (const auto &c : cases)
  {
    DistFont f;
    DescLines lines(c.text.data(), c.text.size());
    char page[256];
    EXPECT_FALSE(f.parse(lines, page)) << c.text;
    EXPECT_EQ(lines.bad_line, c.line) << lines.why << "\n" << c.text;
  }
  // The bounds themselves are accepted, and so is anything after the last field.
  DistFont f;
  std::string why;
  EXPECT_TRUE(parse_font(f, replace(replace(replace(base, "size=20", "size=65536"), "id=233", "id=1114111"),
                                    "amount=-1", "amount=-65536 trailing words"), &why)) << why;
  std::string many = replace(base, "kernings count=2", "kernings count=65536");
  for (int i = 2; i < 65536; i++)
    many += "kerning first=1 second=" + std::to_string(i) + " amount=0.5\n";
  DistFont g;
  EXPECT_TRUE(parse_font(g, many, &why)) << why;
  EXPECT_EQ(g.kernings.size(), 65536);
  EXPECT_EQ(g.kerningGroups.size(), 3);
  EXPECT_FLOAT_EQ(g.getKerning(1, 65535), 0.5f);
}

TEST(DistFontDesc, HostileIconDescriptionsAreRefused)
{
  const std::string base = "info file=\"icons\" scaleW=256 scaleH=128 spread=4\nicons count=2\n"
                           "icon \"a\" 0 0 32 32 -16 16\nicon \"b b\" 32 0 32 32 -16 16\n";
  DistIcons icons;
  ASSERT_TRUE(parse_icons(icons, base));
  EXPECT_EQ(icons.getIconId("b b"), 1);
  EXPECT_FLOAT_EQ(icons.icons[1].x, 0.125f);
  for (const std::string &bad :
       {replace(base, "scaleW=256", "scaleW=0"), replace(base, "spread=4", "spread=0"),
        replace(base, "icons count=2", "icons count=65537"), replace(base, "icons count=2", "icons count=3"),
        replace(base, "\"a\" 0 0 32", "\"a\" 0 0 -32"), replace(base, "\"a\"", "\"\""),
        replace(base, "16\nicon", "nan\nicon"), replace(base, "file=\"icons\"", "file=icons")})
  {
    DistIcons i;
    EXPECT_FALSE(parse_icons(i, bad)) << bad;
  }
}

TEST(DistFont, LayoutAndKerningMatchTheDescription)
{
  DistFont f;
  ASSERT_TRUE(parse_font(f, small_font));
  int n = 0;
  // "AV": A at x 0 (rect -1..9), V kerned by -2 at pen 8 - 2 = 6 (rect 5..15); shrunk by the spread.
  BatchRect b = f.calcTextBox("AV", -1, n);
  EXPECT_EQ(n, 2);
  EXPECT_FLOAT_EQ(b.x0, -1 + 2);
  EXPECT_FLOAT_EQ(b.x1, 15 - 2);
  EXPECT_FLOAT_EQ(b.y0, -16 + 2);
  EXPECT_FLOAT_EQ(b.y1, 2 - 2);
  // Each step adds the advance and the pair's kerning: A V A V = 8-2, 8-1, 8-2, then V's rect.
  b = f.calcTextBox("AVAV", -1, n);
  EXPECT_FLOAT_EQ(b.x1, (8 - 2) + (8 - 1) + (8 - 2) - 1 + 10 - 2);
  // A space advances without a rectangle; a byte without a glyph neither draws nor advances, but
  // the next letter kerns against it (so none here); after a newline no kerning applies.
  b = f.calcTextBox("A V", -1, n);
  EXPECT_EQ(n, 2);
  EXPECT_FLOAT_EQ(b.x1, 8 + 5 - 1 + 10 - 2);
  b = f.calcTextBox("A\x01V", -1, n);
  EXPECT_FLOAT_EQ(b.x1, 8 - 1 + 10 - 2);
  b = f.calcTextBox("A\nV", -1, n);
  EXPECT_FLOAT_EQ(b.x1, 9 - 2);
  EXPECT_FLOAT_EQ(b.y1, 24 + 2 - 2);
  // Codes are unsigned: 0xE9 is glyph 233.
  b = f.calcTextBox("\xE9", -1, n);
  EXPECT_EQ(n, 1);
  EXPECT_FLOAT_EQ(b.x0, -2 + 2);
  // Only `length` bytes count; empty text and newlines alone give nothing.
  b = f.calcTextBox("AVAV", 1, n);
  EXPECT_FLOAT_EQ(b.x1, 9 - 2);
  for (const char *empty : {"", "\n\n", static_cast<const char *>(nullptr)})
  {
    b = f.calcTextBox(empty, -1, n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(b.x0 + b.y0 + b.x1 + b.y1, 0);
  }
}

TEST(DistFont, RenderTextWritesOneQuadPerGlyphInItemsOf390)
{
  DistFont f;
  ASSERT_TRUE(parse_font(f, small_font));
  FakeState fs;
  RenderBatch batch;
  // 40 pixels high: scale 2. Left and top aligned at (100, 50): the box's corner lands there.
  f.renderText(batch, {100, 50, 300, 150}, 1 | 4, 0xFFFFFFFF, 40, "AV", -1, 0, 0, 0, 0, 0xFF000000, &fs.state);
  ASSERT_EQ(batch.groups.size(), 1);
  RenderBatch::Item *it = batch.groups[0].first;
  ASSERT_EQ(it->dataSize, 2 * 6 * 28);
  EXPECT_EQ(it->primCount, 4);
  EXPECT_FLOAT_EQ(it->rect.x0, 100 - 4);  // grown by scale x spread
  EXPECT_FLOAT_EQ(it->rect.y0, 50 - 4);
  const DistFontVertex *v = static_cast<const DistFontVertex *>(it->data());
  // Pen start: x 100 - 2 x 1 = 98, y 50 + 2 x 14 = 78. V's top-left: 98 + 2 x (8 - 2 - 1).
  EXPECT_FLOAT_EQ(v[6].x, 98 + 2 * 5);
  EXPECT_FLOAT_EQ(v[6].y, 78 - 2 * 16);
  EXPECT_FLOAT_EQ(v[8].x, v[6].x + 20);  // bottom-right: width 10 x 2
  EXPECT_FLOAT_EQ(v[8].y, v[6].y + 36);
  EXPECT_FLOAT_EQ(v[6].u, 16.0f / 128);
  EXPECT_FLOAT_EQ(v[8].u, 26.0f / 128);
  EXPECT_FLOAT_EQ(v[8].v, 18.0f / 64);
  // Packed parameters: no offset (0.5 -> 128), softness 0 at scale 2, spread 2: 0.5 - 0.25 / 4.
  EXPECT_EQ(v[0].params, pack_dist_params(0.5f, 0.5f, 0.4375f, 0.4375f));
  EXPECT_EQ((v[0].params >> 8) & 255, 128u);

  // 391 glyphs take two items; the second holds one glyph.
  batch.clear();
  f.renderText(batch, {0, 0, 10, 10}, 0, 0xFFFFFFFF, 20, std::string(391, 'A').c_str(), -1, 0, 0, 0, 0, 0, &fs.state);
  ASSERT_EQ(batch.groups.size(), 1);
  EXPECT_EQ(batch.groups[0].first->dataSize, 390 * 168);
  EXPECT_EQ(batch.groups[0].last->dataSize, 168);
  // An empty string adds an item without data; no shader, a size <= 0 or NaN add nothing.
  batch.clear();
  f.renderText(batch, {0, 0, 10, 10}, 0, 0xFFFFFFFF, 20, "", -1, 0, 0, 0, 0, 0, &fs.state);
  ASSERT_EQ(batch.groups.size(), 1);
  EXPECT_EQ(batch.groups[0].first->dataSize, 0);
  batch.clear();
  for (float size : {0.0f, -5.0f, NAN, INFINITY})
    f.renderText(batch, {0, 0, 10, 10}, 0, 0xFFFFFFFF, size, "AV", -1, 0, 0, 0, 0, 0, &fs.state);
  f.renderText(batch, {0, 0, 10, 10}, 0, 0xFFFFFFFF, 20, "AV", -1, 0, 0, 0, 0, 0, nullptr);
  EXPECT_EQ(batch.groups.size(), 0);
}

TEST(DistIcons, RenderIconPlacesRotatedQuads)
{
  DistIcons icons;
  ASSERT_TRUE(parse_icons(icons, "info file=\"i\" scaleW=256 scaleH=256 spread=4\nicons count=1\n"
                                 "icon \"x\" 64 0 40 20 -20 10\n"));
  FakeState fs;
  RenderBatch batch;
  icons.renderIcon(batch, v_make(100, 100, 1, 0), 2, -1, 0, 0, 0, 0, 1, 2, 3, 4, 5, &fs.state);
  icons.renderIcon(batch, v_make(100, 100, 1, 0), 2, 1, 0, 0, 0, 0, 1, 2, 3, 4, 5, &fs.state);
  icons.renderIcon(batch, v_make(100, 100, 1, 0), 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, &fs.state);
  icons.renderIcon(batch, v_make(100, 100, 1, 0), 2, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, nullptr);
  icons.renderIcon(batch, v_make(NAN, 100, 1, 0), 2, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, &fs.state);
  EXPECT_EQ(batch.groups.size(), 0) << "unknown ids, a zero scale, no shader, no place draw nothing";
  // A quarter turn: local (u, v) lands at (x - v, y + u).
  icons.renderIcon(batch, v_make(100, 100, 0, 1), 2, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, &fs.state);
  ASSERT_EQ(batch.groups.size(), 1);
  RenderBatch::Item *it = batch.groups[0].first;
  ASSERT_EQ(it->dataSize, 240);
  const DistIconVertex *v = static_cast<const DistIconVertex *>(it->data());
  EXPECT_FLOAT_EQ(v[0].x, 100 + 20);  // top-left local (-40, -20)
  EXPECT_FLOAT_EQ(v[0].y, 100 - 40);
  EXPECT_FLOAT_EQ(v[2].x, 100 - 20);  // bottom-right local (40, 20)
  EXPECT_FLOAT_EQ(v[2].y, 100 + 40);
  EXPECT_FLOAT_EQ(v[0].u, 0.25f);
  EXPECT_FLOAT_EQ(v[2].u, 104.0f / 256);
  EXPECT_EQ(v[5].parts[3], 5u);
  EXPECT_FLOAT_EQ(it->rect.x0, 80 - 4);  // bounds grown by the unscaled spread
  EXPECT_FLOAT_EQ(it->rect.y1, 140 + 4);
}

TEST(DistAssets, ShippedFontKernsAndIconsAreComplete)
{
  const std::string dir = std::string(QM_TEXTURE_DIR) + "/";
  DistFont f;
  std::string why;
  ASSERT_TRUE(parse_font(f, read_text(dir + "default_font.txt"), &why)) << why;
  for (int c = 32; c < 256; c++)
    EXPECT_EQ(f.getGlyph(c) != nullptr, c < 127 || c >= 160) << c;
  EXPECT_LT(f.getKerning('A', 'V'), -1.0f);
  EXPECT_LT(f.getKerning('T', 'o'), -1.0f);
  // A string's right edge is the sum of the advances and pairs before its last glyph, plus that
  // glyph's rectangle (shrunk by the spread).
  const char *s = "AVATAR To Wavy";
  float pen = 0;
  for (const char *p = s; p[1]; p++)
    pen += f.getGlyph(*p)->xadvance + f.getKerning(*p, p[1]);
  const DistGlyph *y = f.getGlyph('y');
  int n = 0;
  BatchRect b = f.calcTextBox(s, -1, n);
  EXPECT_EQ(n, 12);
  EXPECT_NEAR(b.x1, pen + y->xoffset + y->width - float(f.spread), 1e-3);

  DistIcons icons;
  ASSERT_TRUE(parse_icons(icons, read_text(dir + "ui_icons.txt")));
  for (const char *name : {"fireball", "waterball", "healing", "lightning", "meteor", "hill", "pit", "fault", "house",
                           "castle", "water_source", "water_sink", "thunderstorm", "portal", "mana", "health",
                           "back", "close", "options", "check", "arrow"})
    EXPECT_GE(icons.getIconId(name), 0) << name;
  EXPECT_EQ(icons.getIconId("Fireball"), -1);
}

TEST(DistFontLoad, FailedLoadsLeaveTheFontEmpty)
{
  RecordingBackend rb;
  set_render_backend(&rb);
  d3d_resource_hooks = D3dResourceHooks();
  install_resource_hooks();
  isFullscreen = false;
  ASSERT_TRUE(init_d3d(nullptr, 64, 64));
  char saved[sizeof(app_path)];
  memcpy(saved, app_path, sizeof(app_path));
  snprintf(app_path, sizeof(app_path), "%s/", QM_TEXTURE_DIR);
  {
    DistFont f;
    ASSERT_TRUE(f.load("default_font.txt"));
    EXPECT_NE(f.texture, nullptr);
    EXPECT_EQ(f.state.texture, f.texture);
    EXPECT_EQ(f.state.stride, 28);
    EXPECT_GT(f.glyphs.size(), 180);
    // A description naming a missing texture, then a missing description: false, and empty.
    const std::string path = std::string(QM_TEXTURE_DIR) + "/default_font.txt";
    const std::string bad = std::string(getenv("QM_TEST_TMP") ? getenv("QM_TEST_TMP") : "/tmp") + "/no_texture.txt";
    std::string text = replace(read_text(path), "file=\"default_font\"", "file=\"no_such_texture\"");
    FILE *out = fopen(bad.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    fwrite(text.data(), 1, text.size(), out);
    fclose(out);
    EXPECT_FALSE(f.load(bad.c_str()));
    EXPECT_EQ(f.glyphs.size() + f.ranges.size() + f.kernings.size() + f.kerningGroups.size(), 0);
    EXPECT_EQ(f.texture, nullptr);
    EXPECT_EQ(f.getGlyph('A'), nullptr);
    EXPECT_FALSE(f.load("no_such_font.txt"));
    remove(bad.c_str());

    DistIcons icons;
    EXPECT_TRUE(icons.load("ui_icons.txt"));
    EXPECT_EQ(icons.state.shader, nullptr) << "no icon shader before init_dist_icons";
    EXPECT_FALSE(icons.load("default_font.txt"));
    EXPECT_EQ(icons.icons.size(), 0);
  }
  memcpy(app_path, saved, sizeof(app_path));
  close_d3d();
  d3d_resource_hooks = D3dResourceHooks();
  set_render_backend(nullptr);
}
