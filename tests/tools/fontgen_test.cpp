// The debug font asset: the file the build wrote is the one the tool makes now (reproducible), it
// reads back as a 16 x 16 grid, code 0's corner is the opaque white texel, and the cells hold the
// characters of their codes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "debug_font.h"
#include "gui/debug_text.h"
#include "support/tga_read.h"

TEST(DebugFontAsset, ReproducibleGridWithInkWhereCharactersAre)
{
  std::string error;
  const Image img = make_debug_font(QM_DEBUG_FONT_SOURCE, error);
  ASSERT_FALSE(img.px.empty()) << error;
  const std::vector<uint8_t> bytes = encode_tga(img);
  std::ifstream built(std::string(QM_TEXTURE_DIR) + "/font.tga", std::ios::binary);
  const std::vector<uint8_t> shipped{std::istreambuf_iterator<char>(built), {}};
  EXPECT_TRUE(shipped == bytes) << "bin/font.tga differs from what qm_fontgen makes now";

  int w = 0, h = 0, pos = 0;
  DynArray<uint32_t> px;
  ASSERT_EQ(parse_tga(bytes.data(), bytes.size(), w, h, px, pos), nullptr);
  ASSERT_EQ(w, 16 * FONT_CELL_W);
  ASSERT_EQ(h, 16 * FONT_CELL_H);
  EXPECT_EQ(px[0], 0xFFFFFFFFu);
  auto ink = [&](int code) {
    for (int y = (code / 16) * FONT_CELL_H; y < (code / 16 + 1) * FONT_CELL_H; y++)
      for (int x = (code % 16) * FONT_CELL_W; x < (code % 16 + 1) * FONT_CELL_W; x++)
        if (px[y * w + x] >> 24 && (x || y))
          return true;
    return false;
  };
  for (int code = 0; code < 256; code++)
    EXPECT_EQ(ink(code), debug_font_char(code) != 0) << code;
  DebugGlyph g[256];
  build_debug_glyphs(px.data, w, h, g);
  EXPECT_EQ(debug_font_char(0x80), 0x20ACu);  // Windows-1252 above 127
  EXPECT_EQ(debug_font_char(0xE9), 0xE9u);
  EXPECT_EQ(debug_font_char(' '), 0u);
  // 'i' is narrower than 'W' (text is spaced by each glyph's ink).
  EXPECT_LT(g['i'].x1 - g['i'].x0, g['W'].x1 - g['W'].x0);
}
