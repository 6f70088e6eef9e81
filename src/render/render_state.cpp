// The exported render-state functions. None caches state: each call goes straight to the
// device, and callers avoid redundant calls.
#include <cmath>

#include "render/device.h"
#include "support/debug.h"

static RenderBackend &be() { return *get_render_backend(); }

void clear_view(uint32_t color)
{
  be().clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, color, 1.0f, 0);
}

void clear_view_color(uint32_t color) { be().clear(D3DCLEAR_TARGET, color, 1.0f, 0); }

void clear_view_z() { be().clear(D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0); }

void set_viewport(int x, int y, int w, int h)
{
  D3dViewport vp;
  vp.x = uint32_t(x);
  vp.y = uint32_t(y);
  vp.width = uint32_t(w);
  vp.height = uint32_t(h);
  vp.minZ = 0.0f;
  vp.maxZ = 1.0f;
  be().setViewport(vp);
}

void set_view_tm(const D3dMatrix &m) { be().setTransform(D3DTS_VIEW, m); }
void set_proj_tm(const D3dMatrix &m) { be().setTransform(D3DTS_PROJECTION, m); }

void set_proj_tm(float fov, float aspect, float znear, float zfar)
{
  float s = 1.0f / tanf(fov * 0.5f);
  float q = zfar / (zfar - znear);
  D3dMatrix m;
  m.m[0][0] = s / aspect;
  m.m[1][1] = s;
  m.m[2][2] = q;
  m.m[2][3] = 1.0f;
  m.m[3][2] = -znear * q;
  set_proj_tm(m);
}

void get_glob_tm(D3dMatrix &out)
{
  D3dMatrix view, proj;
  be().getTransform(D3DTS_VIEW, view);
  be().getTransform(D3DTS_PROJECTION, proj);
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++)
    {
      float v = 0;
      for (int k = 0; k < 4; k++)
        v += view.m[r][k] * proj.m[k][c];
      out.m[r][c] = v;
    }
}

static void set_blend(uint32_t src, uint32_t dst)
{
  be().setRenderState(D3DRS_ALPHABLENDENABLE, 1);
  be().setRenderState(D3DRS_SRCBLEND, src);
  be().setRenderState(D3DRS_DESTBLEND, dst);
}

void set_blend_none() { be().setRenderState(D3DRS_ALPHABLENDENABLE, 0); }
void set_blend_additive() { set_blend(D3DBLEND_ONE, D3DBLEND_ONE); }
void set_blend_smooth_add() { set_blend(D3DBLEND_ONE, D3DBLEND_INVSRCCOLOR); }
void set_blend_alpha() { set_blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA); }
void set_blend_prealpha() { set_blend(D3DBLEND_ONE, D3DBLEND_INVSRCALPHA); }
void set_blend_multiply() { set_blend(D3DBLEND_DESTCOLOR, D3DBLEND_ZERO); }

void set_atest(int ref)
{
  if (ref < 1)
  {
    be().setRenderState(D3DRS_ALPHATESTENABLE, 0);
    return;
  }
  be().setRenderState(D3DRS_ALPHATESTENABLE, 1);
  be().setRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  be().setRenderState(D3DRS_ALPHAREF, uint32_t(ref > 255 ? 255 : ref));
}

void set_cull_mode(int mode) { be().setRenderState(D3DRS_CULLMODE, mode ? D3DCULL_CCW : D3DCULL_NONE); }
void set_zenable(bool on) { be().setRenderState(D3DRS_ZENABLE, on ? 1 : 0); }
void set_zwrite(bool on) { be().setRenderState(D3DRS_ZWRITEENABLE, on ? 1 : 0); }
void set_color_write_mask(uint32_t mask) { be().setRenderState(D3DRS_COLORWRITEENABLE, mask); }
void set_wireframe(bool on) { be().setRenderState(D3DRS_FILLMODE, on ? D3DFILL_WIREFRAME : D3DFILL_SOLID); }

void set_stencil_test(uint32_t mask, uint32_t ref, uint32_t func)
{
  if (mask == 0)
  {
    be().setRenderState(D3DRS_STENCILENABLE, 0);
    return;
  }
  be().setRenderState(D3DRS_STENCILENABLE, 1);
  be().setRenderState(D3DRS_STENCILMASK, mask);
  be().setRenderState(D3DRS_STENCILREF, ref);
  be().setRenderState(D3DRS_STENCILFUNC, func);
}

void set_stencil_replace_bits(uint32_t bits)
{
  be().setRenderState(D3DRS_STENCILWRITEMASK, bits);
  be().setRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
  be().setRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
  be().setRenderState(D3DRS_STENCILPASS, bits ? D3DSTENCILOP_REPLACE : D3DSTENCILOP_KEEP);
}

void flush_gpu()
{
  QueryHandle flush_query = d3d_state.flush_query;
  G_ASSERT(flush_query);
  be().issueQuery(flush_query);
  // Only "not yet" keeps waiting: a lost device or any error ends the wait.
  while (be().getQueryData(flush_query, true) == S_FALSE_)
  {
  }
}

uint32_t get_free_texmem()
{
  bool d3d = d3d_state.device;
  G_ASSERT(d3d);
  return be().availableTextureMem();
}

void set_instancing(int n)
{
  HRESULT32 r0, r1;
  if (n > 0)
  {
    r0 = be().setStreamSourceFreq(0, D3DSTREAMSOURCE_INDEXEDDATA | uint32_t(n));
    r1 = be().setStreamSourceFreq(1, D3DSTREAMSOURCE_INSTANCEDATA | 1u);
  }
  else
  {
    r0 = be().setStreamSourceFreq(0, 1);
    r1 = be().setStreamSourceFreq(1, 1);
  }
  if (r0 != D3D_OK || r1 != D3D_OK)
    fatal("failed SetStreamSourceFreq");
}
