// DDS header acceptance and refusal, level layout, and files that hold less than they announce.
#include <gtest/gtest.h>

#include "render/d3d_types.h"
#include "render/dds.h"
#include "resource_fixture.h"

namespace
{
bool parse(const DdsFileBuilder &s, DdsInfo &info)
{
  std::vector<uint8_t> f = s.bytes();
  return parse_dds(f.data(), f.size(), info);
}
bool accepted(const DdsFileBuilder &s)
{
  DdsInfo info;
  return parse(s, info);
}

TEST(DdsParse, AcceptsTheUncompressedSubset)
{
  DdsInfo info;
  DdsFileBuilder argb;
  ASSERT_TRUE(parse(argb, info));
  EXPECT_EQ(info.format, uint32_t(D3DFMT_A8R8G8B8));
  EXPECT_EQ(info.width, 4u);
  EXPECT_EQ(info.levels, 1u);
  EXPECT_EQ(info.data_bytes, 64u);

  DdsFileBuilder xrgb;
  xrgb.pf_flags = 0x40;  // RGB without the alpha-pixels flag
  xrgb.masks[3] = 0;
  ASSERT_TRUE(parse(xrgb, info));
  EXPECT_EQ(info.format, uint32_t(D3DFMT_X8R8G8B8));

  DdsFileBuilder lum;
  lum.pf_flags = 0x20000;
  lum.bits = 8;
  lum.data_bytes = 16;
  ASSERT_TRUE(parse(lum, info));
  EXPECT_EQ(info.format, uint32_t(D3DFMT_L8));
  EXPECT_EQ(info.data_bytes, 16u);

  // Neither pitch nor linear size is fine: the sizes come from width, height and format.
  DdsFileBuilder bare;
  bare.flags = 0x1007;
  EXPECT_TRUE(accepted(bare));
  bare.flags = 0x1007 | 0x8;
  EXPECT_TRUE(accepted(bare));
}

TEST(DdsParse, RefusesEverythingOutsideTheSubset)
{
  DdsFileBuilder rgb24;
  rgb24.bits = 24;
  rgb24.pf_flags = 0x40;
  rgb24.masks[3] = 0;
  EXPECT_FALSE(accepted(rgb24));

  DdsFileBuilder bgr;  // 32-bit with the red and blue masks swapped
  std::swap(bgr.masks[0], bgr.masks[2]);
  EXPECT_FALSE(accepted(bgr));
  DdsFileBuilder bad_alpha;
  bad_alpha.masks[3] = 0xff;
  EXPECT_FALSE(accepted(bad_alpha));

  DdsFileBuilder lum16;
  lum16.pf_flags = 0x20000;
  lum16.bits = 16;
  EXPECT_FALSE(accepted(lum16));
  DdsFileBuilder no_format;
  no_format.pf_flags = 0;
  EXPECT_FALSE(accepted(no_format));

  DdsFileBuilder cube;
  cube.caps2 = 0xFE00;
  EXPECT_FALSE(accepted(cube));
  DdsFileBuilder volume;
  volume.caps2 = 0x200000;
  EXPECT_FALSE(accepted(volume));

  DdsFileBuilder both;
  both.flags = 0x1007 | 0x8 | 0x80000;
  EXPECT_FALSE(accepted(both));
  for (uint32_t missing : {0x1u, 0x2u, 0x4u, 0x1000u})
  {
    DdsFileBuilder s;
    s.flags = 0x1007 & ~missing;
    EXPECT_FALSE(accepted(s)) << missing;
  }
  DdsFileBuilder no_texture_cap;
  no_texture_cap.caps = 0;
  EXPECT_FALSE(accepted(no_texture_cap));
  DdsFileBuilder header_size;
  header_size.header_size = 100;
  EXPECT_FALSE(accepted(header_size));
  DdsFileBuilder pf_size;
  pf_size.pf_size = 24;
  EXPECT_FALSE(accepted(pf_size));

  EXPECT_FALSE(accepted(DdsFileBuilder::dxt("DXT2", 4, 4, 0, 16)));
  EXPECT_FALSE(accepted(DdsFileBuilder::dxt("ATI2", 4, 4, 0, 16)));

  DdsFileBuilder zero_w, zero_h;
  zero_w.width = 0;
  zero_h.height = 0;
  EXPECT_FALSE(accepted(zero_w));
  EXPECT_FALSE(accepted(zero_h));

  std::vector<uint8_t> f = DdsFileBuilder().bytes();
  DdsInfo info;
  EXPECT_FALSE(parse_dds(f.data(), 127, info));  // header cut short
  f[3] = 'X';
  EXPECT_FALSE(parse_dds(f.data(), f.size(), info));
  EXPECT_FALSE(parse_dds(nullptr, 0, info));
}

TEST(DdsParse, BlockFormatsAndAFullMipChain)
{
  // 256x256 DXT1 with 9 levels: 32768 + 8192 + 2048 + 512 + 128 + 32 + 8 + 8 + 8 bytes.
  DdsInfo info;
  ASSERT_TRUE(parse(DdsFileBuilder::dxt("DXT1", 256, 256, 9, 43704), info));
  EXPECT_EQ(info.format, uint32_t(D3DFMT_DXT1));
  EXPECT_EQ(info.levels, 9u);
  EXPECT_EQ(info.data_bytes, 43704u);
  EXPECT_EQ(dds_level_bytes(info, 0), 32768u);
  EXPECT_EQ(dds_level_bytes(info, 6), 8u);
  EXPECT_EQ(dds_level_bytes(info, 7), 8u);
  EXPECT_EQ(dds_level_bytes(info, 8), 8u);
  EXPECT_FALSE(parse(DdsFileBuilder::dxt("DXT1", 256, 256, 9, 43703), info));

  ASSERT_TRUE(parse(DdsFileBuilder::dxt("DXT3", 8, 4, 0, 32), info));
  EXPECT_EQ(info.format, uint32_t(D3DFMT_DXT3));
  ASSERT_TRUE(parse(DdsFileBuilder::dxt("DXT5", 5, 5, 0, 64), info));  // 2x2 blocks of 16 bytes
  EXPECT_EQ(info.format, uint32_t(D3DFMT_DXT5));
  EXPECT_FALSE(parse(DdsFileBuilder::dxt("DXT5", 5, 5, 0, 63), info));

  // The mip count is clamped to the chain the size allows, and to at least one level.
  DdsFileBuilder many;
  many.mips = 20;
  many.data_bytes = 64 + 16 + 4;
  ASSERT_TRUE(parse(many, info));
  EXPECT_EQ(info.levels, 3u);
  DdsFileBuilder none;
  none.mips = 0;
  none.caps = 0x1000 | 0x400000;
  ASSERT_TRUE(parse(none, info));
  EXPECT_EQ(info.levels, 1u);
  // Without the mipmap cap the count is ignored.
  DdsFileBuilder ignored;
  ignored.caps = 0x1000;
  std::vector<uint8_t> f = ignored.bytes();
  f[4 + 6 * 4] = 3;
  ASSERT_TRUE(parse_dds(f.data(), f.size(), info));
  EXPECT_EQ(info.levels, 1u);

  // Non-square chains stop at 1 on the short side: 8x2 has 4 levels of 8x2, 4x1, 2x1, 1x1.
  DdsFileBuilder wide;
  wide.width = 8;
  wide.height = 2;
  wide.mips = 4;
  wide.data_bytes = (16 + 4 + 2 + 1) * 4;
  ASSERT_TRUE(parse(wide, info));
  EXPECT_EQ(info.levels, 4u);
}

TEST(DdsParse, FilesShorterThanTheirLevelsAreRefused)
{
  // Every level must be present: one byte short anywhere in the chain is not a DDS.
  DdsFileBuilder chain;
  chain.width = chain.height = 16;
  chain.mips = 5;
  chain.data_bytes = (256 + 64 + 16 + 4 + 1) * 4;
  EXPECT_TRUE(accepted(chain));
  chain.data_bytes -= 1;
  EXPECT_FALSE(accepted(chain));
  chain.data_bytes = 0;
  EXPECT_FALSE(accepted(chain));

  // Sizes whose byte counts overflow 32 or 64 bits are refused, not wrapped.
  DdsFileBuilder huge;
  huge.width = huge.height = 0xFFFFFFFFu;
  huge.mips = 33;
  EXPECT_FALSE(accepted(huge));
  EXPECT_FALSE(accepted(DdsFileBuilder::dxt("DXT5", 0xFFFFFFFFu, 0xFFFFFFFFu, 1, 64)));
  DdsFileBuilder wrap32;  // 65536 x 16384 x 4 bytes is 2^32: zero when counted in 32 bits
  wrap32.width = 65536;
  wrap32.height = 16384;
  EXPECT_FALSE(accepted(wrap32));
}

TEST(DdsParse, FuzzSeedsAreAcceptedFiles)
{
  std::filesystem::path seeds = std::filesystem::path(QM_SOURCE_DIR) / "fuzz/corpus/dds";
  int n = 0;
  for (const auto &entry : std::filesystem::directory_iterator(seeds))
  {
    std::ifstream in(entry.path(), std::ios::binary);
    std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    DdsInfo info;
    EXPECT_TRUE(parse_dds(f.data(), f.size(), info)) << entry.path();
    EXPECT_EQ(DDS_HEADER_BYTES + info.data_bytes, f.size()) << entry.path();
    n++;
  }
  EXPECT_GE(n, 6);
}
}  // namespace
