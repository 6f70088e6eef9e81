#pragma once
// Instanced objects: one renderer per mesh collects the per-instance records written during a
// frame and draws them all with hardware instancing, the mesh in stream 0 and the records in
// stream 1 through the shared vertex writer. Four kinds differ only in their per-instance
// layout (docs/instanced_objects.md gives what each value means to the mesh shaders).
//
// The game object module writes records between frames' draws with `addInstance` (or fills
// blocks from alloc_inst_block and links them into `queue`) and calls `render` once per frame.
#include <cstdint>

#include "render/vdecl.h"
#include "support/export.h"
#include "support/matrix44.h"
#include "support/vec4f.h"

struct Mesh;
struct Shader;
struct Texture;

// A block of whole instance records: data, bytes used, next block; `capacity` bytes at `data`.
struct InstBlock
{
  uint8_t *data;
  int used;
  InstBlock *next;
  int capacity;
};
constexpr int INST_BLOCK_BYTES = 16384;

// Blocks drawn and waiting for reuse, shared by every renderer.
QM_EXPORT extern InstBlock *inst_free_blocks;
// A block from the free list, or a new one of INST_BLOCK_BYTES, with nothing used.
QM_EXPORT InstBlock *alloc_inst_block();
// Frees every block on the free list (shutdown).
QM_EXPORT void free_inst_blocks();

// Blocks in the order written (drawn in that order); new records go into the tail block.
struct InstQueue
{
  InstBlock *head = nullptr;
  int count = 0;  // blocks in the queue
  InstBlock **freeList = &inst_free_blocks;
  InstBlock *tail = nullptr;
};

class QM_EXPORT InstRender
{
public:
  InstQueue queue;
  Mesh *mesh = nullptr;
  Shader *shader = nullptr;
  VDecl decl;
  Texture *tex = nullptr;  // the mesh's first texture, null when it names none

  InstRender() = default;
  InstRender(const InstRender &) = delete;
  InstRender &operator=(const InstRender &) = delete;

  // The per-instance vertex elements (stream 1) and their count. (Virtual slot 0.)
  virtual const VsdElement *instElements(int &count) const = 0;
  // Bytes of one instance record. (Virtual slot 1.)
  virtual int instStride() const = 0;
  virtual ~InstRender() = default;

  // Loads the mesh (errors are fatal), builds the declaration of its elements followed by the
  // instance elements (more than 31 in all is fatal), creates the shader the mesh names for
  // `quality` (gfx_quality: the first name at 0, the second at 1) and loads its first texture.
  // A renderer initialised before is closed first.
  void init(const char *mesh_name, int quality);
  // Releases what init took (the mesh's reference, shader, texture); queued blocks go to the free
  // list.
  void close();
  // Room for one more record at the end of the queue (a new block when the last one is full).
  void *addInstance();
  // Records queued.
  int instanceCount() const;
  // Draws the queued records and returns their blocks to the free list. The caller sets the
  // frame's registers, depth and blending; culling is off while the objects draw (mirrored house
  // pieces turn their winding) and back to its default after.
  void render();
  // One shadow ball per shadow sphere of the mesh: centre through `tm`, radius times `scale`.
  void renderShadowBalls(const Matrix44 &tm, float scale);
};

// Rotation and scale rows packed as colours (3 x D3DCOLOR, see pack_inst_rows), position, colour.
struct SimpleInstData
{
  uint32_t rows[3];
  float pos[3];
  uint32_t color;
};
static_assert(sizeof(SimpleInstData) == 28);
// As SimpleInstData, plus four morph weights as a colour (channel c: weight 2c - 1).
struct MorphInstData
{
  SimpleInstData base;
  uint32_t morph;
};
static_assert(sizeof(MorphInstData) == 32);
// Four control points of a cubic Bezier curve, up vectors at its start and end (signed, packed as
// colours), colours at its start and end.
struct SplineInstData
{
  float points[4][3];
  uint32_t up[2];
  uint32_t color[2];
};
static_assert(sizeof(SplineInstData) == 64);
// A ground square (x, z), its four corner heights (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1),
// and the piece's rotation in the alpha byte (0..7) with a tint from the ground colour in r, g, b.
struct BuildingInstData
{
  int16_t x, z;
  float heights[4];
  uint32_t rotColor;
};
static_assert(sizeof(BuildingInstData) == 24);

// Largest row length the packed rows carry (scale up to 8).
constexpr float INST_ROW_SCALE = 8.f;
// Rows 0..2 of `tm` as colours: direction (x, y, z) signed in r, g, b, length / INST_ROW_SCALE in a.
QM_EXPORT void pack_inst_rows(const Matrix44 &tm, uint32_t rows[3]);
// A signed unit vector (or any within -1..1) as a colour, w in alpha.
QM_EXPORT uint32_t pack_signed_color(vec4f v);
QM_EXPORT void make_simple_inst(const Matrix44 &tm, uint32_t color, SimpleInstData &out);

class QM_EXPORT SimpleInstRender : public InstRender
{
public:
  const VsdElement *instElements(int &count) const override;
  int instStride() const override { return 28; }
};
class QM_EXPORT MorphInstRender : public InstRender
{
public:
  const VsdElement *instElements(int &count) const override;
  int instStride() const override { return 32; }
};
class QM_EXPORT SplineInstRender : public InstRender
{
public:
  const VsdElement *instElements(int &count) const override;
  int instStride() const override { return 64; }
};
class QM_EXPORT BuildingInstRender : public InstRender
{
public:
  const VsdElement *instElements(int &count) const override;
  int instStride() const override { return 24; }
};

// No work; kept for the module's start-up order.
QM_EXPORT void init_inst_render_internals();
