// The 64 shared vertex declarations.
#include "render/vdecl.h"

#include <cstring>

#include "render/device.h"
#include "support/debug.h"

static VDecl vdecls[MAX_VDECLS];

static RenderBackend &be() { return *get_render_backend(); }

static uint8_t decl_type(uint8_t t)
{
  switch (t)
  {
    case VSDT_FLOAT1: return D3DDECLTYPE_FLOAT1;
    case VSDT_FLOAT2: return D3DDECLTYPE_FLOAT2;
    case VSDT_FLOAT3: return D3DDECLTYPE_FLOAT3;
    case VSDT_FLOAT4: return D3DDECLTYPE_FLOAT4;
    case VSDT_D3DCOLOR: return D3DDECLTYPE_D3DCOLOR;
    case VSDT_SHORT2: return D3DDECLTYPE_SHORT2;
    case VSDT_SHORT4: return D3DDECLTYPE_SHORT4;
    default: return D3DDECLTYPE_UNUSED;
  }
}

uint8_t vsd_decl_usage(uint8_t u)
{
  switch (u)
  {
    case VSDU_POSITION: return D3DDECLUSAGE_POSITION;
    case VSDU_NORMAL: return D3DDECLUSAGE_NORMAL;
    case VSDU_COLOR: return D3DDECLUSAGE_COLOR;
    case VSDU_TEXCOORD: return D3DDECLUSAGE_TEXCOORD;
    default: return D3DDECLUSAGE_TANGENT;
  }
}

VDecl create_vdecl(const VsdElement *desc)
{
  D3dVertexElement elems[MAX_VDECL_LEN];
  int i = 0;
  for (;; i++)
  {
    G_ASSERT(i<MAX_VDECL_LEN);
    const VsdElement &d = desc[i];
    if (d.stream == VSD_END)
    {
      elems[i] = D3DDECL_END;
      break;
    }
    elems[i] = D3dVertexElement{d.stream, d.offset, decl_type(d.type), D3DDECLMETHOD_DEFAULT,
                                vsd_decl_usage(d.usage), d.usageIndex};
  }
  uint32_t count = uint32_t(i + 1);

  int free_slot = -1;
  for (int s = 0; s < MAX_VDECLS; s++)
  {
    if (!vdecls[s])
    {
      if (free_slot < 0)
        free_slot = s;
      continue;
    }
    D3dVertexElement have[MAX_VDECL_LEN];
    uint32_t n = 0;
    if (be().getVertexDeclaration(vdecls[s], have, MAX_VDECL_LEN, n) && n == count &&
        memcmp(have, elems, count * sizeof(D3dVertexElement)) == 0)
      return vdecls[s];
  }
  if (free_slot < 0)
    fatal("reached maximum vertex declaration count");

  VDecl decl;
  HRESULT32 hr = be().createVertexDeclaration(elems, decl);
  if (hr != D3D_OK)
  {
    debug("VSD:");
    for (int e = 0; desc[e].stream != VSD_END; e++)
      debug("  %4u %2u %2u %2u %2u", desc[e].offset, desc[e].stream, desc[e].type, desc[e].usage,
            desc[e].usageIndex);
    fatal("failed to create vertex declaration (code 0x%08X)", hr);
  }
  vdecls[free_slot] = decl;
  return decl;
}

void set_vdecl(VDecl decl) { be().setVertexDeclaration(decl); }

int vdecl_count()
{
  int n = 0;
  for (VDecl d : vdecls)
    n += bool(d);
  return n;
}

void release_all_vdecls()
{
  for (VDecl &d : vdecls)
  {
    if (d && get_render_backend())
      be().releaseVertexDeclaration(d);
    d = {};
  }
}
