#pragma once
// Shader tests: a scratch application directory with shader sources and a cache directory, the
// recording backend as the device, and the on-screen error message connected as at start-up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/shader_messages.h"
#include "render/device.h"
#include "render/recording_backend.h"
#include "render/shader.h"
#include "support/file_path.h"
#include "support/visual_log.h"

struct ShaderAppDir
{
  std::string dir;
  char saved[260];

  ShaderAppDir()
  {
    const char *base = getenv("QM_TEST_TMP");
    std::string root = base ? base : "/tmp";
    std::filesystem::create_directories(root);
    char buf[512];
    snprintf(buf, sizeof(buf), "%s/qm_shader_XXXXXX", root.c_str());
    if (!mkdtemp(buf))
      abort();
    dir = std::string(buf) + "/";
    memcpy(saved, app_path, sizeof(saved));
    snprintf(app_path, sizeof(app_path), "%s", dir.c_str());
  }
  ~ShaderAppDir()
  {
    memcpy(app_path, saved, sizeof(saved));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string path(const std::string &name) const { return dir + name; }
  void write(const std::string &name, const std::string &text) const
  {
    std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
    std::ofstream(path(name), std::ios::binary) << text;
  }
  std::string read(const std::string &name) const
  {
    std::ifstream f(path(name), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  bool exists(const std::string &name) const { return std::filesystem::exists(path(name)); }
  // Sets the file's modification time `seconds` away from now (tests never wait for the clock).
  void setTime(const std::string &name, int seconds) const
  {
    struct timespec t[2];
    clock_gettime(CLOCK_REALTIME, &t[0]);
    t[0].tv_sec += seconds;
    t[1] = t[0];
    ASSERT_EQ(utimensat(AT_FDCWD, path(name).c_str(), t, 0), 0) << name;
  }
};

class ShaderTest : public testing::Test
{
protected:
  RecordingBackend rb;
  ShaderAppDir app;

  void SetUp() override
  {
    set_render_backend(&rb);
    shader_compiler_disabled = false;
    unsetenv("QM_NO_SHADER_COMPILER");
    init_shader_compiler();
    set_error_message(nullptr);
    connect_shader_messages();  // as start-up does
    std::filesystem::create_directories(app.path("cache"));
  }
  void TearDown() override
  {
    close_shaders();
    shader_message_hooks = ShaderMessageHooks();
    set_error_message(nullptr);
    shader_compiler_disabled = false;
    set_render_backend(nullptr);
  }

  // Switches the compiler off (or on again) as start-up would.
  void setCompiler(bool on)
  {
    shader_compiler_disabled = !on;
    init_shader_compiler();
  }
  // A shader source whose both stages carry `tag` in their text.
  static std::string source(const std::string &tag, const std::string &includes = "")
  {
    return includes + "// " + tag + "\n#ifdef VSH\nvoid vsh() {}\n#endif\n#ifdef PSH\nvoid psh() {}\n#endif\n";
  }
  // The on-screen error message.
  static std::string screen() { return get_error_message(); }
  std::string codeOf(ShaderHandle h) const
  {
    auto it = rb.shader_code.find(h);
    return it == rb.shader_code.end() ? std::string() : it->second;
  }
  int used_slots() const
  {
    int n = 0;
    for (const Shader &s : shader_slots)
      n += bool(s.vs);
    return n;
  }
};
