// Shader slots, cache and reloads on the recording backend.
#include <vector>

#include "render/shader_cache.h"
#include "shader_fixture.h"

namespace
{
const char INST[] = "INST\0 1\0";  // with the implicit final zero: one pair, then the empty name
const char EMPTY_BLOCK[] = "";
}  // namespace

TEST_F(ShaderTest, NullAndEmptyDefinesShareOneSlotWhileOtherDefinesGetTheirOwn)
{
  app.write("land.sh", source("land"));
  Shader *a = create_shader("land.sh", nullptr);
  Shader *b = create_shader("land.sh", EMPTY_BLOCK);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->refcount, 2);
  EXPECT_TRUE(app.exists("cache/land.sh.cache"));

  Shader *inst = create_shader("land.sh", INST);
  EXPECT_NE(inst, a);
  EXPECT_EQ(inst->refcount, 1);
  EXPECT_TRUE(app.exists("cache/land.sh@INST@_1.cache"));
  EXPECT_NE(codeOf(inst->vs).find("#define INST  1\n"), std::string::npos);
  EXPECT_EQ(codeOf(a->vs).find("INST"), std::string::npos);
  // Names compare case-sensitively.
  app.write("Land.sh", source("Land"));
  EXPECT_NE(create_shader("Land.sh", nullptr), a);
  EXPECT_EQ(used_slots(), 3);

  // The last reference frees the slot and both device shaders.
  ShaderHandle vs = a->vs, ps = a->ps;
  destroy_shader(b);
  EXPECT_EQ(a->vs, vs);
  set_shader(a);
  destroy_shader(a);
  EXPECT_EQ(rb.bound_vs.id, 0u);  // never left bound to released shaders
  EXPECT_EQ(a->vs.id, 0u);
  EXPECT_TRUE(a->deps.empty());
  EXPECT_EQ(rb.shader_code.count(vs) + rb.shader_code.count(ps), 0u);
  destroy_shader(nullptr);
  EXPECT_EQ(used_slots(), 2);
}

TEST_F(ShaderTest, StagesGetTheirDefinesInOrderAndTheEntryWrapper)
{
  app.write("mlaa_rows.sh", source("rows"));
  // The value-less pair ends the define list (and everything after it).
  const char defs[] = "FIRST\0 1\0SECOND\0 2\0EMPTY\0\0AFTER\0 4\0";
  Shader *s = create_shader("mlaa_rows.sh", defs);
  std::string vs = codeOf(s->vs), ps = codeOf(s->ps);
  EXPECT_EQ(vs.rfind("#define FIRST  1\n#define SECOND  2\n#define VSH  1\n#line 1 0\n", 0), 0u) << vs;
  EXPECT_EQ(ps.rfind("#define FIRST  1\n#define SECOND  2\n#define PSH  1\n", 0), 0u) << ps;
  EXPECT_EQ(vs.find("AFTER"), std::string::npos);
  EXPECT_NE(vs.find("vsh();\n  gl_Position = qm_device_position(gl_Position);"), std::string::npos);
  EXPECT_NE(ps.find("psh();\n  qm_alpha_test(oC0.a);"), std::string::npos);
  // The cache name spells every string of the block, the empty value too.
  EXPECT_TRUE(app.exists("cache/mlaa_rows.sh@FIRST@_1@SECOND@_2@EMPTY@@AFTER@_4.cache"));
}

TEST_F(ShaderTest, IncludesExpandFromTheAppDirectoryAndBecomeDependencies)
{
  app.write("inc/a.inc", "#include \"inc/b.inc\"\nfloat a_val;\n");
  app.write("inc/b.inc", "float b_val;\n");
  // A nested shader's include names are resolved against the application directory too.
  app.write("fx/nested.sh", source("nested", "  #  include \"inc/a.inc\"\n#version 330 core\n"));
  Shader *s = create_shader("fx/nested.sh", nullptr);
  ASSERT_EQ(s->deps.size(), 3);
  EXPECT_STREQ(s->deps[0].name, "fx/nested.sh");
  EXPECT_STREQ(s->deps[1].name, "inc/a.inc");
  EXPECT_STREQ(s->deps[2].name, "inc/b.inc");
  EXPECT_EQ(s->deps[2].time, get_file_time(app.path("inc/b.inc").c_str()));
  std::string vs = codeOf(s->vs);
  EXPECT_NE(vs.find("#line 1 1\n#line 1 2\nfloat b_val;\n#line 2 1\nfloat a_val;\n#line 2 0\n"),
            std::string::npos)
      << vs;
  EXPECT_EQ(vs.find("#version"), std::string::npos);

  // The cache lists the dependencies by the names they were requested with.
  std::string bytes = app.read("cache/fx/nested.sh.cache");
  EXPECT_EQ(bytes, "");  // no cache/fx directory: nothing cached, the shader still works
}

TEST_F(ShaderTest, MissingOrSelfIncludingFilesFailTheBuild)
{
  app.write("self.inc", "#include \"self.inc\"\n");
  app.write("loop.sh", source("loop", "#include \"self.inc\"\n"));
  app.write("missing.sh", source("missing", "#include \"nowhere.inc\"\n"));
  EXPECT_EXIT(create_shader("loop.sh", nullptr), testing::ExitedWithCode(100),
              "can't create shader from 'loop.sh'");
  testing::internal::CaptureStdout();
  Shader s;
  strcpy(s.name, "missing.sh");
  EXPECT_FALSE(compile_shader(&s));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("HLSL 'missing.sh', func 'vsh':\ncan't open 'nowhere.inc'"), std::string::npos) << out;
  EXPECT_NE(out.find("FAILED to compile HLSL shader 'missing.sh', func 'vsh'"), std::string::npos);
  EXPECT_EQ(s.vs.id, 0u);

  // A shader reads at most SHADER_CACHE_MAX_DEPS files, the cache could not name more.
  std::string includes;
  for (int i = 0; i < SHADER_CACHE_MAX_DEPS; i++)
  {
    app.write("many/" + std::to_string(i) + ".inc", "");
    includes += "#include \"many/" + std::to_string(i) + ".inc\"\n";
  }
  app.write("many.sh", source("many", includes));
  Shader m;
  strcpy(m.name, "many.sh");
  testing::internal::CaptureStdout();
  EXPECT_FALSE(compile_shader(&m));
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("can't open 'many/255.inc': more than 256 files in one shader"), std::string::npos);
}

TEST_F(ShaderTest, CacheOlderThanAnIncludeIsRebuiltWithTheCompilerAndUsedAsIsWithout)
{
  app.write("common.inc", "float version1;\n");
  app.write("land.sh", source("land", "#include \"common.inc\"\n"));
  destroy_shader(create_shader("land.sh", nullptr));
  std::string old_cache = app.read("cache/land.sh.cache");
  ASSERT_NE(old_cache.find("version1"), std::string::npos);
  app.setTime("cache/land.sh.cache", -100);

  // The include changed after the cache was written.
  app.write("common.inc", "float version2;\n");
  app.setTime("common.inc", -50);

  // Without the compiler the old cache runs whatever its age.
  setCompiler(false);
  testing::internal::CaptureStdout();
  Shader *s = create_shader("land.sh", nullptr);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("loaded shader 'land.sh' from cache"), std::string::npos);
  EXPECT_NE(codeOf(s->vs).find("version1"), std::string::npos);
  EXPECT_EQ(s->deps[1].time, 0);
  EXPECT_EQ(app.read("cache/land.sh.cache"), old_cache);
  int compiles = rb.shaders_created;
  reload_shaders(true);  // nothing to reload with: no compiler
  EXPECT_EQ(rb.shaders_created, compiles);
  destroy_shader(s);

  // With it the stale cache is rebuilt and rewritten.
  setCompiler(true);
  s = create_shader("land.sh", nullptr);
  EXPECT_NE(codeOf(s->vs).find("version2"), std::string::npos);
  EXPECT_NE(app.read("cache/land.sh.cache").find("version2"), std::string::npos);
  EXPECT_FALSE(app.exists("cache/land.sh.cache.tmp"));
  destroy_shader(s);

  // A fresh cache is used with the compiler on, recording the files' current times.
  testing::internal::CaptureStdout();
  s = create_shader("land.sh", nullptr);
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("loaded shader 'land.sh' from cache"), std::string::npos);
  EXPECT_EQ(s->deps[1].time, get_file_time(app.path("common.inc").c_str()));
}

TEST_F(ShaderTest, ACacheNamingMissingFilesOrNotItsSourceIsStale)
{
  // The include is dropped from the source and deleted; the cache still names it and is newer
  // than the edited source. Its old code must not run.
  app.write("old.inc", "float with_old;\n");
  app.write("land.sh", source("v1", "#include \"old.inc\"\n"));
  destroy_shader(create_shader("land.sh", nullptr));
  app.write("land.sh", source("v2"));
  app.setTime("land.sh", -100);
  std::filesystem::remove(app.path("old.inc"));
  Shader *s = create_shader("land.sh", nullptr);
  EXPECT_NE(codeOf(s->vs).find("// v2"), std::string::npos);
  destroy_shader(s);

  // A cache naming only files that do not exist, and not the shader's source.
  std::string foreign = build_shader_cache({"gone.inc"}, "// cached", "// cached");
  app.write("cache/land.sh.cache", foreign);
  app.setTime("cache/land.sh.cache", 100);
  s = create_shader("land.sh", nullptr);
  EXPECT_NE(codeOf(s->vs).find("// v2"), std::string::npos);
  destroy_shader(s);

  // Without the compiler any cache that reads is used.
  app.write("cache/land.sh.cache", foreign);
  setCompiler(false);
  s = create_shader("land.sh", nullptr);
  EXPECT_EQ(codeOf(s->vs), "// cached");
}

TEST_F(ShaderTest, DamagedCacheFilesAreIgnoredAndRewritten)
{
  app.write("sky.sh", source("sky"));
  destroy_shader(create_shader("sky.sh", nullptr));
  std::string good = app.read("cache/sky.sh.cache");

  std::string wrong_magic = good;
  wrong_magic[0] = 0x16;
  std::string truncated = good.substr(0, good.size() - 1);
  std::string longer = good + "x";
  for (const std::string &bad : {wrong_magic, truncated, longer, std::string("abc")})
  {
    app.write("cache/sky.sh.cache", bad);
    app.setTime("cache/sky.sh.cache", 100);
    Shader *s = create_shader("sky.sh", nullptr);
    EXPECT_NE(codeOf(s->vs).find("// sky"), std::string::npos);
    destroy_shader(s);
    EXPECT_EQ(app.read("cache/sky.sh.cache"), good);
  }

  // Without the compiler a damaged cache is the same as none: the start-up cannot go on.
  app.write("cache/sky.sh.cache", wrong_magic);
  setCompiler(false);
  EXPECT_EXIT(create_shader("sky.sh", nullptr), testing::ExitedWithCode(100),
              "can't create shader from cache for 'sky.sh'");
}

TEST_F(ShaderTest, BrokenEditKeepsThePreviousShaderAndShowsTheMessage)
{
  app.write("water.sh", source("water v1"));
  Shader *s = create_shader("water.sh", nullptr);
  set_shader(s);
  ShaderHandle vs = s->vs, ps = s->ps;

  app.write("water.sh", source("water v2", "#error missing semicolon\n"));
  app.setTime("water.sh", 10);
  reload_shaders(false);
  EXPECT_EQ(s->vs, vs);
  EXPECT_EQ(s->ps, ps);
  EXPECT_EQ(rb.bound_vs, vs);
  EXPECT_NE(codeOf(s->vs).find("water v1"), std::string::npos);
  EXPECT_EQ(rb.shader_code.size(), 2u);  // nothing of the failed build is left
  EXPECT_EQ(screen().rfind("HLSL 'water.sh', func 'vsh':\n", 0), 0u) << screen();
  EXPECT_NE(screen().find("error: #error missing semicolon"), std::string::npos);
  EXPECT_NE(screen().find("\ncan't create vertex shader from 'water.sh'\nFAILED to reload shader 'water.sh'"),
            std::string::npos);
  // The cache still holds the last good code.
  EXPECT_NE(app.read("cache/water.sh.cache").find("water v1"), std::string::npos);

  // Unchanged since the failure: no retry every second.
  int compiles = rb.shaders_created;
  reload_shaders(false);
  EXPECT_EQ(rb.shaders_created, compiles);

  // The fix replaces the pair and clears the message.
  app.write("water.sh", source("water v3"));
  app.setTime("water.sh", 20);
  reload_shaders(false);
  EXPECT_NE(s->vs, vs);
  EXPECT_NE(codeOf(s->vs).find("water v3"), std::string::npos);
  EXPECT_EQ(rb.bound_vs, s->vs);  // the bound shader draws with its new pair
  EXPECT_EQ(rb.bound_ps, s->ps);
  EXPECT_EQ(rb.shader_code.count(vs) + rb.shader_code.count(ps), 0u);
  EXPECT_EQ(screen(), "");
}

TEST_F(ShaderTest, EditedIncludeReloadsEveryShaderUsingIt)
{
  app.write("shared.inc", "float shared_v1;\n");
  app.write("a.sh", source("a", "#include \"shared.inc\"\n"));
  app.write("b.sh", source("b", "#include \"shared.inc\"\n"));
  app.write("c.sh", source("c"));
  Shader *a = create_shader("a.sh", nullptr);
  Shader *a_inst = create_shader("a.sh", INST);
  Shader *b = create_shader("b.sh", nullptr);
  Shader *c = create_shader("c.sh", nullptr);
  ShaderHandle c_vs = c->vs;

  reload_shaders(false);
  EXPECT_EQ(c->vs, c_vs);  // nothing changed: nothing rebuilt

  app.write("shared.inc", "float shared_v2;\n");
  app.setTime("shared.inc", 10);
  testing::internal::CaptureStdout();
  reload_shaders(false);
  std::string out = testing::internal::GetCapturedStdout();
  for (Shader *s : {a, a_inst, b})
    EXPECT_NE(codeOf(s->ps).find("shared_v2"), std::string::npos) << s->name;
  EXPECT_EQ(c->vs, c_vs);
  EXPECT_NE(out.find("reloaded shader 'a.sh'"), std::string::npos);
  EXPECT_NE(out.find("reloaded shader 'b.sh'"), std::string::npos);
  EXPECT_EQ(out.find("reloaded shader 'c.sh'"), std::string::npos);

  reload_shaders(true);
  EXPECT_NE(c->vs, c_vs);
}

TEST_F(ShaderTest, SlotLimitAndReferenceCountAreFatal)
{
  for (int i = 0; i < MAX_SHADERS; i++)
    app.write("s" + std::to_string(i) + ".sh", source("s" + std::to_string(i)));
  Shader *first = nullptr;
  for (int i = 0; i < MAX_SHADERS; i++)
  {
    Shader *s = create_shader(("s" + std::to_string(i) + ".sh").c_str(), nullptr);
    first = first ? first : s;
  }
  EXPECT_EQ(used_slots(), MAX_SHADERS);
  // The same request still shares; a new one finds no slot.
  EXPECT_EQ(create_shader("s0.sh", nullptr), first);
  app.write("extra.sh", source("extra"));
  EXPECT_EXIT(create_shader("extra.sh", nullptr), testing::ExitedWithCode(100),
              "reached maximum shader count!");

  destroy_shader(first);
  destroy_shader(first);
  EXPECT_EXIT(destroy_shader(first), testing::ExitedWithCode(100),
              "failed ASSERT\\(s->refcount>0\\)");
  // A freed slot is taken again.
  EXPECT_EQ(create_shader("extra.sh", nullptr), first);
}

TEST_F(ShaderTest, LimitsOnNamesAndDefinesAreFatalNotTruncated)
{
  std::string long_name(SHADER_NAME_SIZE, 'n');
  EXPECT_EXIT(create_shader(long_name.c_str(), nullptr), testing::ExitedWithCode(100),
              "failed ASSERT");
  std::string block;
  while (block.size() < SHADER_DEFINES_SIZE)
    block += std::string("NAME") + '\0' + " 1" + '\0';
  block += '\0';
  EXPECT_EXIT(create_shader("x.sh", block.c_str()), testing::ExitedWithCode(100), "failed ASSERT");
  EXPECT_EQ(shader_defines_length("A\0 1\0\0"), 6);
  EXPECT_EQ(shader_defines_length(""), 0);
}

TEST_F(ShaderTest, WithoutCacheDirectoryShadersStillWork)
{
  std::filesystem::remove_all(app.path("cache"));
  app.write("postfx.sh", source("postfx"));
  Shader *s = create_shader("postfx.sh", nullptr);
  EXPECT_NE(s->vs.id, 0u);
  EXPECT_FALSE(app.exists("cache"));  // never created by the program
}

TEST_F(ShaderTest, LinkFailureIsReportedAsTheLinkNotAStage)
{
  app.write("pair.sh", source("pair"));
  rb.fail_link = true;
  testing::internal::CaptureStdout();
  Shader s;
  strcpy(s.name, "pair.sh");
  EXPECT_FALSE(compile_shader(&s));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("HLSL 'pair.sh', link of 'vsh' and 'psh':\nerror: vertex and pixel shader do not match"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("can't link vertex and pixel shader of 'pair.sh'"), std::string::npos);
  EXPECT_EQ(out.find("can't create"), std::string::npos);
  // The caller releases what the failed build left in the slot.
  EXPECT_NE(s.ps.id, 0u);
  EXPECT_FALSE(app.exists("cache/pair.sh.cache"));
  EXPECT_EXIT(create_shader("pair.sh", nullptr), testing::ExitedWithCode(100),
              "can't create shader from 'pair.sh'");
  rb.releaseShader(s.vs);
  rb.releaseShader(s.ps);
}

TEST_F(ShaderTest, CloseReleasesEverySlotWhateverItsCount)
{
  app.write("a.sh", source("a"));
  Shader *s = create_shader("a.sh", nullptr);
  create_shader("a.sh", nullptr);
  close_shaders();
  EXPECT_EQ(s->vs.id, 0u);
  EXPECT_EQ(s->refcount, 0);
  EXPECT_TRUE(rb.shader_code.empty());
  EXPECT_FALSE(shader_compiler_available());
}

TEST_F(ShaderTest, CompilerSwitchAndEnvironment)
{
  setCompiler(false);
  EXPECT_FALSE(shader_compiler_available());
  setCompiler(true);
  EXPECT_TRUE(shader_compiler_available());
  setenv("QM_NO_SHADER_COMPILER", "1", 1);
  init_shader_compiler();
  EXPECT_FALSE(shader_compiler_available());
  setenv("QM_NO_SHADER_COMPILER", "0", 1);
  init_shader_compiler();
  EXPECT_TRUE(shader_compiler_available());
  unsetenv("QM_NO_SHADER_COMPILER");
}

TEST(ShaderCacheFormat, BytesAreExactAndParseBack)
{
  std::string bytes = build_shader_cache({"land.sh", "common.inc"}, "VS", "PS!");
  std::string want("\x15\x07\x10\x20"
                   "\x14\0\0\0"
                   "\x02\0\0\0"
                   "\x03\0\0\0"
                   "land.sh\0common.inc\0\0"
                   "VSPS!",
                   16 + 20 + 5);
  EXPECT_EQ(bytes, want);

  ShaderCacheContents c;
  ASSERT_TRUE(parse_shader_cache(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), c));
  ASSERT_EQ(c.deps.size(), 2u);
  EXPECT_EQ(c.deps[1], "common.inc");
  EXPECT_EQ(std::string(c.vs, c.vsLen), "VS");
  EXPECT_EQ(std::string(c.ps, c.psLen), "PS!");
}

TEST(ShaderCacheFormat, InvalidContentIsACacheMiss)
{
  auto parse = [](const std::string &b) {
    ShaderCacheContents c;
    return parse_shader_cache(reinterpret_cast<const uint8_t *>(b.data()), b.size(), c);
  };
  std::string good = build_shader_cache({"a.sh"}, "V", "P");
  ASSERT_TRUE(parse(good));
  EXPECT_FALSE(parse(good.substr(0, 15)));
  // Lengths that overflow 32 bits when added must not wrap around.
  std::string huge = good;
  huge[4] = huge[5] = huge[6] = huge[7] = '\xff';
  EXPECT_FALSE(parse(huge));
  // A name running to the block's end without its terminator.
  std::string unterminated = build_shader_cache({}, "V", "P");
  unterminated[4] = 3;
  unterminated = unterminated.substr(0, 16) + "abc" + "VP";
  EXPECT_FALSE(parse(unterminated));
  // Names of 260 characters do not fit a dependency record.
  EXPECT_TRUE(parse(build_shader_cache({std::string(259, 'a')}, "V", "P")));
  EXPECT_FALSE(parse(build_shader_cache({std::string(260, 'a')}, "V", "P")));
  // Empty code blocks are no shaders.
  EXPECT_FALSE(parse(build_shader_cache({"a.sh"}, "", "P")));
  // At most SHADER_CACHE_MAX_DEPS names (300 000 once took minutes to load); a repeated name
  // counts once.
  std::vector<std::string> names;
  for (int i = 0; i < SHADER_CACHE_MAX_DEPS; i++)
    names.push_back("d" + std::to_string(i));
  EXPECT_TRUE(parse(build_shader_cache(names, "V", "P")));
  names.push_back("one more");
  EXPECT_FALSE(parse(build_shader_cache(names, "V", "P")));
  names.resize(300000, "d");
  EXPECT_FALSE(parse(build_shader_cache(names, "V", "P")));
  std::string twice = build_shader_cache({"a.sh", "b.inc", "a.sh"}, "V", "P");
  ShaderCacheContents t;
  ASSERT_TRUE(parse_shader_cache(reinterpret_cast<const uint8_t *>(twice.data()), twice.size(), t));
  EXPECT_EQ(t.deps, (std::vector<std::string>{"a.sh", "b.inc"}));
  // Reading names stops at the first empty one.
  std::string early = build_shader_cache({}, "V", "P");
  early[4] = 4;
  early = early.substr(0, 16) + std::string("\0b\0\0", 4) + "VP";
  ShaderCacheContents c;
  ASSERT_TRUE(parse_shader_cache(reinterpret_cast<const uint8_t *>(early.data()), early.size(), c));
  EXPECT_TRUE(c.deps.empty());
}
