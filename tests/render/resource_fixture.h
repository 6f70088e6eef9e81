#pragma once
// The texture, buffer and declaration tables on the recording backend, connected to the device
// life by their real hooks; and DDS files built byte by byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/device.h"
#include "render/recording_backend.h"
#include "render/resource_hooks.h"

class ResourceTest : public testing::Test
{
protected:
  RecordingBackend rb;
  std::string dir;

  void SetUp() override
  {
    set_render_backend(&rb);
    isFullscreen = false;
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    ASSERT_TRUE(init_d3d(nullptr, 640, 360));
    rb.clearLog();
    const char *base = getenv("QM_TEST_TMP");
    const testing::TestInfo *t = testing::UnitTest::GetInstance()->current_test_info();
    dir = std::string(base ? base : "/tmp") + "/qm_res_" + std::to_string(getpid()) + "_" + t->name();
    std::filesystem::create_directories(dir);
  }
  void TearDown() override
  {
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  int count(const std::string &prefix) const { return int(rb.callsStartingWith(prefix.c_str()).size()); }
  std::string write(const std::string &name, const std::vector<uint8_t> &bytes) const
  {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                std::streamsize(bytes.size()));
    return path;
  }
};

// A DDS file: fields as the header holds them, and `data_bytes` of level data (pattern bytes).
struct DdsFileBuilder
{
  uint32_t width = 4, height = 4;
  uint32_t flags = 0x1007;
  uint32_t mips = 0;  // non-zero: the mipmap cap with this count
  uint32_t caps = 0x1000, caps2 = 0;
  uint32_t pf_flags = 0x41;  // RGB with alpha
  uint32_t fourcc = 0;
  uint32_t bits = 32;
  uint32_t masks[4] = {0xff0000, 0xff00, 0xff, 0xff000000};
  uint32_t header_size = 124, pf_size = 32;
  size_t data_bytes = 64;

  static DdsFileBuilder dxt(const char *code, uint32_t w, uint32_t h, uint32_t mips, size_t bytes)
  {
    DdsFileBuilder s;
    s.width = w;
    s.height = h;
    s.mips = mips;
    s.pf_flags = 0x4;
    memcpy(&s.fourcc, code, 4);
    s.bits = 0;
    for (uint32_t &m : s.masks)
      m = 0;
    s.data_bytes = bytes;
    s.flags |= 0x80000;
    return s;
  }
  std::vector<uint8_t> bytes() const
  {
    std::vector<uint8_t> f(128 + data_bytes);
    memcpy(f.data(), "DDS ", 4);
    uint32_t w[31] = {};
    w[0] = header_size;
    w[1] = flags | (mips ? 0x20000u : 0u);
    w[2] = height;
    w[3] = width;
    w[6] = mips;
    w[18] = pf_size;
    w[19] = pf_flags;
    w[20] = fourcc;
    w[21] = bits;
    for (int i = 0; i < 4; i++)
      w[22 + i] = masks[i];
    w[26] = caps | (mips ? 0x400008u : 0u);
    w[27] = caps2;
    memcpy(f.data() + 4, w, sizeof(w));
    for (size_t i = 0; i < data_bytes; i++)
      f[128 + i] = uint8_t(i * 7 + 1);
    return f;
  }
};
