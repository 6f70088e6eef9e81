#pragma once
// The compiled-shader cache file, read and written as plain bytes (all integers 32-bit
// little-endian):
//   0  magic 0x20100715
//   4  dependency block length (names, each zero-terminated, then one more zero byte)
//   8  vertex code length
//   12 pixel code length
//   16 the dependency block, then the vertex code, then the pixel code.
// The code blocks hold each stage's preprocessed GLSL.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t SHADER_CACHE_MAGIC = 0x20100715u;
constexpr size_t SHADER_CACHE_HEADER = 16;
// Longest dependency name, terminator excluded.
constexpr size_t SHADER_CACHE_MAX_NAME = 259;
// Most files one shader may read (its source and every include); a cache naming more is a miss.
constexpr int SHADER_CACHE_MAX_DEPS = 256;

struct ShaderCacheContents
{
  std::vector<std::string> deps;
  const char *vs = nullptr;
  uint32_t vsLen = 0;
  const char *ps = nullptr;
  uint32_t psLen = 0;
};

// Checks and splits a cache file held in memory; the code pointers point into `data`. Any
// inconsistency (short file, wrong magic, lengths that disagree with the size, an unterminated or
// too long name, more than SHADER_CACHE_MAX_DEPS names, an empty code block) gives false: the
// cache is then simply not used. A name listed twice is kept once.
bool parse_shader_cache(const uint8_t *data, size_t size, ShaderCacheContents &out);

// The bytes of a cache file.
std::string build_shader_cache(const std::vector<std::string> &deps, const std::string &vs,
                               const std::string &ps);

// Writes `bytes` to a temporary file beside `path` and renames it over `path`; on any failure
// nothing is left behind and false is returned.
bool write_shader_cache_file(const char *path, const std::string &bytes);
