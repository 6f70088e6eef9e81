// Hostile files and paths through every loader: each ends in a clear false or error, with the
// reason where the loader reports one, in bounded time (an alarm ends the test binary instead of
// letting a loader that blocks hang the run).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings.h"
#include "render/device.h"
#include "render/recording_backend.h"
#include "render/resource_hooks.h"
#include "render/shader.h"
#include "render/shader_cache.h"
#include "render/shader_include.h"
#include "render/texture_cache.h"
#include "script/sq_vm_reload.h"
#include "script/sqbind.h"
#include "script/world_gen.h"
#include "support/file_path.h"
#include "support/file_read.h"
#include "support/file_stream.h"
#include "support/tga_read.h"
#include "support/visual_log.h"

namespace
{
enum class Kind
{
  Fifo,
  Directory,
  DevZero,
  Missing,
  Unreadable,
  TooLong,
};

struct Row
{
  Kind kind;
  const char *what;
  const char *reason;
};

const Row rows[] = {
    {Kind::Fifo, "FIFO", "not a regular file"},
    {Kind::Directory, "directory", "not a regular file"},
    {Kind::DevZero, "link to /dev/zero", "not a regular file"},
    {Kind::Missing, "missing file", "No such file or directory"},
    {Kind::Unreadable, "unreadable file", "Permission denied"},
    {Kind::TooLong, "313-character path", "path too long"},
};

void write_file(const std::string &path, const std::string &bytes)
{
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string slurp(const std::string &path)
{
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// Puts the hostile thing at `path` and gives the name to load. Where the thing has contents they
// are `good`, a file the loader would accept. The too-long name is 313 characters whose first
// 259 name a file holding `good`: a path cut to a 260-byte buffer would load that other file.
std::string place(Kind k, const std::string &path, const std::string &good)
{
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  switch (k)
  {
    case Kind::Fifo: EXPECT_EQ(mkfifo(path.c_str(), 0666), 0); break;
    case Kind::Directory: std::filesystem::create_directory(path); break;
    case Kind::DevZero: EXPECT_EQ(symlink("/dev/zero", path.c_str()), 0); break;
    case Kind::Missing: break;
    case Kind::Unreadable:
      write_file(path, good);
      chmod(path.c_str(), 0);
      break;
    case Kind::TooLong:
    {
      std::string dir = std::filesystem::path(path).parent_path().string();
      EXPECT_LT(dir.size(), 200u);
      std::string cut = dir + "/" + std::string(258 - dir.size(), 'p');
      write_file(cut, good);
      return cut + "/" + std::string(313 - cut.size() - 1, 'q');
    }
  }
  return path;
}

RecordingBackend rb;
std::string scratch;

// Each loader gets a fresh directory and returns what it reported ("" when it loaded).
struct Loader
{
  const char *name;
  bool reports_reason;
  std::string (*load)(Kind k);
};

std::string dds_bytes() { return slurp(std::string(QM_SOURCE_DIR) + "/fuzz/corpus/dds/argb_4x4.dds"); }

const Loader loaders[] = {
    {"read_file", true,
     [](Kind k) -> std::string {
       std::string name = place(k, scratch + "/f", "x");
       std::string out;
       int err = 0;
       return read_file(make_full_path(name.c_str()), 1 << 20, out, err) ? "" : file_error_text(err);
     }},
    {"FileInputStream", false,
     [](Kind k) -> std::string {
       std::string name = place(k, scratch + "/f", "x");
       FileInputStream in;
       return in.open(make_full_path(name.c_str())) ? "" : "refused";
     }},
    {"settings", false,
     [](Kind k) -> std::string {
       // Its path comes from a directory: too long a directory stands for the too-long row.
       std::string dir = scratch + "/cfg";
       if (k == Kind::TooLong)
         dir += "/" + std::string(1100, 'd');
       else
         place(k, dir + "/settings.ini", "flags=dword:1\n");
       setenv("QUENMOOR_CONFIG_DIR", dir.c_str(), 1);
       int v = 0;
       bool read = get_config_int("flags", v);
       // Nothing that could not be read is ever replaced.
       bool wrote = k != Kind::Missing && set_config_int("flags", 2);
       unsetenv("QUENMOOR_CONFIG_DIR");
       return read || wrote ? "" : "refused";
     }},
    {"shader source or include", true,
     [](Kind k) -> std::string {
       std::string name = place(k, scratch + "/inc.sh", "void vsh() {}\n");
       MyShaderInclude inc;
       const void *data = nullptr;
       uint32_t bytes = 0;
       if (inc.open(0, name.c_str(), nullptr, &data, &bytes) == D3D_OK)
       {
         inc.close(data);
         return "";
       }
       return file_error_text(inc.error);
     }},
    {"shader cache", false,
     [](Kind k) -> std::string {
       Shader s;
       // A name too long for the cache path stands for the too-long row.
       std::string name = k == Kind::TooLong ? std::string(250, 'n') : "h.sh";
       snprintf(s.name, sizeof(s.name), "%s", name.c_str());
       write_file(scratch + "/h.sh", "void vsh() {}\n");
       place(k == Kind::TooLong ? Kind::Missing : k, scratch + "/cache/h.sh.cache",
             build_shader_cache({"h.sh"}, "V", "P"));
       bool ok = load_cached_shader(&s);
       if (ok)
       {
         get_render_backend()->releaseShader(s.vs);
         get_render_backend()->releaseShader(s.ps);
       }
       return ok ? "" : "refused";
     }},
    {"texture", true,
     [](Kind k) -> std::string {
       std::string name = place(k, scratch + "/t.dds", dds_bytes());
       testing::internal::CaptureStdout();
       Texture *tex = get_texture(name.c_str(), false);
       std::string log = testing::internal::GetCapturedStdout();
       if (tex)
         free_texture(tex);
       return tex ? "" : log;
     }},
    {"script file", true,
     [](Kind k) -> std::string {
       std::string name = place(k, scratch + "/s.nut", "::loaded <- 1;\n");
       SqReloadableVM rvm;
       rvm.init(1024);
       testing::internal::CaptureStdout();
       bool ok = rvm.addScript(name.c_str());
       testing::internal::GetCapturedStdout();
       return ok ? "" : sqbind::last_error_text(rvm.vm);
     }},
    {"script include()", true,
     [](Kind k) -> std::string {
       std::string name = place(k, scratch + "/s.nut", "::loaded <- 1;\n");
       write_file(scratch + "/main.nut", "include(\"" + name + "\");\n");
       SqReloadableVM rvm;
       rvm.init(1024);
       testing::internal::CaptureStdout();
       bool ok = rvm.addScript((scratch + "/main.nut").c_str());
       testing::internal::GetCapturedStdout();
       return ok ? "" : sqbind::last_error_text(rvm.vm);
     }},
    {"TGA image", true,
     [](Kind k) -> std::string {
       std::string tga(18, '\0');
       tga[2] = 2, tga[12] = 1, tga[14] = 1, tga[16] = 32;
       std::string name = place(k, scratch + "/f.tga", tga + "abcd");
       int w = 0, h = 0;
       DynArray<uint32_t> px;
       testing::internal::CaptureStdout();
       bool ok = read_tga(make_full_path(name.c_str()), w, h, px);
       std::string log = testing::internal::GetCapturedStdout();
       return ok ? "" : log;
     }},
    {"world generation script (the on-screen message)", true,
     [](Kind k) -> std::string {
       std::string name = place(k, scratch + "/w.nut", "function generate_world(n) {}\n");
       set_error_message(nullptr);
       testing::internal::CaptureStdout();
       init_world_gen_vm(name.c_str());
       testing::internal::GetCapturedStdout();
       std::string msg = get_error_message();
       close_world_gen_vm();
       set_error_message(nullptr);
       return msg;
     }},
};

class HostileFiles : public testing::Test
{
protected:
  char saved_app_path[260];

  void SetUp() override
  {
    alarm(60);  // a loader that blocks on open or reads without end fails the run, not hangs it
    memcpy(saved_app_path, app_path, sizeof(saved_app_path));
    set_render_backend(&rb);
    install_resource_hooks();
    ASSERT_TRUE(init_d3d(nullptr, 64, 64));
    shader_compiler_disabled = false;
    init_shader_compiler();
  }
  void TearDown() override
  {
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    memcpy(app_path, saved_app_path, sizeof(app_path));
    alarm(0);
  }
  // A fresh scratch directory, also the application directory.
  void fresh()
  {
    const char *base = getenv("QM_TEST_TMP");
    std::filesystem::create_directories(base ? base : "/tmp");
    scratch = std::string(base ? base : "/tmp") + "/qm_hostile_" + std::to_string(getpid());
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
    std::filesystem::create_directories(scratch);
    snprintf(app_path, sizeof(app_path), "%s/", scratch.c_str());
  }
};
}  // namespace

TEST_F(HostileFiles, EveryLoaderRefusesWithTheReasonAndNeverBlocks)
{
  const bool root = geteuid() == 0;  // permissions do not bind root: that row is skipped then
  for (const Loader &l : loaders)
    for (const Row &r : rows)
    {
      if (r.kind == Kind::Unreadable && root)
        continue;
      fresh();
      std::string said = l.load(r.kind);
      EXPECT_NE(said, "") << l.name << " loaded a " << r.what;
      if (l.reports_reason)
      {
        EXPECT_NE(said.find(r.reason), std::string::npos) << l.name << ", " << r.what << ": " << said;
      }
    }
  std::error_code ec;
  std::filesystem::remove_all(scratch, ec);
}

TEST_F(HostileFiles, ScriptErrorsNameTheFileAndTheReason)
{
  fresh();
  std::string missing = scratch + "/gone.nut";
  write_file(scratch + "/main.nut", "include(\"\");\n");
  SqReloadableVM rvm;
  rvm.init(1024);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(rvm.addScript(missing.c_str()));
  EXPECT_EQ(std::string(sqbind::last_error_text(rvm.vm)),
            "can't load script '" + missing + "': No such file or directory");
  EXPECT_FALSE(rvm.addScript("main.nut"));  // include("") is an error, not the directory
  EXPECT_NE(std::string(sqbind::last_error_text(rvm.vm)).find("empty file name"), std::string::npos);
  testing::internal::GetCapturedStdout();
}

TEST(ReadFile, LimitsAndTheEmptyPath)
{
  std::string out = "old";
  int err = 0;
  EXPECT_FALSE(read_file("", 10, out, err));  // what make_full_path gives for a name too long
  EXPECT_STREQ(file_error_text(err), "path too long");
  EXPECT_EQ(out, "");
  EXPECT_FALSE(read_file(std::string(5000, 'a').c_str(), 10, out, err));  // past the system's limit
  EXPECT_STREQ(file_error_text(err), "path too long");
  std::string self = std::string(QM_SOURCE_DIR) + "/tests/support/hostile_files_test.cpp";
  EXPECT_FALSE(read_file(self.c_str(), 100, out, err));
  EXPECT_EQ(err, EFBIG);
  ASSERT_TRUE(read_file(self.c_str(), 1 << 20, out, err));
  EXPECT_EQ(out.substr(0, 3), "// ");
}
