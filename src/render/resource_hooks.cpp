#include "render/resource_hooks.h"

#include "render/device.h"
#include "render/texture.h"
#include "render/vbuf.h"
#include "render/vdecl.h"

void install_resource_hooks()
{
  D3dResourceHooks &h = d3d_resource_hooks;
  h.release_all_textures = release_all_textures;
  h.release_all_buffers = release_all_buffers;
  h.release_all_vdecls = release_all_vdecls;
  h.release_dynamic_buffers = release_dynamic_buffers;
  h.release_default_pool_textures = release_default_pool_textures;
  h.recreate_default_pool_textures = recreate_default_pool_textures;
  h.recreate_dynamic_buffers = recreate_dynamic_buffers;
}
