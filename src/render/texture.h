#pragma once
// One slot of the device layer's texture table. Renderers hold pointers to slots; the slot stays
// in place across device resets while its backend texture is released and recreated.
#include <cstdint>

#include "render/backend.h"

struct Texture
{
  GpuHandle tex = 0;  // the backend texture, 0 when released
  uint32_t width = 0, height = 0;  // requested size; both 0: the back buffer's size
  uint32_t levels = 0;
  uint32_t usage = 0;
  uint32_t format = 0;
  uint32_t pool = 0;  // D3DPOOL_DEFAULT (lost on reset) or D3DPOOL_MANAGED
  uint8_t used = 0;
};
