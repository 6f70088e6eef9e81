// The texture table: slots, exhaustion, shorthands, locking, sampler state and device resets.
#include <gtest/gtest.h>

#include "render/texture.h"
#include "resource_fixture.h"

namespace
{
using TextureTable = ResourceTest;

int slot_of(const Texture *t) { return int(t - texture_slot(0)); }

TEST_F(TextureTable, SlotsAreTakenFirstFreeAndExhaustionIsReported)
{
  std::vector<Texture *> all;
  for (int i = 0; i < MAX_TEXTURES; i++)
  {
    Texture *t = create_managed_texture(4, 4);
    ASSERT_NE(t, nullptr) << i;
    EXPECT_EQ(slot_of(t), i);
    all.push_back(t);
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(create_managed_texture(4, 4), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("reached MAX_TEXTURES"), std::string::npos);

  release_texture(all[500]);
  EXPECT_FALSE(all[500]->used);
  Texture *again = create_texture(8, 2, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED);
  ASSERT_EQ(again, all[500]);
  EXPECT_EQ(again->width, 8u);
  EXPECT_EQ(again->format, uint32_t(D3DFMT_L8));
  release_texture(nullptr);  // ignored
  close_d3d();
  EXPECT_EQ(rb.live_objects(), 0);  // every slot released at shutdown
  EXPECT_FALSE(texture_slot(0)->used);
  EXPECT_FALSE(texture_slot(999)->used);
}

TEST_F(TextureTable, ShorthandsAndDeviceErrors)
{
  Texture *m = create_managed_texture(16, 8);
  Texture *d = create_dynamic_texture(16, 8);
  Texture *rt = create_render_target(32, 32, 5);
  Texture *screen = create_screen_render_target();
  ASSERT_TRUE(m && d && rt && screen);
  EXPECT_EQ(count("CreateTexture(16x8, 1, 0, 21, 1)"), 1);
  EXPECT_EQ(count("CreateTexture(16x8, 1, 512, 21, 0)"), 1);
  EXPECT_EQ(count("CreateTexture(32x32, 1, 1, 113, 0)"), 1);
  EXPECT_EQ(count("CreateTexture(640x360, 1, 1, 21, 0)"), 1);
  EXPECT_EQ(screen->width, 0u);  // recorded as "the back buffer's size"

  testing::internal::CaptureStdout();
  EXPECT_EQ(create_render_target(4, 4, 9), nullptr);  // no such kind
  rb.texture_error = D3DERR_OUTOFVIDEOMEMORY;
  EXPECT_EQ(create_managed_texture(4, 4), nullptr);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("error creating texture (code 0x8876086C)"), std::string::npos);
  EXPECT_NE(out.find("error creating texture (code 0x8876017C)"), std::string::npos);
  // Failed creations leave their slot free.
  rb.texture_error = D3D_OK;
  EXPECT_EQ(slot_of(create_managed_texture(4, 4)), 4);
}

TEST_F(TextureTable, LockingAndSamplerState)
{
  Texture *d = create_dynamic_texture(3, 2);
  int pitch = 0;
  uint32_t *px = static_cast<uint32_t *>(lock_texture(d, pitch, true));
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(pitch, 12);
  px[0] = 0xFF112233;
  unlock_texture(d);
  EXPECT_EQ(count("LockTexture("), 1);
  EXPECT_EQ(rb.callsStartingWith("LockTexture(")[0], "LockTexture(" + std::to_string(d->tex.id) + ", 0, discard)");
  EXPECT_EQ(count("UnlockTexture("), 1);

  rb.lock_error = D3DERR_INVALIDCALL;
  testing::internal::CaptureStdout();
  EXPECT_EQ(lock_texture(d, pitch, false), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("error locking texture (code 0x8876086C)"),
            std::string::npos);

  rb.clearLog();
  set_texture(2, d);
  set_texture(3, nullptr);
  EXPECT_EQ(rb.calls[0], "SetTexture(2, " + std::to_string(d->tex.id) + ")");
  EXPECT_EQ(rb.calls[1], "SetTexture(3, 0)");

  auto sampler = [&](int stage, D3dSamplerState s) {
    std::string key = "SetSamplerState(" + std::to_string(stage) + ", " + std::to_string(int(s)) + ", ";
    std::vector<std::string> c = rb.callsStartingWith(key.c_str());
    return c.empty() ? -1 : std::stoi(c.back().substr(key.size()));
  };
  set_tex_filter(1, false);
  EXPECT_EQ(sampler(1, D3DSAMP_MINFILTER), int(D3DTEXF_POINT));
  EXPECT_EQ(sampler(1, D3DSAMP_MAGFILTER), int(D3DTEXF_POINT));
  EXPECT_EQ(sampler(1, D3DSAMP_MIPFILTER), int(D3DTEXF_POINT));
  set_tex_filter(1, true);
  EXPECT_EQ(sampler(1, D3DSAMP_MIPFILTER), int(D3DTEXF_LINEAR));

  set_tex_address(4, 0);  // v and w follow u
  EXPECT_EQ(sampler(4, D3DSAMP_ADDRESSU), int(D3DTADDRESS_WRAP));
  EXPECT_EQ(sampler(4, D3DSAMP_ADDRESSV), int(D3DTADDRESS_WRAP));
  EXPECT_EQ(sampler(4, D3DSAMP_ADDRESSW), int(D3DTADDRESS_WRAP));
  set_tex_address(4, 1, 2);  // w follows v
  EXPECT_EQ(sampler(4, D3DSAMP_ADDRESSU), int(D3DTADDRESS_CLAMP));
  EXPECT_EQ(sampler(4, D3DSAMP_ADDRESSV), int(D3DTADDRESS_BORDER));
  EXPECT_EQ(sampler(4, D3DSAMP_ADDRESSW), int(D3DTADDRESS_BORDER));
  set_tex_address(4, 2, -1, 7);
  EXPECT_EQ(sampler(4, D3DSAMP_ADDRESSV), int(D3DTADDRESS_BORDER));
  EXPECT_EQ(sampler(4, D3DSAMP_ADDRESSW), int(D3DTADDRESS_CLAMP));
}

TEST_F(TextureTable, ResetRecreatesDefaultPoolTexturesAtTheNewSize)
{
  Texture *managed = create_managed_texture(16, 16);
  Texture *screen = create_screen_render_target();
  Texture *fixed = create_render_target(64, 32, 1);
  Texture *dyn = create_dynamic_texture(8, 8);
  TextureHandle managed_tex = managed->tex;
  TextureHandle old_screen = screen->tex;
  rb.clearLog();

  ASSERT_TRUE(resize_d3d(800, 600, false, false));
  EXPECT_EQ(managed->tex, managed_tex);  // the managed pool survives untouched
  EXPECT_EQ(count("ReleaseTexture(" + std::to_string(managed_tex.id) + ")"), 0);
  EXPECT_EQ(count("ReleaseTexture(" + std::to_string(old_screen.id) + ")"), 1);
  EXPECT_EQ(count("CreateTexture(800x600, 1, 1, 21, 0)"), 1);
  EXPECT_EQ(count("CreateTexture(64x32, 1, 1, 21, 0)"), 1);
  EXPECT_EQ(count("CreateTexture(8x8, 1, 512, 21, 0)"), 1);
  EXPECT_NE(screen->tex.id, 0u);
  EXPECT_TRUE(screen->used && fixed->used && dyn->used);
  // Released before the reset, recreated after it.
  int released = -1, reset = -1, created = -1;
  for (int i = 0; i < int(rb.calls.size()); i++)
  {
    const std::string &c = rb.calls[size_t(i)];
    if (released < 0 && c.rfind("ReleaseTexture(", 0) == 0)
      released = i;
    if (c.rfind("Reset(", 0) == 0)
      reset = i;
    if (c.rfind("CreateTexture(800x600", 0) == 0)
      created = i;
  }
  EXPECT_LT(released, reset);
  EXPECT_LT(reset, created);

  // A failed recreation is logged; the slot stays and the next reset tries again.
  rb.texture_error = D3DERR_OUTOFVIDEOMEMORY;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(resize_d3d(320, 200, false, false));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("error recreating texture (code 0x8876017C)"),
            std::string::npos);
  EXPECT_EQ(screen->tex.id, 0u);
  EXPECT_TRUE(screen->used);
  rb.texture_error = D3D_OK;
  rb.clearLog();
  ASSERT_TRUE(resize_d3d(320, 200, false, true));
  EXPECT_EQ(count("CreateTexture(320x200, 1, 1, 21, 0)"), 1);
  EXPECT_NE(screen->tex.id, 0u);
}
}  // namespace
