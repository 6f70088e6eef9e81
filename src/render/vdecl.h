#pragma once
// Vertex declarations built from the engine's compact vertex description and shared when equal.
#include <cstdint>

#include "render/backend.h"

// One element of a vertex description; a description ends with an element whose stream is
// VSD_END.
struct VsdElement
{
  uint16_t offset;
  uint8_t stream;
  uint8_t type;   // VSDT_*
  uint8_t usage;  // VSDU_*
  uint8_t usageIndex;
};
static_assert(sizeof(VsdElement) == 6, "vertex description records are 6 bytes");

constexpr uint8_t VSD_END = 255;
enum : uint8_t
{
  VSDT_FLOAT1 = 1,
  VSDT_FLOAT2 = 2,
  VSDT_FLOAT3 = 3,
  VSDT_FLOAT4 = 4,
  VSDT_D3DCOLOR = 5,
  VSDT_SHORT2 = 6,
  VSDT_SHORT4 = 7,
};
enum : uint8_t
{
  VSDU_POSITION = 0,
  VSDU_NORMAL = 1,
  VSDU_COLOR = 2,
  VSDU_TEXCOORD = 3,
  VSDU_TANGENT = 4,  // any other code is a tangent too
};

// The Direct3D usage (D3DDECLUSAGE_*) of a compact usage code.
uint8_t vsd_decl_usage(uint8_t usage);

constexpr int MAX_VDECL_LEN = 32;  // elements of a declaration, end marker included
constexpr int MAX_VDECLS = 64;

// A vertex declaration (the backend's object).
using VDecl = VertexDeclHandle;

// The declaration of `desc`: an existing identical one, or a new one in the first free slot.
// A description of 32 or more elements, a 65th distinct declaration and a declaration the
// device refuses are fatal.
VDecl create_vdecl(const VsdElement *desc);
void set_vdecl(VDecl decl);
// Declarations in use.
int vdecl_count();

// Shutdown.
void release_all_vdecls();
