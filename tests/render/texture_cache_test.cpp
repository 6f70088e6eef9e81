// Loading DDS files level by level, the fatal texts of the loader, and the reference-counted cache.
#include <gtest/gtest.h>

#include "render/dds.h"
#include "render/texture.h"
#include "render/texture_cache.h"
#include "resource_fixture.h"

namespace
{
using TextureFiles = ResourceTest;

TEST_F(TextureFiles, EveryLevelIsCopiedFromTheFile)
{
  std::vector<uint8_t> file = DdsFileBuilder::dxt("DXT1", 256, 256, 9, 43704).bytes();
  std::string path = write("chain.dds", file);
  Texture *t = load_dds_texture(path.c_str());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->pool, uint32_t(D3DPOOL_MANAGED));
  EXPECT_EQ(count("CreateTexture(256x256, 9, 0, 827611204, 1)"), 1);
  const RecordingBackend::TextureData &td = rb.textures.at(t->tex);
  size_t at = 128;
  for (int l = 0; l < 9; l++)
  {
    const std::vector<uint8_t> &lv = td.level[size_t(l)];
    ASSERT_EQ(lv.size(), l < 7 ? size_t(32768 >> (2 * l)) : size_t(8)) << l;
    EXPECT_TRUE(std::equal(lv.begin(), lv.end(), file.begin() + long(at))) << l;
    at += lv.size();
  }
  EXPECT_EQ(at, file.size());
  EXPECT_EQ(count("UnlockTexture("), 9);
  // A new texture is filled without reading its levels back first.
  for (const std::string &lock : rb.callsStartingWith("LockTexture("))
    EXPECT_NE(lock.find(", discard)"), std::string::npos) << lock;

  // 32-bit and 8-bit formats are copied row by row.
  DdsFileBuilder lum;
  lum.width = 5;
  lum.height = 3;
  lum.pf_flags = 0x20000;
  lum.bits = 8;
  lum.data_bytes = 15;
  std::vector<uint8_t> lf = lum.bytes();
  Texture *l8 = load_dds_texture(write("lum.dds", lf).c_str());
  ASSERT_NE(l8, nullptr);
  EXPECT_EQ(l8->format, uint32_t(D3DFMT_L8));
  const std::vector<uint8_t> &lv = rb.textures.at(l8->tex).level[0];
  EXPECT_TRUE(std::equal(lv.begin(), lv.end(), lf.begin() + 128));

  DdsFileBuilder x;
  x.pf_flags = 0x40;
  x.masks[3] = 0;
  Texture *x8 = load_dds_texture(write("x.dds", x.bytes()).c_str());
  ASSERT_NE(x8, nullptr);
  EXPECT_EQ(x8->format, uint32_t(D3DFMT_X8R8G8B8));
}

TEST_F(TextureFiles, LoaderFailuresAreFatalWithTheirTexts)
{
  std::string missing = dir + "/missing.dds";
  EXPECT_EXIT(load_dds_texture(missing.c_str()), testing::ExitedWithCode(100),
              "Error loading file '.*missing.dds'");
  DdsFileBuilder cube;
  cube.caps2 = 0xFE00;
  std::string c = write("cube.dds", cube.bytes());
  EXPECT_EXIT(load_dds_texture(c.c_str()), testing::ExitedWithCode(100), "Texture '.*cube.dds' is not a DDS");
  // A header that promises more than the file holds is refused before anything is copied.
  std::vector<uint8_t> cut = DdsFileBuilder::dxt("DXT5", 64, 64, 7, 5488).bytes();
  cut.resize(cut.size() - 1);
  std::string t = write("cut.dds", cut);
  EXPECT_EXIT(load_dds_texture(t.c_str()), testing::ExitedWithCode(100), "Texture '.*cut.dds' is not a DDS");

  std::string ok = write("ok.dds", DdsFileBuilder().bytes());
  rb.texture_error = D3DERR_OUTOFVIDEOMEMORY;
  EXPECT_EXIT(load_dds_texture(ok.c_str()), testing::ExitedWithCode(100),
              "Error creating texture from '.*ok.dds'");
  rb.texture_error = D3D_OK;
  rb.lock_error = D3DERR_INVALIDCALL;
  EXPECT_EXIT(load_dds_texture(ok.c_str()), testing::ExitedWithCode(100),
              "error loading texture '.*ok.dds' \\(code 0x8876086C\\)");
}

TEST_F(TextureFiles, CacheCountsReferencesPerPathIgnoringCaseAndSlashes)
{
  write("Rock.dds", DdsFileBuilder().bytes());
  write("sand.dds", DdsFileBuilder().bytes());
  Texture *a = get_texture((dir + "/Rock.dds").c_str());
  Texture *b = get_texture((dir + "\\ROCK.DDS").c_str());
  Texture *sand = get_texture((dir + "/./sand.dds").c_str());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, sand);
  EXPECT_EQ(count("CreateTexture("), 2);  // loaded once per file
  EXPECT_EQ(texture_cache_refs(a), 2);
  EXPECT_EQ(texture_cache_size(), 2);

  free_texture(a);
  EXPECT_TRUE(a->used);
  EXPECT_EQ(texture_cache_refs(a), 1);
  free_texture(b);
  EXPECT_FALSE(a->used);
  EXPECT_EQ(texture_cache_refs(a), 0);
  EXPECT_EQ(texture_cache_size(), 1);
  EXPECT_EQ(texture_cache_refs(sand), 1);  // the record moved by the erase is still found

  // Unknown textures are ignored; a texture not from the cache is left alone.
  Texture *own = create_managed_texture(2, 2);
  free_texture(own);
  free_texture(nullptr);
  EXPECT_TRUE(own->used);

  // A file loaded again after its release gets a fresh slot and one reference.
  Texture *c = get_texture((dir + "/Rock.dds").c_str());
  EXPECT_EQ(texture_cache_refs(c), 1);

  get_texture((dir + "/sand.dds").c_str());
  free_all_textures();
  EXPECT_EQ(texture_cache_size(), 0);
  EXPECT_FALSE(sand->used);
  EXPECT_FALSE(c->used);
  EXPECT_TRUE(own->used);
}

TEST_F(TextureFiles, MissingTexturesAreFatalOnlyWhenRequired)
{
  std::string missing = dir + "/none.dds";
  EXPECT_EQ(get_texture(missing.c_str(), false), nullptr);
  std::string bad = write("bad.dds", std::vector<uint8_t>(200, 0));
  EXPECT_EQ(get_texture(bad.c_str(), false), nullptr);
  EXPECT_EQ(texture_cache_size(), 0);
  EXPECT_EXIT(get_texture(missing.c_str(), true), testing::ExitedWithCode(100),
              "Can't load texture from '.*none.dds'");
}

TEST_F(TextureFiles, ShutdownEmptiesTheCacheWithTheSlots)
{
  std::string p = write("t.dds", DdsFileBuilder().bytes());
  Texture *t = get_texture(p.c_str());
  get_texture(p.c_str());
  close_d3d();
  EXPECT_EQ(texture_cache_size(), 0);
  EXPECT_FALSE(t->used);
  EXPECT_EQ(rb.live_objects(), 0);
}

TEST_F(TextureFiles, LoadFileReadsWholeFiles)
{
  DynArray<uint8_t> buf;
  EXPECT_FALSE(load_file((dir + "/nothing").c_str(), buf));
  EXPECT_FALSE(load_file(dir.c_str(), buf));  // a directory is not a file
  EXPECT_TRUE(load_file(write("empty", {}).c_str(), buf));
  EXPECT_EQ(buf.size(), 0);
  ASSERT_TRUE(load_file(write("three", {1, 2, 3}).c_str(), buf));
  ASSERT_EQ(buf.size(), 3);
  EXPECT_EQ(buf[2], 3);
}
}  // namespace
