// The once-per-second shader change check (one file-time query per dependency of each shader,
// on the recording backend with a full table of 64 shaders), and parsing cache files.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/device.h"
#include "render/recording_backend.h"
#include "render/shader.h"
#include "render/shader_cache.h"
#include "support/file_path.h"

namespace
{
struct ShaderBenchWorld
{
  RecordingBackend rb;
  std::string dir;
  char saved[260];

  ShaderBenchWorld()
  {
    char buf[] = "/tmp/qm_shader_bench_XXXXXX";
    if (!mkdtemp(buf))
      abort();
    dir = std::string(buf) + "/";
    memcpy(saved, app_path, sizeof(saved));
    snprintf(app_path, sizeof(app_path), "%s", dir.c_str());
    std::ofstream(dir + "a.inc") << "float a;\n";
    std::ofstream(dir + "b.inc") << "#include \"a.inc\"\nfloat b;\n";
    set_render_backend(&rb);
    init_shader_compiler();
    for (int i = 0; i < MAX_SHADERS; i++)
    {
      std::string name = "s" + std::to_string(i) + ".sh";
      std::ofstream(dir + name) << "#include \"b.inc\"\n#ifdef VSH\nvoid vsh() {}\n#endif\n"
                                   "#ifdef PSH\nvoid psh() {}\n#endif\n";
      create_shader(name.c_str(), nullptr);
    }
  }
  ~ShaderBenchWorld()
  {
    close_shaders();
    set_render_backend(nullptr);
    memcpy(app_path, saved, sizeof(saved));
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};
}  // namespace

// 64 shaders of three files each, nothing changed: 192 file-time queries.
static void BM_ShaderReloadCheck(benchmark::State &state)
{
  ShaderBenchWorld w;
  for (auto _ : state)
    reload_shaders(false);
  state.SetItemsProcessed(int64_t(state.iterations()) * MAX_SHADERS);
}
BENCHMARK(BM_ShaderReloadCheck);

// Parsing a cache file naming `range(0)` files. The parser's work is in the list of names (each
// one found, checked and deduplicated); the code blocks are only pointed at, so they stay at a
// typical size while the name list, and with it the file, grows with the argument.
static void BM_ShaderCacheParse(benchmark::State &state)
{
  std::vector<std::string> deps;
  for (int i = 0; i < state.range(0); i++)
    deps.push_back("shaders/include/common_" + std::to_string(i) + ".inc");
  std::string code(4096, 'x');
  std::string bytes = build_shader_cache(deps, code, code);
  for (auto _ : state)
  {
    ShaderCacheContents c;
    benchmark::DoNotOptimize(
        parse_shader_cache(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), c));
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_ShaderCacheParse)->Arg(4)->Arg(32)->Arg(SHADER_CACHE_MAX_DEPS);
