// The scene frame on the recording device: the targets, stencil states, clears and draws of both
// paths in order, wireframe, and a forward frame that never touches the deferred targets.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../render/shader_fixture.h"
#include "app/app_globals.h"
#include "app/camera.h"
#include "app/scene_frame.h"
#include "app/scene_links.h"
#include "app/scene_renderers.h"
#include "render/debug_vis.h"
#include "render/dyn_vb_writer.h"
#include "render/postfx.h"
#include "render/resource_hooks.h"
#include "render/texture.h"
#include "terrain/hmap_data.h"

namespace
{
class SceneFrame : public testing::Test
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
    common_vb_writer.init(COMMON_VB_WRITER_SIZE);
    const std::string bin = std::string(QM_SOURCE_DIR) + "/bin/";
    for (const auto &e : std::filesystem::directory_iterator(bin))
      if (e.path().extension() == ".sh")
        app.write(e.path().filename().string(), "#ifdef VSH\nvoid vsh() {}\n#endif\n#ifdef PSH\nvoid psh() {}\n#endif\n");
    std::filesystem::copy_file(bin + "sky.nut", app.path("sky.nut"));
    std::filesystem::create_directories(app.path("test"));
    std::filesystem::copy_file(bin + "test/fx.nut", app.path("test/fx.nut"));
    for (const char *f : {"detail.dds", "foam.dds", "blendfx.dds", "glowfx.dds"})
      std::filesystem::copy_file(std::string(QM_TEXTURE_DIR) + "/" + f, app.path(f));
    HeightmapData::reset();
    for (int i = 0; i < HMAP_CELLS; i += 3)
      HeightmapData::water[i].depth = 1.f;  // something for the water to draw
    use_wireframe = false;
    use_ppaa = false;
  }
  void TearDown() override
  {
    close_debug_vis();
    close_scene_renderers();
    common_vb_writer.close();
    close_d3d();
    d3d_resource_hooks = D3dResourceHooks();
    set_render_backend(nullptr);
    use_wireframe = false;
    gfx_quality = 1;
  }

  void start(int quality)
  {
    gfx_quality = quality;
    init_scene_renderers();
    init_debug_vis();
    camPos = prevCamPos = v_make(128.f, 40.f, 128.f, 1.f);
    set_camera_matrices(0.3f, -0.4f, 1.f);
    scene_links.land_frame_update(0.f);
    names.clear();
    for (const Shader &s : shader_slots)
      if (s.vs)
        names["shader " + std::to_string(s.vs.id)] = s.name;
    const PostfxTargets &t = postfx_rt;
    const std::pair<Texture *, const char *> targets[] = {{t.scene, "scene"}, {t.a, "A"}, {t.b, "B"}, {t.c, "C"}, {t.d, "D"}, {t.fp, "FP"}};
    for (const auto &[tex, name] : targets)
      if (tex)
        names["tex " + std::to_string(tex->tex.id)] = name;
  }

  std::map<std::string, std::string> names;
  std::string name_of(const char *kind, unsigned id)
  {
    auto it = names.find(std::string(kind) + " " + std::to_string(id));
    return it == names.end() ? std::to_string(id) : it->second;
  }

  // The frame as a list of events: targets, clears, copies, and each run of draws with its shader,
  // stencil state ("ref/func/read mask, write mask"; "-" off) and wireframe, up to the
  // post-effects' first draw.
  std::vector<std::string> frame()
  {
    rb.clearLog();
    render_scene(0.f, 1.f, v_zero());
    std::vector<std::string> out;
    std::map<std::string, unsigned> rs;
    std::string shader;
    for (const std::string &c : rb.calls)
    {
      unsigned a = 0, b = 0, d = 0;
      char name[32];
      std::string ev;
      if (sscanf(c.c_str(), "SetRenderState(%31[A-Z], %u)", name, &a) == 2)
        rs[name] = a;
      else if (sscanf(c.c_str(), "SetShaders(%u", &a) == 1)
        shader = name_of("shader", a);
      else if (sscanf(c.c_str(), "SetRenderTarget(%u, %u)", &a, &b) == 2)
        ev = "RT" + std::to_string(a) + " " + (b ? name_of("tex", b) : "-");
      else if (sscanf(c.c_str(), "Clear(%u, 0x%X", &a, &b) == 2)
      {
        char text[32];
        snprintf(text, sizeof(text), a & D3DCLEAR_TARGET ? "clear %u %08X" : "clear %u", a, b);
        ev = text;
      }
      else if (sscanf(c.c_str(), "StretchRect(%u, %u, %u)", &a, &b, &d) == 3)
        ev = "copy " + name_of("tex", a) + " " + name_of("tex", b);
      else if (sscanf(c.c_str(), "SetTexture(%u, %u)", &a, &b) == 2 && a >= 8 && b)
        ev = "tex" + std::to_string(a) + " " + name_of("tex", b);
      else if (c.rfind("Draw", 0) == 0)
      {
        if (shader == "postfx_none.sh" || shader == "postfx_main.sh")
          break;
        const std::string st = rs["STENCILENABLE"] ? std::to_string(rs["STENCILREF"]) + "/" + std::to_string(rs["STENCILFUNC"]) + "/" +
                                                           std::to_string(rs["STENCILMASK"]) + "," + std::to_string(rs["STENCILWRITEMASK"])
                                                     : "-";
        ev = "draw " + shader + " " + st + (rs["FILLMODE"] == D3DFILL_WIREFRAME ? " wire" : "");
      }
      if (!ev.empty() && (out.empty() || out.back() != ev))
        out.push_back(ev);
    }
    return out;
  }
};

// The effects at the end of both paths (none live: only their target's clear and the composite).
const std::vector<std::string> effects = {"RT0 FP", "clear 1 00000000", "RT0 scene", "draw postBlend.sh -"};

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Stencil as "ref/func/read mask,write mask": 8 always, 3 equal, 6 not equal.
TEST_F(SceneFrame, ForwardPathDrawsIntoTheSceneImageOnly)
{
  start(0);
  EXPECT_EQ(frame(), (std::vector<std::string>{"RT0 scene", "clear 6", "draw land.sh 1/8/255,1",
                                               "draw water.sh 1/8/255,1", "draw sky.sh 0/3/255,0"} +
                      effects));
  use_wireframe = true;
  EXPECT_EQ(frame(), (std::vector<std::string>{"RT0 scene", "clear 7 B4B4B4B4", "draw land.sh 1/8/255,1 wire",
                                               "draw water.sh 1/8/255,1 wire"} +
                      effects))
      << "wireframe: the clear colour instead of the sky, the effects' composite not as lines";
}

TEST_F(SceneFrame, DeferredPathOrder)
{
  start(1);
  const std::vector<std::string> surfaces = {
      "RT0 D", "clear 7 00FFFFFF", "RT1 B", "RT2 A", "draw dr_land.sh 1/8/255,1", "copy D C", "tex8 C", "RT2 -",
      "draw dr_water.sh 1/8/255,1", "RT1 -", "tex8 D", "tex9 B", "tex10 A",
      "RT0 scene", "clear 1 FFFFFFFF",  // shadows: white where nothing shades
      "RT0 C", "tex11 scene", "draw dr_calc_light.sh 0/6/255,0", "RT0 scene"};
  std::vector<std::string> want = surfaces;
  for (const char *e : {"draw horizon.sh 2/8/255,2", "draw sky.sh 0/3/255,0", "tex11 C", "draw dr_final.sh 1/3/1,0"})
    want.push_back(e);
  EXPECT_EQ(frame(), want + effects);

  use_wireframe = true;
  want = surfaces;
  want[4] += " wire";
  want[8] += " wire";
  for (const char *e : {"clear 1 B4B4B4B4", "draw horizon.sh 2/8/255,2 wire", "tex11 C", "draw dr_final.sh 1/3/1,0"})
    want.push_back(e);
  EXPECT_EQ(frame(), want + effects) << "wireframe: the horizon over the clear colour, no sky";
}
}  // namespace
