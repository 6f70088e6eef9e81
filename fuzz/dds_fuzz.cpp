// Whatever bytes a DDS file holds, the header check never reads outside them, and every level it
// accepts can be copied out of the file without reading past its end.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "render/dds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  DdsInfo info;
  if (!parse_dds(data, size, info))
    return 0;
  if (info.levels < 1 || info.width == 0 || info.height == 0 ||
      DDS_HEADER_BYTES + info.data_bytes > size)
    abort();
  const uint8_t *src = data + DDS_HEADER_BYTES;
  uint64_t used = 0;
  std::vector<uint8_t> level;
  for (uint32_t l = 0; l < info.levels; l++)
  {
    uint64_t bytes = dds_level_bytes(info, l);
    used += bytes;
    if (used > info.data_bytes)
      abort();
    uint32_t pitch = uint32_t(dds_level_row_bytes(info, l));
    level.assign(size_t(bytes), 0);
    dds_copy_level(info, l, src, level.data(), pitch);
    src += bytes;
  }
  if (used != info.data_bytes)
    abort();
  return 0;
}
