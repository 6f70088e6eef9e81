// The instanced renderers: queues of instance blocks, initialisation from a mesh, drawing through
// the shared vertex writer, shadow balls of the mesh's spheres.
#include "world_render/inst_render.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "render/device.h"
#include "render/dyn_vb_writer.h"
#include "render/mesh.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/texture_cache.h"
#include "render/vbuf.h"
#include "world_render/shadows.h"

InstBlock *inst_free_blocks = nullptr;

InstBlock *alloc_inst_block()
{
  InstBlock *b = inst_free_blocks;
  if (b)
    inst_free_blocks = b->next;
  else
  {
    b = static_cast<InstBlock *>(malloc(sizeof(InstBlock) + INST_BLOCK_BYTES));
    G_ASSERT(b);
    b->data = reinterpret_cast<uint8_t *>(b + 1);
    b->capacity = INST_BLOCK_BYTES;
  }
  b->used = 0;
  b->next = nullptr;
  return b;
}

void free_inst_blocks()
{
  while (InstBlock *b = inst_free_blocks)
  {
    inst_free_blocks = b->next;
    free(b);
  }
}

// Moves every block of the queue to its free list.
static void recycle_queue(InstQueue &q)
{
  while (InstBlock *b = q.head)
  {
    q.head = b->next;
    b->used = 0;
    b->next = *q.freeList;
    *q.freeList = b;
  }
  q.tail = nullptr;
  q.count = 0;
}

void InstRender::init(const char *mesh_name, int quality)
{
  if (mesh)  // initialised again (a new module build): the old references go first
    close();
  mesh = get_mesh(mesh_name, true);
  int inum = 0;
  const VsdElement *inst = instElements(inum);
  G_ASSERT(mesh->vsd.size()+inum<MAX_VDECL_LEN);
  VsdElement desc[MAX_VDECL_LEN];
  int n = 0;
  for (const VsdElement &e : mesh->vsd)
    desc[n++] = e;
  for (int i = 0; i < inum; i++)
    desc[n++] = inst[i];
  desc[n] = VsdElement{0, VSD_END, 0, 0, 0};
  decl = create_vdecl(desc);
  shader = create_shader(mesh->shaderName[quality == 1 ? 1 : 0], nullptr);
  tex = mesh->textures.empty() ? nullptr : get_texture(mesh->textures[0].name);
}

void InstRender::close()
{
  recycle_queue(queue);
  if (shader)
    destroy_shader(shader);
  if (tex)
    free_texture(tex);
  release_mesh(mesh);
  mesh = nullptr;
  shader = nullptr;
  tex = nullptr;
  decl = {};
}

void *InstRender::addInstance()
{
  const int stride = instStride();
  if (!queue.tail && queue.head)  // blocks linked in by hand
    for (queue.tail = queue.head; queue.tail->next;)
      queue.tail = queue.tail->next;
  InstBlock *b = queue.tail;
  if (!b || b->used + stride > b->capacity)
  {
    b = alloc_inst_block();
    G_ASSERT(b->capacity>=stride);
    (queue.tail ? queue.tail->next : queue.head) = b;
    queue.tail = b;
    queue.count++;
  }
  void *p = b->data + b->used;
  b->used += stride;
  return p;
}

int InstRender::instanceCount() const
{
  int n = 0;
  for (const InstBlock *b = queue.head; b; b = b->next)
    n += b->used / instStride();
  return n;
}

void InstRender::render()
{
  if (!queue.head)
    return;
  G_ASSERT(mesh);
  const int stride = instStride();
  set_vdecl(decl);
  set_ib(mesh->ib);
  set_shader(shader);
  set_texture(0, tex);
  set_cull_mode(0);
  DynVBWriter &w = common_vb_writer;
  set_vb(0, mesh->vb, 0, uint32_t(mesh->vertexStride));
  set_vb(1, w.vb, 0, uint32_t(stride));
  w.start(inst_dyn_vb_render, inst_render_param(uint32_t(mesh->vertexCount), uint32_t(mesh->triangleCount)));
  for (const InstBlock *b = queue.head; b; b = b->next)
  {
    const uint8_t *src = b->data;
    int left = b->used / stride;
    while (left > 0)
    {
      int room = w.spaceLeft() / stride;
      if (room == 0)
      {
        w.flush(false);
        continue;
      }
      int k = std::min(left, room);
      w.write(src, k * stride, k);
      src += size_t(k) * size_t(stride);
      left -= k;
    }
  }
  w.flush(true);
  set_vb(1, nullptr, 0, 0);
  set_cull_mode(1);
  recycle_queue(queue);
}

void InstRender::renderShadowBalls(const Matrix44 &tm, float scale)
{
  if (!mesh)
    return;
  for (const vec4f &s : mesh->shadowSpheres)
  {
    vec4f c = m44_row(tm, 0) * v_extract_x(s) + m44_row(tm, 1) * v_extract_y(s) + m44_row(tm, 2) * v_extract_z(s) +
              m44_row(tm, 3);
    render_shadow_ball(c, v_extract_w(s) * scale);
  }
}

static uint32_t to_byte(float f) { return uint32_t(std::lround(std::clamp(f, 0.f, 1.f) * 255.f)); }

uint32_t pack_signed_color(vec4f v)
{
  return to_byte(v_extract_w(v) * 0.5f + 0.5f) << 24 | to_byte(v_extract_x(v) * 0.5f + 0.5f) << 16 |
         to_byte(v_extract_y(v) * 0.5f + 0.5f) << 8 | to_byte(v_extract_z(v) * 0.5f + 0.5f);
}

void pack_inst_rows(const Matrix44 &tm, uint32_t rows[3])
{
  for (int i = 0; i < 3; i++)
  {
    vec4f r = m44_row(tm, i);
    float len = std::sqrt(v_extract_x(r) * v_extract_x(r) + v_extract_y(r) * v_extract_y(r) + v_extract_z(r) * v_extract_z(r));
    vec4f d = len > 1e-20f ? r * (1.f / len) : v_zero();
    rows[i] = (pack_signed_color(d) & 0xFFFFFF) | to_byte(len / INST_ROW_SCALE) << 24;
  }
}

void make_simple_inst(const Matrix44 &tm, uint32_t color, SimpleInstData &out)
{
  pack_inst_rows(tm, out.rows);
  out.pos[0] = tm.m[3][0];
  out.pos[1] = tm.m[3][1];
  out.pos[2] = tm.m[3][2];
  out.color = color;
}

// The per-instance layouts (stream 1).
const VsdElement *SimpleInstRender::instElements(int &count) const
{
  static const VsdElement e[] = {{0, 1, VSDT_D3DCOLOR, VSDU_POSITION, 11}, {4, 1, VSDT_D3DCOLOR, VSDU_POSITION, 12},
                                 {8, 1, VSDT_D3DCOLOR, VSDU_POSITION, 13}, {12, 1, VSDT_FLOAT3, VSDU_POSITION, 10},
                                 {24, 1, VSDT_D3DCOLOR, VSDU_COLOR, 10}};
  count = 5;
  return e;
}

const VsdElement *MorphInstRender::instElements(int &count) const
{
  static const VsdElement e[] = {{0, 1, VSDT_D3DCOLOR, VSDU_POSITION, 11}, {4, 1, VSDT_D3DCOLOR, VSDU_POSITION, 12},
                                 {8, 1, VSDT_D3DCOLOR, VSDU_POSITION, 13}, {12, 1, VSDT_FLOAT3, VSDU_POSITION, 10},
                                 {24, 1, VSDT_D3DCOLOR, VSDU_COLOR, 10},   {28, 1, VSDT_D3DCOLOR, VSDU_POSITION, 15}};
  count = 6;
  return e;
}

const VsdElement *SplineInstRender::instElements(int &count) const
{
  static const VsdElement e[] = {{0, 1, VSDT_FLOAT3, VSDU_POSITION, 10},  {12, 1, VSDT_FLOAT3, VSDU_POSITION, 11},
                                 {24, 1, VSDT_FLOAT3, VSDU_POSITION, 12}, {36, 1, VSDT_FLOAT3, VSDU_POSITION, 13},
                                 {48, 1, VSDT_D3DCOLOR, VSDU_NORMAL, 10}, {52, 1, VSDT_D3DCOLOR, VSDU_NORMAL, 11},
                                 {56, 1, VSDT_D3DCOLOR, VSDU_COLOR, 10},  {60, 1, VSDT_D3DCOLOR, VSDU_COLOR, 11}};
  count = 8;
  return e;
}

const VsdElement *BuildingInstRender::instElements(int &count) const
{
  static const VsdElement e[] = {{0, 1, VSDT_SHORT2, VSDU_POSITION, 10}, {4, 1, VSDT_FLOAT4, VSDU_POSITION, 11},
                                 {20, 1, VSDT_D3DCOLOR, VSDU_POSITION, 12}};
  count = 3;
  return e;
}

void init_inst_render_internals() {}
