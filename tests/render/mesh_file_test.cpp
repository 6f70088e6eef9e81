// Mesh files: a valid file reads back field by field into GPU buffers; every kind of inconsistent
// file is refused with its reason and offset (never read past); loads report the file and the
// reason; the cache shares a mesh between spellings of its path.
#include <cmath>
#include <functional>

#include "mesh_file.h"
#include "render/mesh.h"
#include "render/vbuf.h"
#include "resource_fixture.h"
#include "shader_fixture.h"

namespace
{
// A triangle: position, normal, colour; one shadow sphere; no textures.
MeshFile triangle()
{
  MeshFile m;
  m.shader[0] = "inst_simple.sh";
  m.shader[1] = "inst_simple_dr.sh";
  m.spheres = {{0.f, 0.5f, 0.f, 0.75f}};
  m.elements = {{0, 3, 0, 0}, {12, 3, 1, 0}, {24, 5, 2, 0}};
  m.stride = 28;
  const float v[3][6] = {{0, 0, 0, 0, 1, 0}, {1, 0, 0, 0, 1, 0}, {0, 0, 1, 0, 1, 0}};
  for (const auto &p : v)
  {
    const uint8_t *b = reinterpret_cast<const uint8_t *>(p);
    m.vertices.insert(m.vertices.end(), b, b + 24);
    m.vertices.insert(m.vertices.end(), {0x11, 0x22, 0x33, 0xFF});
  }
  m.indices = {0, 1, 2};
  return m;
}

// Offsets in the encoded triangle (names of 14 and 17 characters, one sphere, three elements):
// the first sphere, the element count, the stride, the counts, the vertices and the indices.
constexpr size_t SPHERES = 8 + 16 + 19 + 2, ELEMS = SPHERES + 16, STRIDE = ELEMS + 1 + 18, VCOUNT = STRIDE + 4,
                 TCOUNT = VCOUNT + 4, VERTS = TCOUNT + 4, INDICES = VERTS + 84;

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
  for (int i = 0; i < 4; i++)
    b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

struct Parsed
{
  std::string why;  // empty: accepted
  int pos;
  Mesh mesh;
};
Parsed parse(const std::vector<uint8_t> &bytes)
{
  Parsed p;
  const uint8_t *v, *i;
  MeshParseError err{};
  const char *why = parse_mesh(bytes.data(), bytes.size(), p.mesh, v, i, err);
  p.why = why ? why : "";
  p.pos = err.pos;
  return p;
}

TEST(MeshParse, ValidFileReadsBackEveryField)
{
  MeshFile m = triangle();
  m.textures = {"detail.dds"};
  std::vector<uint8_t> bytes = encode_mesh(m);
  Mesh mesh;
  const uint8_t *v = nullptr, *i = nullptr;
  MeshParseError err{};
  ASSERT_EQ(parse_mesh(bytes.data(), bytes.size(), mesh, v, i, err), nullptr) << err.why;
  EXPECT_STREQ(mesh.shaderName[0], "inst_simple.sh");
  EXPECT_STREQ(mesh.shaderName[1], "inst_simple_dr.sh");
  ASSERT_EQ(mesh.textures.size(), 1);
  EXPECT_STREQ(mesh.textures[0].name, "detail.dds");
  ASSERT_EQ(mesh.shadowSpheres.size(), 1);
  EXPECT_EQ(v_extract_w(mesh.shadowSpheres[0]), 0.75f);
  ASSERT_EQ(mesh.vsd.size(), 3);
  EXPECT_EQ(mesh.vsd[2].offset, 24);
  EXPECT_EQ(mesh.vsd[2].type, VSDT_D3DCOLOR);
  EXPECT_EQ(mesh.vertexStride, 28);
  EXPECT_EQ(mesh.vertexCount, 3);
  EXPECT_EQ(mesh.triangleCount, 1);
  EXPECT_EQ(memcmp(v, m.vertices.data(), 84), 0);
  EXPECT_EQ(i[4], 2);
  EXPECT_EQ(i + 6, bytes.data() + bytes.size());
}

TEST(MeshParse, HostileFilesAreRefusedWithTheirReason)
{
  using Edit = std::function<void(MeshFile &, std::vector<uint8_t> &)>;
  auto file = [](MeshFile m) { return Edit([m](MeshFile &f, std::vector<uint8_t> &) { f = m; }); };
  auto with = [](std::function<void(MeshFile &)> fn) {
    MeshFile m = triangle();
    fn(m);
    return m;
  };
  auto raw32 = [](size_t at, uint32_t v) { return Edit([=](MeshFile &, std::vector<uint8_t> &b) { put32(b, at, v); }); };
  auto raw8 = [](size_t at, uint8_t v) { return Edit([=](MeshFile &, std::vector<uint8_t> &b) { b[at] = v; }); };
  const float nan = std::nanf("");
  struct Case
  {
    const char *name;
    Edit file_edit;  // applied to the MeshFile before encoding
    Edit byte_edit;  // applied to the bytes after
    const char *why;
    long pos;  // -2: the file's size
  };
  const Case cases[] = {
      {"version", nullptr, raw8(0, 0x01), "Invalid mesh file version", -1},
      {"empty file", nullptr, [](MeshFile &, std::vector<uint8_t> &b) { b.clear(); }, "Invalid mesh file version", -1},
      {"truncated", nullptr, [](MeshFile &, std::vector<uint8_t> &b) { b.resize(b.size() - 10); }, "is cut short", -2},
      {"no payload length", nullptr, [](MeshFile &, std::vector<uint8_t> &b) { b.resize(6); }, "payload length needs 4 bytes", -2},
      {"bytes after the payload", nullptr, [](MeshFile &, std::vector<uint8_t> &b) { b.push_back(0); }, "1 bytes after the payload", long(INDICES + 6)},
      {"payload of 4 GiB", nullptr, raw32(4, 0xFFFFFFFF), "is cut short", -2},
      {"unterminated name", nullptr, raw8(8 + 15, 'x'), "first shader name is not terminated", 23},
      {"name up and out", file(with([](MeshFile &m) { m.shader[0] = "../../etc/x.sh"; })), nullptr, "leaves the program's directory", 8},
      {"absolute name", file(with([](MeshFile &m) { m.shader[1] = "/etc/passwd"; })), nullptr, "leaves the program's directory", 24},
      {"control character", file(with([](MeshFile &m) { m.shader[0] = "a\033b.sh"; })), nullptr, "control character", 10},
      {"empty name", file(with([](MeshFile &m) { m.shader[0] = ""; })), nullptr, "first shader name is empty", 8},
      {"texture name of 64", file(with([](MeshFile &m) { m.textures = {std::string(64, 't')}; })), nullptr, "has 64 characters (at most 63)", 44},
      {"sphere not a number", file(with([&](MeshFile &m) { m.spheres[0][1] = nan; })), nullptr, "sphere centre y is not a finite number", long(SPHERES + 4)},
      {"sphere radius infinite", file(with([](MeshFile &m) { m.spheres[0][3] = INFINITY; })), nullptr, "sphere radius is not a finite number", long(SPHERES + 12)},
      {"negative radius", file(with([](MeshFile &m) { m.spheres[0][3] = -1; })), nullptr, "sphere radius -1 is negative", long(SPHERES + 12)},
      {"sphere count past the end", nullptr, raw8(SPHERES - 1, 255), "shadow spheres needs 4080 bytes", -2},
      {"no elements", file(with([](MeshFile &m) { m.elements.clear(); })), nullptr, "no vertex elements", long(ELEMS)},
      {"second stream", nullptr, raw8(ELEMS + 1 + 6 + 2, 1), "reads stream 1", long(ELEMS + 7)},
      {"type code 0", nullptr, raw8(ELEMS + 1 + 3, 0), "type code 0 (1..7)", long(ELEMS + 1)},
      {"type code 8", nullptr, raw8(ELEMS + 1 + 3, 8), "type code 8", long(ELEMS + 1)},
      {"unmapped usage", file(with([](MeshFile &m) { m.elements[1].usageIndex = 3; })), nullptr, "usage 1 index 3", long(ELEMS + 7)},
      {"two positions", file(with([](MeshFile &m) { m.elements[1] = {12, 3, 0, 0}; })), nullptr, "same vertex input", long(ELEMS + 7)},
      {"element past the vertex", file(with([](MeshFile &m) { m.elements[2] = {26, 5, 2, 0}; })), nullptr, "ends past the vertex of 28 bytes", long(ELEMS + 13)},
      {"stride 0", nullptr, raw32(STRIDE, 0), "vertex stride 0 (1..2048)", long(STRIDE)},
      {"stride 2049", nullptr, raw32(STRIDE, 2049), "vertex stride 2049", long(STRIDE)},
      {"no vertices", nullptr, raw32(VCOUNT, 0), "vertex count 0", long(VCOUNT)},
      {"vertex count past 16 bits", nullptr, raw32(VCOUNT, 65537), "vertex count 65537", long(VCOUNT)},
      {"vertex count that overflows", nullptr, raw32(VCOUNT, 0xFFFFFFFF), "vertex count 4294967295", long(VCOUNT)},
      {"vertex data past the end", nullptr, [](MeshFile &, std::vector<uint8_t> &b) { put32(b, STRIDE, 2048); put32(b, VCOUNT, 65536); }, "vertex data needs 134217728 bytes", -2},
      {"no triangles", nullptr, raw32(TCOUNT, 0), "no triangles", long(TCOUNT)},
      {"triangle count that overflows", nullptr, raw32(TCOUNT, 0xFFFFFFFF), "index data needs 25769803770 bytes", -2},
      {"index past the vertices", file(with([](MeshFile &m) { m.indices[1] = 3; })), nullptr, "index 3 past the vertex count 3", long(INDICES + 2)},
      {"vertex not a number", nullptr, [](MeshFile &, std::vector<uint8_t> &b) { put32(b, VERTS + 28 + 4, 0x7FC00000); }, "vertex 1 element 0 is not a finite number", long(VERTS + 32)},
  };
  for (const Case &c : cases)
  {
    MeshFile m = triangle();
    std::vector<uint8_t> scratch;
    if (c.file_edit)
      c.file_edit(m, scratch);
    std::vector<uint8_t> bytes = encode_mesh(m);
    if (c.byte_edit)
      c.byte_edit(m, bytes);
    Parsed p = parse(bytes);
    ASSERT_FALSE(p.why.empty()) << c.name;
    EXPECT_NE(p.why.find(c.why), std::string::npos) << c.name << ": " << p.why;
    EXPECT_EQ(p.pos, c.pos == -2 ? long(bytes.size()) : c.pos) << c.name << ": " << p.why;
    EXPECT_TRUE(p.mesh.vsd.empty() && p.mesh.textures.empty() && p.mesh.shadowSpheres.empty()) << c.name;
  }
}

class MeshLoadTest : public ResourceTest
{
protected:
  ShaderAppDir app;
  void TearDown() override
  {
    free_all_meshes();
    ResourceTest::TearDown();
  }
  std::string save(const std::string &name, const std::vector<uint8_t> &bytes) const
  {
    app.write(name, std::string(bytes.begin(), bytes.end()));
    return app.path(name);
  }
};

TEST_F(MeshLoadTest, LoadFillsStaticBuffersAndTheCacheSharesSpellings)
{
  save("meshes/tri.mesh", encode_mesh(triangle()));
  Mesh *a = get_mesh("meshes/tri.mesh", true);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->refCount, 1);
  EXPECT_EQ(a->vb->flags, BUF_STATIC);
  EXPECT_EQ(a->vb->size, 84u);
  EXPECT_EQ(a->ib->size, 6u);
  EXPECT_EQ(rb.buffers[a->vb->buffer], triangle().vertices);
  EXPECT_EQ(get_mesh(app.path("meshes/tri.mesh").c_str(), true), a) << "absolute path";
  EXPECT_EQ(get_mesh("MESHES/Tri.MESH", true), a) << "another case";
  EXPECT_EQ(a->refCount, 3);
  EXPECT_EQ(mesh_cache_size(), 1);
  for (int i = 0; i < 3; i++)
    release_mesh(a);
  EXPECT_EQ(mesh_cache_size(), 0);
  EXPECT_EQ(count("ReleaseBuffer"), 2) << "the last reference frees both buffers";
}

TEST_F(MeshLoadTest, FailuresNameTheFileAndTheReason)
{
  std::vector<uint8_t> bad = encode_mesh(triangle());
  bad[3] = 0;
  std::string path = save("bad.mesh", bad);
  const int live = rb.live_objects();
  testing::internal::CaptureStdout();
  EXPECT_EQ(load_mesh(path.c_str(), false), nullptr);
  EXPECT_EQ(load_mesh(app.path("missing.mesh").c_str(), false), nullptr);
  rb.buffer_error = D3DERR_OUTOFVIDEOMEMORY;
  EXPECT_EQ(load_mesh(save("ok.mesh", encode_mesh(triangle())).c_str(), false), nullptr);
  rb.buffer_error = D3D_OK;
  std::string log = testing::internal::GetCapturedStdout();
  EXPECT_NE(log.find("Error reading mesh file '" + path + "':\nInvalid mesh file version (offset -1)"), std::string::npos) << log;
  EXPECT_NE(log.find("missing.mesh':\nCan't open file: "), std::string::npos) << log;
  EXPECT_NE(log.find("Can't create vertex buffer"), std::string::npos) << log;
  EXPECT_EQ(rb.live_objects(), live) << "nothing left behind";

  EXPECT_EXIT(get_mesh("bad.mesh", true), testing::ExitedWithCode(100),
              "Error reading mesh file '.*bad.mesh':\nInvalid mesh file version \\(offset -1\\)");
  EXPECT_EXIT(get_mesh("bad.mesh", false), testing::ExitedWithCode(100), "mesh.cpp\\([0-9]+\\): failed ASSERT\\(m\\)");
}
}  // namespace
