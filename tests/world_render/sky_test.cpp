// The sky machine on the recording device: what the script is asked and how its answers become
// the sky registers, the blend between steps, the quad, and scripts that break and get fixed
// while the game runs (reloads driven by file times, as the once-per-second check sees them).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "../render/shader_fixture.h"
#include "support/visual_log.h"
#include "render/resource_hooks.h"
#include "render/vbuf.h"
#include "world_render/sky.h"

namespace
{
float x_of(vec4f v) { return v_extract_x(v); }

// A script whose vector i is (angle + i, 2 i, base), so every answer shows the angle it was for.
std::string angle_script(float base)
{
  return "function get_sky_colors(a) {\n  local r = []\n  for (local i = 0; i < 10; i++)\n"
         "    r.append([a + i, 2 * i, " +
         std::to_string(base) + "])\n  return r\n}\n";
}

class Sky : public testing::Test
{
protected:
  RecordingBackend rb;
  ShaderAppDir app;

  void SetUp() override
  {
    set_render_backend(&rb);
    d3d_resource_hooks = D3dResourceHooks();
    install_resource_hooks();
    d3d_resource_hooks.load_shader_compiler = init_shader_compiler;
    d3d_resource_hooks.release_all_shaders = close_shaders;
    shader_compiler_disabled = false;
    ASSERT_TRUE(init_d3d(nullptr, 640, 360));
    app.write("sky.sh", "#ifdef VSH\nvoid vsh() {}\n#endif\n#ifdef PSH\nvoid psh() {}\n#endif\n");
    set_error_message(nullptr);
  }
  void TearDown() override
  {
    close_sky();
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    set_error_message(nullptr);
  }

  void start(const std::string &script)
  {
    app.write("sky.nut", script);
    init_sky();
  }
  // Rewrites a script file with a modification time `seconds` from now, as an edit would.
  void edit(const std::string &name, const std::string &text, int seconds)
  {
    app.write(name, text);
    app.setTime(name, seconds);
  }
  static float angle_now() { return x_of(sky.cur[0]); }
};

TEST_F(Sky, TheScriptIsAskedForTheSunsAngleFromTheZenith)
{
  start(angle_script(0.5f));
  EXPECT_NEAR(angle_now(), 71.565f, 1e-3f) << "the default sun (0, 1, 3)";
  vec4f regs[SKY_REGISTERS];
  get_sky_registers(regs);
  EXPECT_FLOAT_EQ(v_extract_w(regs[0]), 0.9396926f) << "cos 20 degrees with the sun";
  struct Case
  {
    vec4f dir;
    float angle;
  } cases[] = {
      {v_make(0, 5, 0, 0), 0.f},    {v_make(3, 0, 0, 0), 90.f},     {v_make(0, -2, 0, 0), 180.f},
      {v_make(1, 1, 0, 0), 45.f},   {v_make(0, 1, -1, 7), 45.f},  // w is ignored
  };
  for (const Case &c : cases)
  {
    set_sky_sun_dir(false, c.dir);
    EXPECT_NEAR(angle_now(), c.angle, 1e-3f);
    EXPECT_NEAR(x_of(v_length3(get_sky_sun_dir())), 1.f, 1e-6f) << "normalised";
    EXPECT_EQ(v_extract_w(get_sky_sun_dir()), 0.f);
  }
  // Directions that cannot be normalised keep the previous sun (and its colours).
  const float nan = std::nanf("");
  for (vec4f bad : {v_zero(), v_make(1e-8f, 0, 0, 0), v_make(nan, 1, 0, 0), v_make(INFINITY, 0, 0, 0)})
  {
    set_sky_sun_dir(false, bad);
    EXPECT_NEAR(angle_now(), 45.f, 1e-3f);
  }
  EXPECT_STREQ(get_error_message(), "");
  // The vectors are the script's triples with w 0; the derived ones follow V0..V2.
  EXPECT_FLOAT_EQ(v_extract_y(sky.cur[3]), 6.f);
  EXPECT_FLOAT_EQ(v_extract_z(sky.cur[3]), 0.5f);
  EXPECT_EQ(v_extract_w(sky.cur[3]), 0.f);
  const float v0 = 45.f, v1 = 46.f, v2 = 47.f;
  EXPECT_FLOAT_EQ(x_of(sky.cur[10]), v0 + v1 * std::exp(-v2 / 0.2f));
  EXPECT_FLOAT_EQ(x_of(sky.cur[11]), v0 + v1 * std::exp(-v2));
}

TEST_F(Sky, FramesBlendFromTheStepsSkyToTheTarget)
{
  start(angle_script(0.f));
  set_sky_sun_dir(false, v_make(0, 1, 0, 0));  // at once: 0 degrees
  set_sky_sun_dir(true, v_make(1, 0, 0, 0));   // deferred: 90 degrees
  EXPECT_FLOAT_EQ(angle_now(), 0.f) << "a deferred sun changes nothing before the frames blend";
  morph_sky(0.f);
  EXPECT_FLOAT_EQ(angle_now(), 0.f);
  EXPECT_FLOAT_EQ(v_extract_y(get_sky_sun_dir()), 1.f);
  morph_sky(1.f);
  EXPECT_FLOAT_EQ(angle_now(), 90.f);
  EXPECT_FLOAT_EQ(x_of(get_sky_sun_dir()), 1.f);
  morph_sky(0.5f);
  EXPECT_FLOAT_EQ(angle_now(), 45.f);
  EXPECT_NEAR(x_of(v_length3(get_sky_sun_dir())), 1.f, 1e-6f) << "the halfway sun is renormalised";
  EXPECT_NEAR(x_of(get_sky_sun_dir()), 0.7071068f, 1e-6f);
  EXPECT_FLOAT_EQ(x_of(sky.cur[10]), 45.f + 46.f * std::exp(-47.f / 0.2f)) << "derived from the blend";
  // The step ends: the target becomes the start of the next blend.
  commit_sky();
  morph_sky(0.f);
  EXPECT_FLOAT_EQ(angle_now(), 90.f);
  // Opposite suns blend through zero length: the frame keeps the sun it had.
  set_sky_sun_dir(true, v_make(-1, 0, 0, 0));
  morph_sky(0.5f);
  EXPECT_FLOAT_EQ(x_of(get_sky_sun_dir()), 1.f);
}

TEST_F(Sky, TheQuadFollowsTheCameraAndCarriesTheRegisters)
{
  start(angle_script(0.f));
  Matrix44 itm = m44_identity();
  m44_set_row(itm, 3, v_make(5, 6, 7, 1));
  rb.clearLog();
  render_sky(itm);
  // Corners (+-10 width / height, +-10, 10) from the camera at (5, 6, 7); index 0 is left-bottom.
  const VertexBuffer *vb = nullptr;
  for (int i = 0; i < MAX_BUFFERS && !vb; i++)
    if (vertex_buffer_slot(i)->used && vertex_buffer_slot(i)->size == 48)
      vb = vertex_buffer_slot(i);
  ASSERT_NE(vb, nullptr);
  const float *v = reinterpret_cast<const float *>(rb.buffers[vb->buffer].data());
  const float ax = 10.f * 640.f / 360.f;
  const float want[12] = {5 - ax, -4, 17, 5 + ax, -4, 17, 5 - ax, 16, 17, 5 + ax, 16, 17};
  for (int i = 0; i < 12; i++)
    EXPECT_FLOAT_EQ(v[i], want[i]) << i;
  EXPECT_EQ(rb.callsStartingWith("DrawIndexedPrimitive(4, 0, 0, 4, 0, 2)").size(), 1u);
  EXPECT_EQ(rb.callsStartingWith("SetPixelShaderConstantF(0, 13)").size(), 1u);
  EXPECT_FLOAT_EQ(rb.ps_consts[0][3], 0.9396926f);
  EXPECT_FLOAT_EQ(rb.ps_consts[1][0], angle_now());
  EXPECT_FLOAT_EQ(rb.ps_consts[12][0], x_of(sky.cur[11]));
}

// A script that breaks while the game runs shows its error on screen and in the log and keeps
// the sky it had; fixing the file brings the new sky at the next check, the sun unchanged.
TEST_F(Sky, ABrokenScriptKeepsThePreviousSkyUntilItIsFixed)
{
  struct Case
  {
    const char *what;
    std::string script;
    const char *shown;  // part of the on-screen message after "Error in sky script:"
    bool loads = true;  // false: the file does not compile and the previous script stays
  } cases[] = {
      {"syntax error", "function get_sky_colors(a) { return [ }\n", "sky.nut", false},
      {"runtime error", "function get_sky_colors(a) { return nothing_here[a] }\n", "nothing_here"},
      {"NaN", angle_script(0.f) + "local good = get_sky_colors\nfunction get_sky_colors(a) {\n"
                                   "  local r = good(a)\n  r[7][1] = sqrt(-1.0)\n  return r\n}\n",
       "item 7[1] is"},
      {"infinity", "function get_sky_colors(a) { local r = []\n for (local i = 0; i < 10; i++)"
                   " r.append([1e30 * 1e30, 0, 0])\n return r }\n",
       "not a finite number"},
      {"short answer", "function get_sky_colors(a) { return [[1, 2, 3]] }\n", "has no item 1"},
      {"short item", "function get_sky_colors(a) { local r = []\n for (local i = 0; i < 10; i++)"
                     " r.append([1, 2])\n return r }\n",
       "item 0 has no item 2"},
      {"not a number", "function get_sky_colors(a) { local r = []\n for (local i = 0; i < 10; i++)"
                       " r.append([1, \"2\", 3])\n return r }\n",
       "item 0[1] is a string"},
      {"not an array", "function get_sky_colors(a) { return 12 }\n", "has no item 0"},
      {"thrown value", "function get_sky_colors(a) { throw \"the sky is falling\" }\n", "the sky is falling"},
  };
  int t = 10;
  for (const Case &c : cases)
  {
    SCOPED_TRACE(c.what);
    start(angle_script(0.f));
    set_sky_sun_dir(false, v_make(0, 1, 1, 0));  // 45 degrees
    const SkyState before = sky;

    edit("sky.nut", c.script, t++);
    testing::internal::CaptureStdout();
    const bool reloaded = update_sky_script();
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(reloaded);
    const std::string shown = get_error_message();
    EXPECT_EQ(shown.rfind("Error in sky script:\n", 0), 0u) << shown;
    EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    EXPECT_NE(log.find(c.shown), std::string::npos) << "the log has the error too:\n" << log;
    EXPECT_EQ(memcmp(&sky, &before, sizeof(sky)), 0) << "the previous sky stays";
    // The program goes on: the sun still moves and the sky still draws. A script that loaded but
    // fails keeps the colours; one that did not compile left the previous script answering.
    set_sky_sun_dir(false, v_make(0, 1, 0, 0));
    EXPECT_FLOAT_EQ(v_extract_y(get_sky_sun_dir()), 1.f);
    EXPECT_FLOAT_EQ(angle_now(), c.loads ? 45.f : 0.f);
    render_sky(m44_identity());
    EXPECT_FALSE(update_sky_script()) << "nothing changed since";

    // Fixed: the new colours for the sun as it is, the message gone.
    edit("sky.nut", angle_script(7.f), t++);
    EXPECT_TRUE(update_sky_script());
    EXPECT_STREQ(get_error_message(), "");
    EXPECT_FLOAT_EQ(v_extract_y(get_sky_sun_dir()), 1.f) << "the sun is not changed by a reload";
    EXPECT_FLOAT_EQ(angle_now(), 0.f);
    EXPECT_FLOAT_EQ(v_extract_z(sky.cur[0]), 7.f);
    EXPECT_FLOAT_EQ(v_extract_z(sky.prev[0]), 7.f);
    close_sky();
  }
}

TEST_F(Sky, ReloadsFollowIncludedFilesAndDroppedFunctions)
{
  app.write("colors.nut", "tone <- 1.0\n");
  start("include(\"colors.nut\")\n" + angle_script(0.f).replace(angle_script(0.f).find("0.000000"), 8, "tone"));
  EXPECT_FLOAT_EQ(v_extract_z(sky.cur[0]), 1.f);
  edit("colors.nut", "tone <- 3.0\n", 10);
  EXPECT_TRUE(update_sky_script()) << "a change in an included file reloads";
  EXPECT_FLOAT_EQ(v_extract_z(sky.cur[0]), 3.f);
  // A script that no longer defines get_sky_colors falls back to the default table, silently.
  edit("sky.nut", "local nothing = 0\n", 11);
  EXPECT_TRUE(update_sky_script());
  EXPECT_STREQ(get_error_message(), "");
  for (int i = 0; i < SKY_SCRIPT_VECTORS; i++)
    EXPECT_EQ(memcmp(&sky.cur[i], &sky_default_vectors[i], sizeof(vec4f)), 0) << i;
  // Derived: V0 + V1 exp(-V2 / 0.2) and V0 + V1 exp(-V2); with the table's V1 = 0 both are V0.
  EXPECT_FLOAT_EQ(x_of(sky.cur[10]), 1.f);
  EXPECT_FLOAT_EQ(x_of(sky.cur[11]), 1.f);
}
}  // namespace
