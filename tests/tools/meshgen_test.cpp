// The mesh tool: the same sources give the same bytes, every mesh passes the game's reader, and
// the tool makes exactly the meshes the renderers load.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "mesh_builder.h"
#include "render/mesh.h"
#include "world_render/inst_objects.h"

TEST(MeshAssets, EveryRendererGetsAReproducibleReadableMesh)
{
  const std::vector<NamedMesh> a = build_all_meshes(), b = build_all_meshes();
  ASSERT_EQ(a.size(), b.size());
  std::set<std::string> made;
  for (size_t i = 0; i < a.size(); i++)
  {
    const std::vector<uint8_t> bytes = encode_mesh(a[i].mesh);
    EXPECT_EQ(bytes, encode_mesh(b[i].mesh)) << a[i].name;
    Mesh m;
    const uint8_t *v, *ix;
    MeshParseError err{};
    EXPECT_EQ(parse_mesh(bytes.data(), bytes.size(), m, v, ix, err), nullptr) << a[i].name << ": " << err.why;
    EXPECT_FALSE(m.shadowSpheres.empty()) << a[i].name << " casts a shadow";
    made.insert("meshes/" + a[i].name + ".mesh");
  }
  std::set<std::string> wanted;
  for (const InstRendererEntry &e : inst_renderers)
    wanted.insert(e.mesh);
  EXPECT_EQ(made, wanted);
}
